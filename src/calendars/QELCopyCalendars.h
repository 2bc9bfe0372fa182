// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "ICalendarZone.h"
#include "QELCalendarDetail.h"
#include "QELCopy.h"

// Exports calendars (QELCalendarDetailPtr items of the queue) as iCalendar
// files into the destination folder: one "<title>.ics" per calendar, the name
// made safe ("Calendar" for a title that gives none) and numbered when two
// calendars of one run share it ("Work.ics", "Work 1.ics"); a file of an
// earlier run is replaced whole. Times are written in the event's zone (the
// device's "start_tz", with the zone's rules in the file), floating for
// floating events, all-day days as dates. An event with a date outside years
// 1 to 9999 is left out, and counts as not copied; so does a file that
// cannot be written.
class QELCopyCalendars : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyCalendars(QObject* parent = nullptr);
    ~QELCopyCalendars() override;

    void startCopy() override;

    // The file's text; `stamp` is the DTSTAMP of every event (the export time).
    // `leftOut` receives the number of events left out.
    static QByteArray _iCSFromCalendar(const QELCalendarDetail& calendar,
                                       const QDateTime& stamp = QDateTime::currentDateTimeUtc(),
                                       int* leftOut = nullptr);
    // What follows "DTSTART" or "DTEND" in UTC: ":yyyyMMddTHHmmssZ" for a
    // time, ";VALUE=DATE:yyyyMMdd" of its UTC day for an all-day value.
    static QString _generateDateTimeString(const QDateTime& date, int isAllDay);
    // The RRULE value of an event, without "RRULE:"; none when the event does
    // not repeat (an interval below 1 included) or repeats by a frequency the
    // format has no name for.
    static std::optional<QString> recurrenceRuleOf(const QELCalendarComponent& event);
    // The zone an event's times are written in.
    static ICalendarZone zoneOf(const QELCalendarComponent& event);
    // Whether every date of the event can be written.
    static bool canExport(const QELCalendarComponent& event);

    // The events of the last run left out for their dates.
    quint32 eventsLeftOut() const { return m_eventsLeftOut; }

private:
    void _copyCalendars();

    std::atomic<quint32> m_eventsLeftOut{0};
};
