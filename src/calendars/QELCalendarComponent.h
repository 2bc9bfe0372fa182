// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "QELCalendarDateTimeProperties.h"
#include "QELCalendarRecurranceProperties.h"

class QELCalendarDetail;

// One event of a calendar. Texts the device leaves NULL are empty.
class QELCalendarComponent {
public:
    // The event's row in the device database, and its time zone ("start_tz").
    std::optional<qint64> eventID;
    QString timeZone;

    QString summary;
    QString componentDescription;
    QString location;
    qint64 componentType = 1;
    // Part of the store's model and read by the exports; the device gives none.
    QString comment;
    QString categories;
    QString componentClass;
    QString geo;
    QString resources;
    QString status;
    std::optional<qint64> percentageComplete;
    std::optional<qint64> priority;

    // The calendar; not owning (the calendar owns its events).
    QELCalendarDetail* relationshipParent = nullptr;
    // Absent only when the device database has no start-time column.
    QELCalendarDateTimePropertiesPtr relationshipDateTimeProperty;
    // Absent for an event that does not repeat.
    QELCalendarRecurrancePropertiesPtr relationshipRecurranceProperty;
};

using QELCalendarComponentPtr = std::shared_ptr<QELCalendarComponent>;
