// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "QELCalendarDetail.h"
#include "QELSQLiteStore.h"

// The calendar store "calendars.dat": the calendars of one read with their
// events, held in memory as shared objects (the view and the jobs keep them
// after the store is closed) and written to the store file by save(), one
// table per entity, every value bound.
//
// A reader fills the store on its worker thread; afterwards it is only read.
class QELCalendarStore : public QELSQLiteStore {
public:
    static constexpr const char* kFileName = "calendars.dat";

    // Opens the store file with journal_mode OFF, else an in-memory database;
    // none when neither could be set up. An empty path goes straight to memory.
    static std::shared_ptr<QELCalendarStore> open(const QString& filePath);
    ~QELCalendarStore() override;

    QELCalendarDetailPtr insertCalendar();
    void deleteCalendar(const QELCalendarDetailPtr& calendar);
    // Every calendar, in the order of insertion.
    const std::vector<QELCalendarDetailPtr>& calendars() const { return m_calendars; }

    // Writes the whole content to the store file. False (with a reason) when
    // SQLite refused.
    bool save(QString* error = nullptr);

protected:
    QStringList schemaStatements() const override;

private:
    QELCalendarStore() = default;
    std::vector<QELCalendarDetailPtr> m_calendars;
};
