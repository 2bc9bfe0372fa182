// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QString>

class QELCalendarComponent;

// The times of one event. The device keeps an all-day event's days at UTC
// midnight, so its day is the UTC date of dtstart.
class QELCalendarDateTimeProperties {
public:
    QDateTime dtstart;
    QDateTime dtend;  // invalid when the device gives no end
    int isAllDay = 0; // 1 for an all-day event
    // Part of the store's model; nothing fills them.
    QDateTime due;
    QString duration;
    QString completed;
    QString freeBusy;
    std::optional<qint64> transparency;

    // The event these times belong to; not owning.
    QELCalendarComponent* relationshipParent = nullptr;
};

using QELCalendarDateTimePropertiesPtr = std::shared_ptr<QELCalendarDateTimeProperties>;
