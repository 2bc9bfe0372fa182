// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "QELCalendarDetail.h"
#include "QELCopy.h"

// Exports calendars (QELCalendarDetailPtr items of the queue) as iCalendar
// files into the destination folder: one "<title>.ics" per calendar, the name
// made safe ("Calendar" for a title that gives none) and numbered when two
// calendars of one run share it ("Work.ics", "Work 1.ics"); a file of an
// earlier run is replaced whole. Times are written in UTC, all-day days as
// dates. A file that cannot be written counts as not copied.
class QELCopyCalendars : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyCalendars(QObject* parent = nullptr);
    ~QELCopyCalendars() override;

    void startCopy() override;

    // The file's text; `stamp` is the DTSTAMP of every event (the export time).
    static QByteArray _iCSFromCalendar(const QELCalendarDetail& calendar,
                                       const QDateTime& stamp = QDateTime::currentDateTimeUtc());
    // What follows "DTSTART" or "DTEND": ":yyyyMMddTHHmmssZ" for a time (in
    // UTC), ";VALUE=DATE:yyyyMMdd" of its UTC day for an all-day value.
    static QString _generateDateTimeString(const QDateTime& date, int isAllDay);
    // The RRULE value of an event, without "RRULE:"; none when the event does
    // not repeat or repeats by a frequency the format has no name for.
    static std::optional<QString> recurrenceRuleOf(const QELCalendarComponent& event);

private:
    void _copyCalendars();
};
