// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSQLiteStore.h"

#include <QFile>

#include "Log.h"

QELSQLiteStore::~QELSQLiteStore() = default;

QELSQLiteStatement QELSQLiteStore::prepare(const QString& sql) const
{
    return QELSQLiteStatement(m_database.handle(), sql);
}

bool QELSQLiteStore::run(const QString& sql, const QVariantList& values, QString* error)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    QELSQLiteStatement statement = prepare(sql);
    if (statement.isPrepared()) {
        statement.bindAll(values);
        if (statement.execute())
            return true;
    }
    if (error)
        *error = statement.errorMessage();
    return false;
}

void QELSQLiteStore::close()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_database.close();
}

bool QELSQLiteStore::setUp(QELSQLiteDatabase database, QString* error)
{
    if (!database.isOpen())
        return false;
    // SQLite opens lazily: the pragmas are the first to read the file, so a
    // file that is not a database fails here.
    if (!database.execute(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"),
                          error))
        return false;
    for (const QString& statement : schemaStatements()) {
        if (!database.execute(statement, error))
            return false;
    }
    m_database = std::move(database);
    return true;
}

bool QELSQLiteStore::openStore(const QString& filePath, WhenFileFails whenFileFails, QString* error)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_database.close();
    m_filePath = filePath;
    m_inMemory = false;
    QString reason;
    if (!filePath.isEmpty()) {
        if (setUp(QELSQLiteDatabase::openOrCreate(filePath, &reason), &reason))
            return true;
        if (whenFileFails == WhenFileFails::RecreateFileThenUseMemory && QFile::exists(filePath)) {
            qCWarning(lcOrvane).noquote()
                << QStringLiteral("Store %1 unusable (%2); starting it afresh")
                       .arg(filePath, reason);
            QFile::remove(filePath);
            reason.clear();
            if (setUp(QELSQLiteDatabase::openOrCreate(filePath, &reason), &reason))
                return true;
        }
        qCWarning(lcOrvane).noquote()
            << QStringLiteral("_persistantStore nil: Error %1").arg(reason);
        qCWarning(lcOrvane) << "Attempting NSInMemoryStoreType instead...";
    }
    reason.clear();
    if (setUp(QELSQLiteDatabase::openInMemory(&reason), &reason)) {
        m_inMemory = true;
        return true;
    }
    qCWarning(lcOrvane).noquote() << QStringLiteral("_persistantStore nil: Error %1")
                                         .arg(reason.isEmpty() ? QStringLiteral("nil") : reason);
    if (error)
        *error = reason;
    return false;
}
