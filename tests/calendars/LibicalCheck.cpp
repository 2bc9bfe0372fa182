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
