// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecurrenceExpansion.h"

#include <algorithm>
#include <limits>

#include "LocaleTime.h"

namespace {

constexpr int kWindowYears = 2;

bool repeats(const RecurrenceExpansion::Rule& rule)
{
    return rule.frequency >= 1 && rule.frequency <= 4 && rule.interval != 0;
}

// The longest a step can be, in days, to skip the repeats long before the
// window without stepping through each of them.
qint64 longestStepDays(const RecurrenceExpansion::Rule& rule)
{
    switch (rule.frequency) {
    case 1:
        return rule.interval;
    case 2:
        return 7 * rule.interval;
    case 3:
        return 31 * rule.interval;
    default:
        return 366 * rule.interval;
    }
}

// An all-day event's days are kept at UTC midnight: the same wall-clock time
// in local time keeps its day in every time zone.
QDateTime asLocalWallClock(const QDateTime& utc)
{
    if (!utc.isValid())
        return {};
    const QDateTime u = utc.toUTC();
    return QDateTime(u.date(), u.time(), Qt::LocalTime);
}

} // namespace

QDateTime RecurrenceExpansion::step(const QDateTime& from, const Rule& rule, qint64 k)
{
    if (!from.isValid())
        return {};
    const qint64 n = rule.interval * k;
    // Far outside any calendar: QDate cannot count so far.
    if (n > std::numeric_limits<int>::max() / 7 || n < std::numeric_limits<int>::min() / 7)
        return {};
    switch (rule.frequency) {
    case 1:
        return from.addDays(n);
    case 2:
        return from.addDays(7 * n);
    case 3:
        return from.addMonths(int(n));
    case 4:
        return from.addYears(int(n));
    default:
        return {};
    }
}

QList<RecurrenceExpansion::Occurrence> RecurrenceExpansion::occurrences(const QDateTime& start,
                                                                        const QDateTime& end,
                                                                        const Rule& rule,
                                                                        const QDateTime& now)
{
    QList<Occurrence> shown;
    if (!start.isValid())
        return shown;
    const QDateTime s0 = start.toLocalTime();
    const QDateTime e0 = end.isValid() ? end.toLocalTime() : QDateTime();
    shown.append({s0, e0});
    if (!repeats(rule))
        return shown;

    const QDateTime local = now.toLocalTime();
    QDateTime limit = s0.addYears(kWindowYears);
    if (rule.endDate.isValid()) {
        const QDateTime later = local.addYears(kWindowYears);
        limit = rule.endDate > later ? later : rule.endDate.toLocalTime();
    }
    const QDateTime windowStart = local.addYears(-kWindowYears);

    // The repeats before the window are not shown but still count; skip most
    // of them at once.
    qint64 k = 1;
    if (s0 < windowStart && rule.interval > 0) {
        const qint64 days = s0.date().daysTo(windowStart.date());
        k = std::max<qint64>(1, days / longestStepDays(rule) - 1);
    }
    QDateTime previous = k == 1 ? s0 : step(s0, rule, k - 1);
    for (;; ++k) {
        // k repeats and the first make k + 1 occurrences of the series.
        if (rule.count >= 1 && k >= rule.count)
            break;
        const QDateTime s = step(s0, rule, k);
        // A step that does not move forward (a negative interval) would never
        // reach the limit.
        if (!s.isValid() || s <= previous)
            break;
        previous = s;
        if (s < windowStart)
            continue;
        if (s >= limit)
            break;
        shown.append({s, step(e0, rule, k)});
    }
    return shown;
}

QList<CalendarEntry> RecurrenceExpansion::entriesForEvent(const QELCalendarComponentPtr& event,
                                                          const QColor& color, const QDateTime& now)
{
    QList<CalendarEntry> entries;
    if (!event || !event->relationshipDateTimeProperty)
        return entries;
    const QELCalendarDateTimeProperties& times = *event->relationshipDateTimeProperty;
    if (!times.dtstart.isValid())
        return entries;
    const bool allDay = times.isAllDay == 1;
    QDateTime start;
    QDateTime end;
    QString label;
    if (allDay) {
        start = asLocalWallClock(times.dtstart);
        end = times.dtend.isValid() ? asLocalWallClock(times.dtend).addSecs(5) : QDateTime();
    } else {
        start = times.dtstart.toLocalTime();
        end = times.dtend.isValid() ? times.dtend.toLocalTime() : QDateTime();
        label = LocaleTime::shortTime(start.time()) + QLatin1Char(' ');
    }
    const QString title = label + event->summary;

    Rule rule;
    if (const QELCalendarRecurrancePropertiesPtr& r = event->relationshipRecurranceProperty) {
        // The device's numbers are read as 32-bit integers.
        rule.frequency = qint32(r->frequency);
        rule.interval = qint32(r->interval);
        rule.count = qint32(r->occurenceCount);
        rule.endDate = allDay ? asLocalWallClock(r->endDate) : r->endDate;
    }
    const std::shared_ptr<const void> object = event;
    for (const Occurrence& o : occurrences(start, end, rule, now)) {
        CalendarEntry entry;
        entry.object = object;
        entry.title = title;
        entry.dateTime = o.start;
        entry.date = o.start.date();
        entry.endDate = o.end;
        entry.allDay = allDay;
        entry.color = color;
        entries.append(entry);
    }
    return entries;
}
