// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDateTime>
#include <QList>

#include "CalendarEntry.h"
#include "QELCalendarComponent.h"

// The occurrences of one event that the calendar grid shows, for a given
// "now": the first always, then the repeats from two years before now up to
// the series' limit (its end date or two years after now, whichever is
// earlier; two years after the first start for a series without end date).
// Occurrence k of a series starts at S + k steps counted from the first
// start, so a monthly series on the 31st comes back on the 31st. A count
// includes the first occurrence and those before the window. Pure.
class RecurrenceExpansion {
public:
    struct Rule {
        qint64 frequency = 0; // 1 daily, 2 weekly, 3 monthly, 4 yearly; others do not repeat
        qint64 interval = 0;
        qint64 count = 0;  // 0: not limited by count
        QDateTime endDate; // invalid: none
    };
    struct Occurrence {
        QDateTime start;
        QDateTime end; // invalid when the event has none
    };

    // Start and end in local time; an invalid start gives nothing.
    static QList<Occurrence> occurrences(const QDateTime& start, const QDateTime& end,
                                         const Rule& rule, const QDateTime& now);

    // The grid entries of an event in its calendar's colour: its title
    // ("HH:mm " and the summary; an all-day event: the summary, its end 5 s
    // later, its days those the device stores at UTC midnight) on every
    // occurrence. None for an event without start.
    static QList<CalendarEntry> entriesForEvent(const QELCalendarComponentPtr& event,
                                                const QColor& color, const QDateTime& now);

private:
    static QDateTime step(const QDateTime& from, const Rule& rule, qint64 k);
};
