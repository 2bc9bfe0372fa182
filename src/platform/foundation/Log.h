#pragma once

#include <QLoggingCategory>

// The program's one logging category, "orvane": every diagnostic goes here.
Q_DECLARE_LOGGING_CATEGORY(lcOrvane)
