// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

#include "CalendarEventRecord.h"

// Reads the events of an iCalendar file (RFC 5545) far enough to tell which
// events a calendar holds: each VEVENT's SUMMARY, DTSTART and DTEND. Takes
// files of other programs too: folded lines (CR LF or LF), UTC times, DATE
// values (local midnight), TZID parameters (through the system's time zones)
// and floating times (local time). Properties of nested components (VALARM)
// are ignored; an event without a readable DTSTART is left out.
namespace ICalendarEventReader {

QList<CalendarEventSummary> read(const QByteArray& text);

// One DATE or DATE-TIME value with its parameters ("VALUE=DATE",
// "TZID=Europe/Berlin"); invalid when it cannot be read.
QDateTime readDateValue(const QString& value, const QString& params, bool* isDate = nullptr);

} // namespace ICalendarEventReader
