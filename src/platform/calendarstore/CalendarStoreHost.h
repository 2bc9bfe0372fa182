// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>

#include "CalendarEventRecord.h"

// The computer's calendars, as the calendar transfer adds to them: calendars
// found by title or made, and events added after a look at what a calendar
// already holds. FolderCalendarStoreHost keeps them as iCalendar collection
// folders; tests stand in their own. Blocking: worker threads (tools and
// tests call from their main thread). One host per thread.
class CalendarStoreHost {
public:
    struct Calendar {
        QString id;
        QString title;
    };

    virtual ~CalendarStoreHost() = default;

    // Every calendar the store holds, in a stable order.
    virtual QList<Calendar> calendars() = 0;
    // The first calendar whose title is exactly `title` (case-sensitive).
    virtual std::optional<QString> findCalendarByTitle(const QString& title);
    // A new calendar, not yet saved; its id (empty when none can be made).
    virtual QString createCalendar(const QString& title, const QColor& colour) = 0;
    // Adds a calendar made by createCalendar, or keeps an existing one as it
    // is (its colour unchanged). False when it could not be written.
    virtual bool saveCalendar(const QString& calendar) = 0;
    // The events of `calendar` that overlap the span from `start` to `end`
    // (to the end of time when none). Empty for an unknown calendar.
    virtual QList<CalendarEventSummary> eventsBetween(const QString& calendar,
                                                      const QDateTime& start,
                                                      const std::optional<QDateTime>& end) = 0;
    // Adds one event to a saved calendar; false when it could not be written.
    virtual bool saveEvent(const QString& calendar, const CalendarEventRecord& event) = 0;
    // Where the calendars are kept, as the end of a transfer tells the user
    // (a folder); empty when there is nothing to tell.
    virtual QString location() const { return {}; }

protected:
    CalendarStoreHost() = default;
};
