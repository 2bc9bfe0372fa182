// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include "QELMessageDetail.h"

// The date range of the messages view and its copy: whole calendar days.
namespace QELMessagesDayFilter {

// Midnight that begins the instant's calendar day in `zone`.
QDateTime _dateWithOutTime(const QDateTime& time, const QTimeZone& zone);
// The messages whose day lies from the start's day to the end's day, both
// included, in their order; a message without a time is dropped.
QList<QELMessageDetail> _stripMessagesOutDateRange(
    const QList<QELMessageDetail>& messages, const QDateTime& start, const QDateTime& end,
    const QTimeZone& zone = QTimeZone::systemTimeZone());
// Whether a range is asked for: both ends given.
bool isRange(const QDateTime& start, const QDateTime& end);

} // namespace QELMessagesDayFilter
