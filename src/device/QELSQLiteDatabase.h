// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "Clock.h"

struct sqlite3;

// An owned SQLite connection, closed when the last owner goes. Every open
// answers an unopened database on failure, with a sentence in `error` and
// SQLite's result code in `resultCode` when they are given.
class QELSQLiteDatabase {
public:
    QELSQLiteDatabase() = default;

    // Reads a private copy of a device database, with the rows that still
    // live only in its "-wal" companion. A copy in WAL mode is opened for
    // writing so that SQLite can rebuild the "-shm" index beside it (a
    // read-only connection may not create one), but the connection is query
    // only and leaves the WAL unmerged; any other copy is opened read-only.
    // A missing, empty or truncated header, or a file that is not an SQLite
    // database, fails here rather than at the first statement.
    // The file is untrusted: SQLite's defensive mode is on, functions its
    // views name run only when harmless, and one step that runs longer than
    // `stepBudget` (real time: a safety net, not a delay of the program) fails with SQLITE_INTERRUPT, so
    // a view over an endless query cannot hold a read for ever.
    static QELSQLiteDatabase openCopyReadOnly(const QString& path, QString* error = nullptr,
                                              int* resultCode = nullptr,
                                              Clock::Milliseconds stepBudget = kDeviceStepBudget);
    // Reads a database where it lies (a backup's manifest): read-only, never
    // created, guarded as above. A file that is not a database fails here.
    static QELSQLiteDatabase openReadOnly(const QString& path, QString* error = nullptr,
                                          int* resultCode = nullptr,
                                          Clock::Milliseconds stepBudget = kDeviceStepBudget);
    // Far above any one step of a real device database (sorting the largest
    // library takes well under a second), far below a user giving up.
    static constexpr Clock::Milliseconds kDeviceStepBudget{30000};
    // Opens an existing file for reading and writing (a local copy of ours);
    // a missing file is not created.
    static QELSQLiteDatabase openExisting(const QString& path, int* resultCode = nullptr);
    // Opens a file for reading and writing, creating it when missing.
    static QELSQLiteDatabase openOrCreate(const QString& path, QString* error = nullptr,
                                          int* resultCode = nullptr);
    // A fresh database that lives in memory until it is closed.
    static QELSQLiteDatabase openInMemory(QString* error = nullptr);

    sqlite3* handle() const { return m_db.get(); }
    bool isOpen() const { return m_db != nullptr; }
    void close() { m_db.reset(); }
    QString lastError() const;

    // Runs statements that carry no values (schema, pragmas, BEGIN); values
    // always go through a QELSQLiteStatement's bindings. False, with SQLite's
    // reason in `error`, when a statement fails.
    bool execute(const QString& sql, QString* error = nullptr) const;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    static QELSQLiteDatabase open(const QString& path, int flags, QString* error, int* resultCode);
    std::shared_ptr<sqlite3> m_db;
};
