// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QList>
#include <QString>

#include "QELCalendarDetail.h"

class QELCalendarStore;

// Owns the calendar store "calendars.dat" in the program's temporary folder
// and answers the calendars view's two questions: the calendars, and the
// events of a calendar. QELCalendarsDbReader fills it from the device's
// calendar database.
//
// The store is filled once on a worker thread and only read afterwards, so
// the queries take no lock.
class QELCalendarsReader {
public:
    virtual ~QELCalendarsReader();
    QELCalendarsReader(const QELCalendarsReader&) = delete;
    QELCalendarsReader& operator=(const QELCalendarsReader&) = delete;

    // The base only checks the source: true when a database path is set and a
    // file is there.
    virtual bool loadCalendars();

    // Every calendar, by title in plain character order ("Work" before "work").
    QList<QELCalendarDetailPtr> getCalendars() const;
    // The events of every calendar titled exactly `title`, one calendar after
    // the other; empty when there is none.
    QList<QELCalendarComponentPtr> eventsForCalendar(const QString& title) const;

    const std::shared_ptr<QELCalendarStore>& store() const { return m_store; }

protected:
    QELCalendarsReader() = default;
    // Makes the store, removing the file of an earlier read first; memory
    // stands in for a file SQLite cannot use. False when there is no store.
    bool init();

    QString _dbPath;
    std::shared_ptr<QELCalendarStore> m_store;
};
