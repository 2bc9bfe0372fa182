// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QMetaType>
#include <QString>

#include "QELCalendarComponent.h"

// One calendar of the device with its events.
class QELCalendarDetail {
public:
    // The calendar's row in the device database ("ROWID"), or the
    // "calendar_id" of events whose calendar row is missing.
    std::optional<qint64> calendarID;
    // Null for a calendar the database names only by the id of its events.
    QString title;
    // Normally "#" and six hexadecimal digits; empty when the device gives none.
    QString colorHTMLCode;
    std::optional<int> colorRed;
    std::optional<int> colorGreen;
    std::optional<int> colorBlue;
    // Part of the store's model; nothing fills them.
    std::optional<qint64> isColorSpecified;
    QString filePath;

    std::vector<QELCalendarComponentPtr> relationshipComponents;
};

using QELCalendarDetailPtr = std::shared_ptr<QELCalendarDetail>;

// Calendars travel in a copy job's item queue.
Q_DECLARE_METATYPE(QELCalendarDetailPtr)
