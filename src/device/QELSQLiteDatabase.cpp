// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSQLiteDatabase.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

#include "QELSQLiteStepBudget.h"

namespace {

constexpr qint64 kHeaderSize = 100;

void setFailure(QString* error, int* resultCode, int code, const QString& reason)
{
    if (error)
        *error = reason;
    if (resultCode)
        *resultCode = code;
}

// What a file's 100-byte header says before SQLite is asked: SQLite itself
// takes an empty file for an empty database, and opens anything else lazily.
enum class Header { Missing, Empty, NotADatabase, Rollback, Wal };

Header readHeader(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return Header::Missing;
    const QByteArray header = file.read(kHeaderSize);
    if (header.isEmpty())
        return Header::Empty;
    static const QByteArray magic("SQLite format 3\0", 16);
    if (header.size() < kHeaderSize || !header.startsWith(magic))
        return Header::NotADatabase;
    // Bytes 18 and 19 are the write and read versions: 2 marks WAL mode.
    return header.at(18) == 2 || header.at(19) == 2 ? Header::Wal : Header::Rollback;
}

// A path SQLite never reads as a URI: with URIs enabled in the library's
// build, a relative name starting with "file:" would be one.
QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

} // namespace

void QELSQLiteDatabase::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

QELSQLiteDatabase QELSQLiteDatabase::open(const QString& path, int flags, QString* error,
                                          int* resultCode)
{
    QELSQLiteDatabase database;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path == QLatin1String(":memory:") ? ":memory:"
                                                                     : nativePath(path).constData(),
                                   &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        setFailure(error, resultCode, rc,
                   QStringLiteral("Cannot open %1: %2.")
                       .arg(path, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
        sqlite3_close_v2(db);
        return database;
    }
    if (resultCode)
        *resultCode = SQLITE_OK;
    database.m_db = std::shared_ptr<sqlite3>(db, Closer());
    return database;
}

namespace {

// Reads the schema, which is where SQLite first looks at the file: a damaged
// first page or a file of another kind fails here.
bool probe(sqlite3* db, const QString& path, QString* error, int* resultCode)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        const QELSQLiteStepBudget::Scope scope;
        rc = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (rc == SQLITE_ROW)
        return true;
    setFailure(
        error, resultCode, rc,
        QStringLiteral("Cannot read %1: %2.").arg(path, QString::fromUtf8(sqlite3_errmsg(db))));
    return false;
}

bool refuseByHeader(Header header, const QString& path, QString* error, int* resultCode)
{
    switch (header) {
    case Header::Missing:
        setFailure(error, resultCode, SQLITE_CANTOPEN,
                   QStringLiteral("Cannot open %1: there is no such file.").arg(path));
        return true;
    case Header::Empty:
        setFailure(error, resultCode, SQLITE_NOTADB,
                   QStringLiteral("Cannot read %1: the file is empty.").arg(path));
        return true;
    case Header::NotADatabase:
        setFailure(error, resultCode, SQLITE_NOTADB,
                   QStringLiteral(
                       "Cannot read %1: it is not an SQLite database, or its header is cut short.")
                       .arg(path));
        return true;
    case Header::Rollback:
    case Header::Wal:
        return false;
    }
    return false;
}

} // namespace

QELSQLiteDatabase QELSQLiteDatabase::openCopyReadOnly(const QString& path, QString* error,
                                                      int* resultCode, Clock::Milliseconds stepBudget)
{
    const Header header = readHeader(path);
    if (refuseByHeader(header, path, error, resultCode))
        return QELSQLiteDatabase();
    // A "-wal" beside a copy whose header was already reset still holds rows.
    const bool wal = header == Header::Wal || QFileInfo(path + QStringLiteral("-wal")).isFile();
    QELSQLiteDatabase database =
        open(path, wal ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, error, resultCode);
    if (!database.isOpen())
        return database;
    QELSQLiteStepBudget::guard(database.handle(), stepBudget);
    if (wal) {
        // Closing would otherwise fold the WAL into the copy: a second reader
        // of the same copy then sees the files as they were copied.
        sqlite3_db_config(database.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        if (!database.execute(QStringLiteral("PRAGMA query_only=ON"), error)) {
            if (resultCode)
                *resultCode = sqlite3_errcode(database.handle());
            return QELSQLiteDatabase();
        }
    }
    if (!probe(database.handle(), path, error, resultCode))
        return QELSQLiteDatabase();
    return database;
}

QELSQLiteDatabase QELSQLiteDatabase::openReadOnly(const QString& path, QString* error,
                                                  int* resultCode, Clock::Milliseconds stepBudget)
{
    if (refuseByHeader(readHeader(path), path, error, resultCode))
        return QELSQLiteDatabase();
    QELSQLiteDatabase database = open(path, SQLITE_OPEN_READONLY, error, resultCode);
    if (database.isOpen())
        QELSQLiteStepBudget::guard(database.handle(), stepBudget);
    if (database.isOpen() && !probe(database.handle(), path, error, resultCode))
        return QELSQLiteDatabase();
    return database;
}

QELSQLiteDatabase QELSQLiteDatabase::openExisting(const QString& path, int* resultCode)
{
    return open(path, SQLITE_OPEN_READWRITE, nullptr, resultCode);
}

QELSQLiteDatabase QELSQLiteDatabase::openOrCreate(const QString& path, QString* error,
                                                  int* resultCode)
{
    return open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error, resultCode);
}

QELSQLiteDatabase QELSQLiteDatabase::openInMemory(QString* error)
{
    return open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error,
                nullptr);
}

QString QELSQLiteDatabase::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db.get())) : QStringLiteral("not open");
}

bool QELSQLiteDatabase::execute(const QString& sql, QString* error) const
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("not open");
        return false;
    }
    char* message = nullptr;
    const QELSQLiteStepBudget::Scope scope;
    const int rc = sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}
