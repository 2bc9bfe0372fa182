// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

// The pieces of the iCalendar files (RFC 5545) the program writes: the
// calendar export and the calendar collections of the computer. Times are
// written in UTC ("Z"), so a file needs no time zone block; days (all-day
// events) are DATE values.
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
    // (daily, weekly, monthly, yearly); any other gives none, since a rule
    // without FREQ is not valid. INTERVAL is written when above 0; an end
    // (UNTIL: the day `untilDay` when valid, else the instant `untilTime`)
    // wins over a count above 0.
    static std::optional<QString> recurrenceRule(int frequency, int interval, int count,
                                                 const QDateTime& untilTime,
                                                 const QDate& untilDay = QDate());

private:
    QByteArray m_bytes;
};
