// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarStoreHost.h"

std::optional<QString> CalendarStoreHost::findCalendarByTitle(const QString& title)
{
    for (const Calendar& calendar : calendars()) {
        if (calendar.title == title)
            return calendar.id;
    }
    return std::nullopt;
}
