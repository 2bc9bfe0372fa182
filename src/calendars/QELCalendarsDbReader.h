// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
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

    // Reads the database into the store and saves it, as one read with one
    // step budget. True in every case, so the view lists what the store
    // holds; lastError() says when the database could not be read. A
    // statement that fails or runs out of the budget ends the read ("this
    // database is damaged: ..."), and the store then holds no calendar: a
    // calendar read in part would look whole.
    bool loadCalendars() override;
    QString lastError() const { return m_lastError; }
    // The budget of one read when it is shorter than the connection's own
    // (tests, tools that must answer quickly); 0: the connection's.
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    // "#AARRGGBB" (nine characters: any first one, then four hexadecimal
    // pairs): the colour; none for anything else.
    static std::optional<QColor> colorWithHexARGB(const QString& text);

private:
    QELCalendarsDbReader() = default;
    void readCalendars(QHash<qint64, QELCalendarDetailPtr>& byID);
    void readEvents(QHash<qint64, QELCalendarDetailPtr>& byID);

    QELSQLiteDatabase _calendarDatabase;
    QString m_lastError;
    std::chrono::milliseconds m_readBudget{0};
};
