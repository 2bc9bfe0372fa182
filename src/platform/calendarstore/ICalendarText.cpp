// SPDX-License-Identifier: GPL-3.0-or-later
#include "ICalendarText.h"

#include <QStringList>

#include "TextEscaping.h"

void ICalendarText::add(const QString& nameAndParams, const QString& value)
{
    addLine(nameAndParams + QLatin1Char(':') + value);
}

void ICalendarText::addLine(const QString& line)
{
    m_bytes += TextEscaping::foldContentLine(line);
    m_bytes += "\r\n";
}

void ICalendarText::addText(const QString& name, const QString& value)
{
    add(name, TextEscaping::iCalendarValue(value));
}

void ICalendarText::addUtcDateTime(const QString& name, const QDateTime& time)
{
    add(name, utcDateTime(time));
}

void ICalendarText::addDate(const QString& name, const QDate& day)
{
    add(name + QStringLiteral(";VALUE=DATE"), date(day));
}

QString ICalendarText::utcDateTime(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString ICalendarText::date(const QDate& day)
{
    // Four digits of the calendar year, whatever the week the day falls in.
    return day.toString(QStringLiteral("yyyyMMdd"));
}

std::optional<QString> ICalendarText::recurrenceRule(int frequency, int interval, int count,
                                                     const QString& until)
{
    static const char* const kFrequencies[] = {"DAILY", "WEEKLY", "MONTHLY", "YEARLY"};
    if (frequency < 1 || frequency > 4 || interval < 1)
        return std::nullopt;
    QStringList parts;
    parts << QStringLiteral("FREQ=") + QLatin1String(kFrequencies[frequency - 1]);
    parts << QStringLiteral("INTERVAL=%1").arg(interval);
    if (!until.isEmpty())
        parts << QStringLiteral("UNTIL=") + until;
    else if (count > 0)
        parts << QStringLiteral("COUNT=%1").arg(count);
    return parts.join(QLatin1Char(';'));
}
