// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarTestSupport.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"

std::unique_ptr<QELCalendarsDbReader> loadedReader(const CalendarFixture::Database& database,
                                                   const QString& name)
{
    const QString path = TestEnvironment::home() + QLatin1Char('/') + name;
    QString error;
    EXPECT_TRUE(CalendarFixture::write(path, database, &error)) << error.toStdString();
    std::unique_ptr<QELCalendarsDbReader> reader =
        QELCalendarsDbReader::initWithCalendarsDbPath(path);
    EXPECT_TRUE(reader);
    if (reader) {
        EXPECT_TRUE(reader->loadCalendars());
    }
    return reader;
}

QELCalendarDetailPtr calendarWithID(const QELCalendarsReader& reader, qint64 id)
{
    for (const QELCalendarDetailPtr& c : reader.getCalendars()) {
        if (c->calendarID == id)
            return c;
    }
    return nullptr;
}

QELCalendarComponentPtr eventWithID(const QELCalendarsReader& reader, qint64 id)
{
    for (const QELCalendarDetailPtr& c : reader.getCalendars()) {
        for (const QELCalendarComponentPtr& e : c->relationshipComponents) {
            if (e->eventID == id)
                return e;
        }
    }
    return nullptr;
}
