// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

// How an event repeats: every `interval` days, weeks, months or years, until
// a number of occurrences, a date, or without end.
struct CalendarRecurrenceRule {
    enum class Frequency { Daily = 1, Weekly = 2, Monthly = 3, Yearly = 4 };
    enum class End { None, Count, Date };

    Frequency frequency = Frequency::Daily;
    int interval = 1;
    End end = End::None;
    int count = 0;     // with End::Count
    QDateTime endDate; // with End::Date: the last occurrence may start then
};

// One event as it is added to the computer's calendars. An all-day event's
// start and end are local midnights; its end is exclusive (the day after its
// last day). An invalid end means none. `timeZone` is the device's zone of
// the event ("start_tz": a zone name, "_float", or empty for UTC); a floating
// event's start and end are local times holding its wall clock.
struct CalendarEventRecord {
    QString title;
    QString notes;
    QString location;
    QString timeZone;
    QDateTime start;
    QDateTime end;
    bool allDay = false;
    std::optional<CalendarRecurrenceRule> rule;
};

// One event as the calendar store answers it.
struct CalendarEventSummary {
    QString title;
    QDateTime start;
    QDateTime end; // invalid when the event has none
};
