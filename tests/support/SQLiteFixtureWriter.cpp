// SPDX-License-Identifier: GPL-3.0-or-later
#include "SQLiteFixtureWriter.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QFile>

SQLiteFixtureWriter::SQLiteFixtureWriter(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        m_ok = false;
        m_error = QStringLiteral("cannot create ") + path;
        return;
    }
    exec(QStringLiteral("PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF; BEGIN"));
}

SQLiteFixtureWriter::~SQLiteFixtureWriter()
{
    for (sqlite3_stmt* statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    sqlite3_close_v2(m_db);
}

void SQLiteFixtureWriter::exec(const QString& sql)
{
    if (!m_ok)
        return;
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        m_ok = false;
        m_error = QString::fromUtf8(message ? message : "exec failed") + QStringLiteral(" in: ") + sql;
    }
    sqlite3_free(message);
}

void SQLiteFixtureWriter::run(const QString& sql, const QVariantList& values)
{
    if (!m_ok)
        return;
    sqlite3_stmt* statement = m_statements.value(sql);
    if (!statement) {
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
            m_ok = false;
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db)) + QStringLiteral(" in: ") + sql;
            return;
        }
        m_statements.insert(sql, statement);
    }
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        const int index = i + 1;
        if (value.isNull()) {
            sqlite3_bind_null(statement, index);
        } else if (value.typeId() == QMetaType::QString) {
            const QByteArray utf8 = value.toString().toUtf8();
            sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        } else if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(statement, index, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        } else if (value.typeId() == QMetaType::Double) {
            sqlite3_bind_double(statement, index, value.toDouble());
        } else {
            sqlite3_bind_int64(statement, index, value.toLongLong());
        }
    }
    if (sqlite3_step(statement) != SQLITE_DONE) {
        m_ok = false;
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db)) + QStringLiteral(" in: ") + sql;
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

bool SQLiteFixtureWriter::commit()
{
    exec(QStringLiteral("COMMIT"));
    return m_ok;
}
