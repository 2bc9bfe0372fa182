// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibicalCheck.h"

#include <ctime>

#include <libical/ical.h>

#include <QTimeZone>

namespace {

QDateTime instant(icaltimetype t, bool* isDate)
{
    *isDate = t.is_date;
    if (icaltime_is_null_time(t))
        return {};
    if (t.is_date)
        return QDateTime(QDate(t.year, t.month, t.day), QTime(0, 0), Qt::UTC);
    const icaltimezone* zone = t.zone ? t.zone : icaltimezone_get_utc_timezone();
    return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, zone), Qt::UTC);
}

} // namespace

LibicalResult parseWithLibical(const QByteArray& text)
{
    LibicalResult result;
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root)
        return result;
    result.parsed = icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT;
    result.errors = icalcomponent_count_errors(root);
    for (icalproperty* p = icalcomponent_get_first_property(root, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(root, ICAL_XLICERROR_PROPERTY))
        result.errorTexts << QString::fromUtf8(icalproperty_as_ical_string(p));
    for (icalcomponent* e = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        for (icalproperty* p = icalcomponent_get_first_property(e, ICAL_XLICERROR_PROPERTY); p;
             p = icalcomponent_get_next_property(e, ICAL_XLICERROR_PROPERTY))
            result.errorTexts << QString::fromUtf8(icalproperty_as_ical_string(p));
        LibicalEvent event;
        if (const char* s = icalcomponent_get_summary(e))
            event.summary = QString::fromUtf8(s);
        if (const char* d = icalcomponent_get_description(e))
            event.description = QString::fromUtf8(d);
        if (icalcomponent_get_first_property(e, ICAL_DTSTART_PROPERTY))
            event.start = instant(icalcomponent_get_dtstart(e), &event.startIsDate);
        if (icalcomponent_get_first_property(e, ICAL_DTEND_PROPERTY))
            event.end = instant(icalcomponent_get_dtend(e), &event.endIsDate);
        if (icalproperty* r = icalcomponent_get_first_property(e, ICAL_RRULE_PROPERTY)) {
            QString line = QString::fromUtf8(icalproperty_as_ical_string(r)).trimmed();
            event.rrule = line.mid(line.indexOf(QLatin1Char(':')) + 1);
            icalrecurrencetype rule =
                icalrecurrencetype_from_string(event.rrule.toUtf8().constData());
            event.rruleParses = rule.freq != ICAL_NO_RECURRENCE;
        }
        result.events.append(event);
    }
    icalcomponent_free(root);
    const QString unfolded = QString::fromUtf8(text).replace(QStringLiteral("\r\n "), QString());
    for (const QString& line : unfolded.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QStringLiteral("RRULE:")))
            continue;
        const QString value = line.mid(6);
        result.rules << value;
        const icalrecurrencetype rule = icalrecurrencetype_from_string(value.toUtf8().constData());
        if (rule.freq == ICAL_NO_RECURRENCE)
            result.everyRuleParses = false;
    }
    return result;
}

LibicalExpansion expandWithLibical(const QByteArray& text, const QString& summary, int max)
{
    LibicalExpansion result;
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root)
        return result;
    for (icalcomponent* e = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        const char* s = icalcomponent_get_summary(e);
        if (!s || QString::fromUtf8(s) != summary)
            continue;
        icalproperty* start = icalcomponent_get_first_property(e, ICAL_DTSTART_PROPERTY);
        if (!start)
            break;
        result.found = true;
        if (icalparameter* tzid = icalproperty_get_first_parameter(start, ICAL_TZID_PARAMETER))
            result.tzid = QString::fromUtf8(icalparameter_get_tzid(tzid));
        // Resolves the TZID through the file's own VTIMEZONE.
        const icaltimetype first = icalcomponent_get_dtstart(e);
        result.isDate = first.is_date;
        result.utc = icaltime_is_utc(first);
        result.floating = !first.is_date && !result.utc && !first.zone;
        auto add = [&](icaltimetype t) {
            result.wallClocks << QDateTime(QDate(t.year, t.month, t.day),
                                           QTime(t.hour, t.minute, t.second), Qt::UTC);
            if (!result.isDate && !result.floating) {
                const icaltimezone* zone =
                    first.zone ? first.zone : icaltimezone_get_utc_timezone();
                result.instants << QDateTime::fromSecsSinceEpoch(
                    icaltime_as_timet_with_zone(t, zone), Qt::UTC);
            }
        };
        icalproperty* rrule = icalcomponent_get_first_property(e, ICAL_RRULE_PROPERTY);
        if (!rrule) {
            add(first);
            break;
        }
        icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(rrule), first);
        for (icaltimetype t = icalrecur_iterator_next(it);
             !icaltime_is_null_time(t) && result.wallClocks.size() < max;
             t = icalrecur_iterator_next(it))
            add(t);
        icalrecur_iterator_free(it);
        break;
    }
    icalcomponent_free(root);
    return result;
}

ScopedTimeZone::ScopedTimeZone(const QByteArray& zone)
    : m_old(qgetenv("TZ"))
    , m_had(qEnvironmentVariableIsSet("TZ"))
{
    qputenv("TZ", zone);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_had)
        qputenv("TZ", m_old);
    else
        qunsetenv("TZ");
    tzset();
}
