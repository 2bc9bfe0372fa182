// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

// The pieces of the iCalendar files (RFC 5545) the program writes: the
// calendar export and the calendar collections of the computer. Times are
// written in their event's zone (ICalendarZone), days (all-day events) as
// DATE values.
class ICalendarText {
public:
    // The PRODID of every file the program writes.
    static constexpr const char* kProductId = "-//Halvern Ltd.//Orvane 11 Mac//EN";

    // Adds "NAME:value" (or "NAME;params:value") folded at 75 octets with its
    // CR LF. `value` is written as given: escape TEXT values with text().
    void add(const QString& nameAndParams, const QString& value);
    // Adds a whole content line ("DTSTART;VALUE=DATE:20240315"), folded.
    void addLine(const QString& line);
    // Adds a TEXT property, its value escaped.
    void addText(const QString& name, const QString& value);
    // Adds "NAME:yyyyMMddTHHmmssZ".
    void addUtcDateTime(const QString& name, const QDateTime& time);
    // Adds "NAME;VALUE=DATE:yyyyMMdd".
    void addDate(const QString& name, const QDate& date);

    const QByteArray& bytes() const { return m_bytes; }

    // "yyyyMMddTHHmmssZ" of the instant in UTC.
    static QString utcDateTime(const QDateTime& time);
    // "yyyyMMdd".
    static QString date(const QDate& date);
    // The value of an RRULE: "FREQ=WEEKLY;INTERVAL=2;COUNT=10". `frequency` 1 to 4
    // (daily, weekly, monthly, yearly) and an interval of 1 or more; anything
    // else gives none: the event does not repeat (as the calendar grid shows
    // it). An end (`until`, the UNTIL value as written: a DATE, a UTC or a
    // floating DATE-TIME) wins over a count above 0.
    static std::optional<QString> recurrenceRule(int frequency, int interval, int count,
                                                 const QString& until);

private:
    QByteArray m_bytes;
};
