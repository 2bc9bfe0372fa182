// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "CalendarFixture.h"
#include "QELCalendarsDbReader.h"

// A reader loaded from a fixture database written into the test's home.
std::unique_ptr<QELCalendarsDbReader> loadedReader(
    const CalendarFixture::Database& database,
    const QString& name = QStringLiteral("Calendar.sqlitedb"));
// The calendar with this id, or none.
QELCalendarDetailPtr calendarWithID(const QELCalendarsReader& reader, qint64 id);
// The event with this id in any calendar, or none.
QELCalendarComponentPtr eventWithID(const QELCalendarsReader& reader, qint64 id);
