// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct sqlite3;

// A transaction that lasts as long as its scope: commit() keeps the changes,
// any other way out (an early return, an exception) rolls them back. On a
// connection with journal_mode OFF SQLite cannot undo what was written, so
// there the rollback only ends the transaction.
class QELSQLiteTransaction {
public:
    // Begins at once; isActive() is false when BEGIN failed.
    explicit QELSQLiteTransaction(sqlite3* db);
    ~QELSQLiteTransaction();
    QELSQLiteTransaction(const QELSQLiteTransaction&) = delete;
    QELSQLiteTransaction& operator=(const QELSQLiteTransaction&) = delete;

    bool isActive() const { return m_active; }
    // SQLite's reason when BEGIN or COMMIT failed.
    QString error() const { return m_error; }
    // True when the changes were committed. A failed COMMIT leaves the
    // transaction active, so the scope's end still rolls it back.
    bool commit();
    void rollback();

private:
    sqlite3* m_db = nullptr;
    bool m_active = false;
    QString m_error;
};
