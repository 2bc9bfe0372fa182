// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarEntry.h"

#include <algorithm>

#include "LocaleTime.h"

namespace {

constexpr int kRowHeight = 18;
constexpr int kHourHeight = 36;

} // namespace

QString CalendarEntry::displayText(bool weekView) const
{
    if (weekView && endDate.isValid())
        return title + QStringLiteral("\r\n") + LocaleTime::shortTime(endDate.toLocalTime().time());
    return title;
}

int CalendarEntry::rowHeight(bool weekView) const
{
    if (!weekView || allDay || !endDate.isValid() || !dateTime.isValid())
        return kRowHeight;
    const QDateTime start = dateTime.toLocalTime();
    const QDateTime end = endDate.toLocalTime();
    if (start.date().dayOfWeek() != end.date().dayOfWeek())
        return kRowHeight;
    if (end < start)
        return kHourHeight;
    int hours = end.time().hour() - start.time().hour();
    if (end.time().minute() - start.time().minute() > 30)
        ++hours;
    // An end earlier in the day than the start (a span of whole weeks) would
    // give a negative height: it gets one hour, like an entry of no length.
    return std::max(hours, 1) * kHourHeight;
}
