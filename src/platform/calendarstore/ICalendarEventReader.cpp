// SPDX-License-Identifier: GPL-3.0-or-later
#include "ICalendarEventReader.h"

#include <QStringList>
#include <QTimeZone>

namespace ICalendarEventReader {

namespace {

// The logical lines of the text: a line break followed by a space or a tab
// continues the line before it.
QStringList unfoldedLines(const QByteArray& text)
{
    QStringList lines;
    QByteArray current;
    bool haveCurrent = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        qsizetype end = text.indexOf('\n', i);
        if (end < 0)
            end = n;
        qsizetype stop = end;
        if (stop > i && text[stop - 1] == '\r')
            --stop;
        const QByteArray physical = text.mid(i, stop - i);
        if (haveCurrent && !physical.isEmpty() && (physical[0] == ' ' || physical[0] == '\t')) {
            current += physical.mid(1);
        } else {
            if (haveCurrent)
                lines << QString::fromUtf8(current);
            current = physical;
            haveCurrent = true;
        }
        i = end + 1;
    }
    if (haveCurrent)
        lines << QString::fromUtf8(current);
    return lines;
}

// The position of the colon that ends a property's name and parameters: the
// first one outside a quoted parameter value.
qsizetype valueColon(const QString& line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(':') && !quoted)
            return i;
    }
    return -1;
}

QString unescapedText(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            if (next == QLatin1Char('n') || next == QLatin1Char('N'))
                out += QLatin1Char('\n');
            else
                out += next;
        } else {
            out += c;
        }
    }
    return out;
}

QString parameter(const QString& params, const QString& name)
{
    for (const QString& param : params.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = param.indexOf(QLatin1Char('='));
        if (eq > 0 && param.left(eq).compare(name, Qt::CaseInsensitive) == 0) {
            QString value = param.mid(eq + 1);
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"'))
                && value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

} // namespace

QDateTime readDateValue(const QString& rawValue, const QString& params, bool* isDate)
{
    const QString value = rawValue.trimmed();
    const bool dateOnly = parameter(params, QStringLiteral("VALUE"))
                              .compare(QStringLiteral("DATE"), Qt::CaseInsensitive)
            == 0
        || (value.size() == 8 && !value.contains(QLatin1Char('T')));
    if (isDate)
        *isDate = dateOnly;
    if (dateOnly) {
        const QDate day = QDate::fromString(value.left(8), QStringLiteral("yyyyMMdd"));
        return day.isValid() ? QDateTime(day, QTime(0, 0), Qt::LocalTime) : QDateTime();
    }
    const bool utc = value.endsWith(QLatin1Char('Z')) || value.endsWith(QLatin1Char('z'));
    const QString digits = utc ? value.chopped(1) : value;
    const QDate day = QDate::fromString(digits.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(digits.mid(9), QStringLiteral("HHmmss"));
    if (!day.isValid() || !time.isValid() || digits.size() != 15
        || digits[8].toUpper() != QLatin1Char('T'))
        return {};
    if (utc)
        return QDateTime(day, time, Qt::UTC);
    const QString tzid = parameter(params, QStringLiteral("TZID"));
    if (!tzid.isEmpty()) {
        const QTimeZone zone(tzid.toUtf8());
        if (zone.isValid())
            return QDateTime(day, time, zone);
    }
    // A floating time, or a zone the system does not know: the local time.
    return QDateTime(day, time, Qt::LocalTime);
}

QList<CalendarEventSummary> read(const QByteArray& text)
{
    QList<CalendarEventSummary> events;
    CalendarEventSummary event;
    bool inEvent = false;
    bool haveStart = false;
    int nested = 0;
    for (const QString& line : unfoldedLines(text)) {
        const qsizetype colon = valueColon(line);
        if (colon <= 0)
            continue;
        const QString head = line.left(colon);
        const QString value = line.mid(colon + 1);
        const qsizetype semicolon = head.indexOf(QLatin1Char(';'));
        const QString name = (semicolon < 0 ? head : head.left(semicolon)).toUpper();
        const QString params = semicolon < 0 ? QString() : head.mid(semicolon + 1);
        if (name == QLatin1String("BEGIN")) {
            if (inEvent)
                ++nested;
            else if (value.trimmed().compare(QStringLiteral("VEVENT"), Qt::CaseInsensitive) == 0) {
                inEvent = true;
                haveStart = false;
                event = CalendarEventSummary();
            }
            continue;
        }
        if (name == QLatin1String("END")) {
            if (!inEvent)
                continue;
            if (nested > 0) {
                --nested;
                continue;
            }
            if (haveStart)
                events.append(event);
            inEvent = false;
            continue;
        }
        if (!inEvent || nested > 0)
            continue;
        if (name == QLatin1String("SUMMARY")) {
            event.title = unescapedText(value);
        } else if (name == QLatin1String("DTSTART")) {
            event.start = readDateValue(value, params);
            haveStart = event.start.isValid();
        } else if (name == QLatin1String("DTEND")) {
            event.end = readDateValue(value, params);
        }
    }
    return events;
}

} // namespace ICalendarEventReader
