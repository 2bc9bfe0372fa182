// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What libical makes of an iCalendar text: its parse errors and each event's
// start (the instant; a DATE value as a day) and rule.
struct LibicalEvent {
    QString summary;
    QString description;
    QDateTime start; // invalid when none; a DATE value as UTC midnight of the day
    bool startIsDate = false;
    QDateTime end;
    bool endIsDate = false;
    QString rrule; // as written, without "RRULE:"
    bool rruleParses = true;
};

struct LibicalResult {
    bool parsed = false;
    int errors = 0; // X-LIC-ERROR properties anywhere in the text
    QStringList errorTexts;
    QList<LibicalEvent> events;
    // Each RRULE value of the text as written, and whether
    // icalrecurrencetype_from_string takes it.
    QStringList rules;
    bool everyRuleParses = true;
};

LibicalResult parseWithLibical(const QByteArray& text);

// The occurrences libical expands from one event of a text (found by its
// SUMMARY), in the zone its DTSTART names through the file's VTIMEZONE.
struct LibicalExpansion {
    bool found = false;
    QString tzid;          // the TZID parameter of DTSTART; empty without one
    bool isDate = false;   // DTSTART is a DATE
    bool floating = false; // DTSTART is a DATE-TIME without zone and without "Z"
    bool utc = false;      // DTSTART ends in "Z"
    // Each occurrence's wall clock as written (held as a UTC QDateTime) and,
    // for zoned and UTC times, its instant.
    QList<QDateTime> wallClocks;
    QList<QDateTime> instants;
};
LibicalExpansion expandWithLibical(const QByteArray& text, const QString& summary, int max = 50);

// Sets TZ for the life of the object (libical and Qt read it afresh).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const QByteArray& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    QByteArray m_old;
    bool m_had = false;
};
