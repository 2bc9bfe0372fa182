#include "Log.h"

Q_LOGGING_CATEGORY(lcOrvane, "orvane")
