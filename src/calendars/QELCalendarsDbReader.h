// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QColor>
#include <QHash>
#include <QString>

#include "QELCalendarsReader.h"
#include "QELSQLiteDatabase.h"

// Fills the calendar store from a private copy of the device's calendar
// database, Calendar.sqlitedb, in either layout: events in "Event" (older
// systems) or in "CalendarItem" with their places in "Location". Calendars
// without events are dropped; events whose calendar row is missing (or a
// database without a "Calendar" table) get a calendar of their own per
// calendar id, without title or colour.
//
// Blocking: worker threads (tools and tests call from their main thread).
class QELCalendarsDbReader : public QELCalendarsReader {
public:
    // A reader of the database at `path`; none when no store can be made.
    static std::unique_ptr<QELCalendarsDbReader> initWithCalendarsDbPath(const QString& path);

    // Reads the database into the store and saves it. True in every case, so
    // the view lists what the store holds; lastError() says when the
    // database could not be read (wholly or in part).
    bool loadCalendars() override;
    QString lastError() const { return m_lastError; }

    // "#AARRGGBB" (nine characters: any first one, then four hexadecimal
    // pairs): the colour; none for anything else.
    static std::optional<QColor> colorWithHexARGB(const QString& text);

private:
    QELCalendarsDbReader() = default;
    void readCalendars(QHash<qint64, QELCalendarDetailPtr>& byID);
    void readEvents(QHash<qint64, QELCalendarDetailPtr>& byID);

    QELSQLiteDatabase _calendarDatabase;
    QString m_lastError;
};
