// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

#include <QString>
#include <QStringList>
#include <QVariantList>

#include "QELSQLiteDatabase.h"
#include "QELSQLiteStatement.h"

struct sqlite3;

// The base of the program's private stores (media, images, contacts,
// calendars, voicemail, copy history): one SQLite file with journal_mode
// OFF, since a store is rebuilt from the device and needs no journal; an
// in-memory database in its place when the file cannot hold a store; the
// subclass's schema; and a recursive lock that callers hold across a query.
//
// A subclass makes itself through a factory that constructs it and then
// calls openStore(). Values always go through bound statements.
class QELSQLiteStore {
public:
    virtual ~QELSQLiteStore();
    QELSQLiteStore(const QELSQLiteStore&) = delete;
    QELSQLiteStore& operator=(const QELSQLiteStore&) = delete;

    // Re-entrant for its thread: a query may call another under it.
    std::recursive_mutex& lock() const { return m_lock; }
    bool isOpen() const { return m_database.isOpen(); }
    bool isInMemory() const { return m_inMemory; }
    // The file asked for, also when the store fell back to memory.
    QString filePath() const { return m_filePath; }
    sqlite3* handle() const { return m_database.handle(); }
    QString lastError() const { return m_database.lastError(); }

    // A statement on the store; its values are bound by the caller.
    QELSQLiteStatement prepare(const QString& sql) const;
    // Runs one statement with `values` bound to ?1, ?2, ... (see
    // QELSQLiteStatement::bind). False, with SQLite's reason, when it fails.
    bool run(const QString& sql, const QVariantList& values = {}, QString* error = nullptr);
    // Closes the database; what the subclass holds in memory stays.
    void close();

protected:
    QELSQLiteStore() = default;

    // The statements that make the store's tables, run in order on every
    // database the store opens (file or memory). A store that keeps a file
    // from an earlier run writes them as "CREATE TABLE IF NOT EXISTS".
    virtual QStringList schemaStatements() const = 0;

    enum class WhenFileFails {
        UseMemory,
        // A file that holds no usable store (a damaged copy from the device)
        // is deleted and set up once more before memory is tried.
        RecreateFileThenUseMemory,
    };
    // Sets up the store at `filePath`, else in memory (an empty path goes
    // straight there), logging why the file failed. False, with the reason,
    // when not even memory could hold it.
    bool openStore(const QString& filePath, WhenFileFails whenFileFails = WhenFileFails::UseMemory,
                   QString* error = nullptr);

private:
    bool setUp(QELSQLiteDatabase database, QString* error);

    mutable std::recursive_mutex m_lock;
    QELSQLiteDatabase m_database;
    bool m_inMemory = false;
    QString m_filePath;
};
