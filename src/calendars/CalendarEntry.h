// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QString>

// One entry of the calendar grid: an event, or one repeat of it. The grid
// knows nothing of calendars; `object` is the caller's, compared by identity
// (every repeat of one series carries the same object). Times are local.
struct CalendarEntry {
    std::shared_ptr<const void> object;
    QString title;
    QDateTime dateTime; // the start
    QDate date;         // the day it is filed under (the start's local day, or the moved-to day)
    QDateTime endDate;  // invalid: no end
    bool allDay = false;
    QColor color; // invalid: none

    // What a day cell shows: the title; in the week view with an end, the end
    // time on a line of its own.
    QString displayText(bool weekView) const;
    // The height of the entry's row in a day cell: 18, or in the week view 36
    // a started hour for a timed entry that starts and ends on one weekday.
    int rowHeight(bool weekView) const;
};

using CalendarEntryPtr = std::shared_ptr<CalendarEntry>;
