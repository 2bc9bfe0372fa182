// SPDX-License-Identifier: GPL-3.0-or-later
#include "ICalendarZone.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

#include <libical/ical.h>

#include <QRegularExpression>
#include <QStringList>

namespace {

// libical keeps its zones and its error state in globals.
std::mutex& libicalMutex()
{
    static std::mutex mutex;
    return mutex;
}

void prepareLibical()
{
    static std::once_flag once;
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

// Zone names are written into a parameter unquoted: only the characters
// zone names are made of.
bool looksLikeZoneName(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[A-Za-z][A-Za-z0-9_+\\-]*(/[A-Za-z0-9_+\\-]+)*$"));
    return name.size() <= 64 && pattern.match(name).hasMatch();
}

// The zone of that name; the caller holds the mutex.
icaltimezone* zoneNamed(const QString& id)
{
    prepareLibical();
    return icaltimezone_get_builtin_timezone(id.toUtf8().constData());
}

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

QString wallClock(int year, int month, int day, int hour, int minute, int second)
{
    return QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0')) + twoDigits(month)
        + twoDigits(day) + QLatin1Char('T') + twoDigits(hour) + twoDigits(minute)
        + twoDigits(second);
}

QString wallClockOf(const QDateTime& time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return wallClock(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

bool yearIsWritable(int year) { return year >= 1 && year <= 9999; }

void collectProblems(icalcomponent* component, QStringList& problems)
{
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY)) {
        if (const char* text = icalproperty_get_xlicerror(p))
            problems << QString::fromUtf8(text);
    }
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
        collectProblems(c, problems);
}

} // namespace

ICalendarZone ICalendarZone::fromDeviceName(const QString& name)
{
    const QString trimmed = name.trimmed();
    const QString lower = trimmed.toLower();
    if (lower == QLatin1String("_float") || lower == QLatin1String("floating"))
        return floating();
    if (trimmed.isEmpty() || lower == QLatin1String("utc") || lower == QLatin1String("gmt")
        || lower == QLatin1String("etc/utc") || lower == QLatin1String("z")
        || !looksLikeZoneName(trimmed))
        return utc();
    const std::lock_guard lock(libicalMutex());
    icaltimezone* zone = zoneNamed(trimmed);
    const char* location = zone ? icaltimezone_get_location(zone) : nullptr;
    if (!location || zone == icaltimezone_get_utc_timezone())
        return utc();
    return ICalendarZone(Kind::Named, QString::fromUtf8(location));
}

QString ICalendarZone::dateTimeValue(const QDateTime& time) const
{
    switch (m_kind) {
    case Kind::Utc:
        return QLatin1Char(':') + wallClockOf(time.toUTC()) + QLatin1Char('Z');
    case Kind::Floating:
        return QLatin1Char(':') + wallClockOf(time);
    case Kind::Named:
        break;
    }
    const std::lock_guard lock(libicalMutex());
    icaltimezone* zone = zoneNamed(m_id);
    if (!zone)
        return QLatin1Char(':') + wallClockOf(time.toUTC()) + QLatin1Char('Z');
    const icaltimetype t =
        icaltime_from_timet_with_zone(static_cast<time_t>(time.toSecsSinceEpoch()), 0, zone);
    return QStringLiteral(";TZID=") + m_id + QLatin1Char(':')
        + wallClock(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

QString ICalendarZone::untilValue(const QDateTime& time) const
{
    if (m_kind == Kind::Floating)
        return wallClockOf(time);
    return wallClockOf(time.toUTC()) + QLatin1Char('Z');
}

QByteArray ICalendarZone::vtimezone(const QDateTime& from) const
{
    if (m_kind != Kind::Named)
        return {};
    const std::lock_guard lock(libicalMutex());
    icaltimezone* zone = zoneNamed(m_id);
    icalcomponent* source = zone ? icaltimezone_get_component(zone) : nullptr;
    if (!source)
        return {};
    icalcomponent* copy = icalcomponent_new_clone(source);
    // libical names its zones with a prefix of its own; other programs look
    // the zone up by its plain name.
    if (icalproperty* tzid = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(tzid, m_id.toUtf8().constData());
    if (from.isValid() && yearIsWritable(from.toUTC().date().year())) {
        const icaltimetype start = icaltime_from_timet_with_zone(
            static_cast<time_t>(from.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
        icaltimezone_truncate_vtimezone(copy, start, icaltime_null_time(), 0);
    }
    char* text = icalcomponent_as_ical_string_r(copy);
    QByteArray bytes(text ? text : "");
    free(text);
    icalcomponent_free(copy);
    return bytes;
}

bool ICalendarZone::canWrite(const QDateTime& time) const
{
    if (!time.isValid() || !yearIsWritable(time.toUTC().date().year()))
        return false;
    if (m_kind == Kind::Floating)
        return yearIsWritable(time.date().year());
    if (m_kind == Kind::Named) {
        // The wall clock differs from UTC by hours at most: only the last and
        // the first day of the range can fall outside.
        const QDate day = time.toUTC().date();
        return !(day.year() == 1 && day.dayOfYear() == 1)
            && !(day.year() == 9999 && day.month() == 12 && day.day() == 31);
    }
    return true;
}

QStringList ICalendarZone::problemsOf(const QByteArray& text)
{
    QStringList problems;
    const std::lock_guard lock(libicalMutex());
    prepareLibical();
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root)
        return {QStringLiteral("libical cannot parse the text")};
    if (icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT)
        problems << QStringLiteral("the text is not one VCALENDAR");
    collectProblems(root, problems);
    icalcomponent_free(root);
    return problems;
}
