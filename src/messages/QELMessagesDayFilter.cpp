// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesDayFilter.h"

namespace QELMessagesDayFilter {

QDateTime _dateWithOutTime(const QDateTime& time, const QTimeZone& zone)
{
    return QDateTime(time.toTimeZone(zone).date(), QTime(0, 0), zone);
}

bool isRange(const QDateTime& start, const QDateTime& end)
{
    return start.isValid() && end.isValid();
}

QList<QELMessageDetail> _stripMessagesOutDateRange(const QList<QELMessageDetail>& messages,
                                                   const QDateTime& start, const QDateTime& end,
                                                   const QTimeZone& zone)
{
    const QDate first = start.toTimeZone(zone).date();
    const QDate last = end.toTimeZone(zone).date();
    QList<QELMessageDetail> kept;
    for (const QELMessageDetail& message : messages) {
        if (!message.time().isValid())
            continue;
        const QDate day = message.time().toTimeZone(zone).date();
        if (day >= first && day <= last)
            kept.append(message);
    }
    return kept;
}

} // namespace QELMessagesDayFilter
