// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>

#include <QString>

// Lets GoogleTest print Qt texts (and lists of them) readably.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
