// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSQLiteTransaction.h"

#include <sqlite3.h>

#include "QELSQLiteStepBudget.h"

namespace {

int run(sqlite3* db, const char* sql, QString* error)
{
    char* message = nullptr;
    const QELSQLiteStepBudget::Scope scope;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return rc;
}

} // namespace

QELSQLiteTransaction::QELSQLiteTransaction(sqlite3* db)
    : m_db(db)
{
    if (!m_db) {
        m_error = QStringLiteral("not open");
        return;
    }
    m_active = run(m_db, "BEGIN", &m_error) == SQLITE_OK;
}

QELSQLiteTransaction::~QELSQLiteTransaction() { rollback(); }

bool QELSQLiteTransaction::commit()
{
    if (!m_active)
        return false;
    if (run(m_db, "COMMIT", &m_error) != SQLITE_OK)
        return false;
    m_active = false;
    return true;
}

void QELSQLiteTransaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    // A failed statement may already have ended the transaction; then there
    // is nothing left to roll back.
    if (sqlite3_get_autocommit(m_db) == 0)
        run(m_db, "ROLLBACK", nullptr);
}
