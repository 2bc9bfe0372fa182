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
