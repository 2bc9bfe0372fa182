// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QDateTime>

class QELCalendarComponent;

// How one event repeats: frequency 1 daily, 2 weekly, 3 monthly, 4 yearly,
// every `interval` periods, `occurenceCount` times (0: not limited by count)
// or until `endDate` (invalid: none).
class QELCalendarRecurranceProperties {
public:
    qint64 frequency = 0;
    qint64 interval = 0;
    qint64 occurenceCount = 0;
    QDateTime endDate;

    // The event that repeats; not owning.
    QELCalendarComponent* relationshipParent = nullptr;
};

using QELCalendarRecurrancePropertiesPtr = std::shared_ptr<QELCalendarRecurranceProperties>;
