// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Device text written into the pages, property lists, vCards and calendars
// the program makes goes through one of these, so that no name, note or
// message can add markup or fields of its own.
namespace TextEscaping {

// HTML element content: "&", "<", ">" and '"' escaped; NUL and the other
// control characters HTML does not allow (all but tab, line feed and carriage
// return) and lone surrogates dropped.
QString htmlText(const QString& text);

// An HTML attribute value inside double or single quotes: as htmlText, with
// "'" escaped too.
QString htmlAttribute(const QString& text);

// XML element content: "&", "<" and ">" escaped; characters XML does not allow
// (control characters, lone surrogates, U+FFFE and U+FFFF) dropped.
QString xmlText(const QString& text);

// An XML attribute value: as xmlText, with both quotes escaped and tab, line
// feed and carriage return written as character references, which attribute
// value normalisation would otherwise turn into spaces.
QString xmlAttribute(const QString& text);

// A vCard 3.0 value (RFC 2426): "\" , ";" and "," escaped with a backslash,
// each line break (CRLF, CR or LF) written as "\n"; other control characters
// but tab dropped. For a structured value (N, ADR) escape each part and join
// the parts with ";" afterwards.
QString vCardValue(const QString& text);

// An iCalendar TEXT value (RFC 5545 3.3.11): the same rules as vCardValue.
QString iCalendarValue(const QString& text);

// One content line ("SUMMARY:...") in UTF-8 folded as RFC 5545 3.1 and RFC 2425
// ask: no physical line longer than `maxOctets` octets, each continuation
// starting with one space after a CRLF, and no UTF-8 sequence split. The result
// has no line break at its end.
QByteArray foldContentLine(const QString& line, int maxOctets = 75);

} // namespace TextEscaping
