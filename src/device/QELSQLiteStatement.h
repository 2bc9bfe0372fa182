// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// An owned SQLite connection, closed when the last owner goes.
class QELSQLiteDatabase {
public:
    QELSQLiteDatabase() = default;
    // Opens an existing file for reading and writing (a local copy of ours);
    // a missing file is not created. Answers an unopened database on failure,
    // with SQLite's result code in `resultCode`.
    static QELSQLiteDatabase openExisting(const QString& path, int* resultCode = nullptr);

    sqlite3* handle() const { return m_db.get(); }
    bool isOpen() const { return m_db != nullptr; }
    void close() { m_db.reset(); }
    QString lastError() const;

private:
    struct Closer { void operator()(sqlite3* db) const; };
    std::shared_ptr<sqlite3> m_db;
};

// A prepared statement with its columns looked up by name. Values are bound,
// never pasted into the statement's text. A column the statement lacks reads
// as NULL: a null text, 0.
class QELSQLiteStatement {
public:
    QELSQLiteStatement() = default;
    QELSQLiteStatement(sqlite3* db, const QString& sql);
    ~QELSQLiteStatement();
    QELSQLiteStatement(const QELSQLiteStatement&) = delete;
    QELSQLiteStatement& operator=(const QELSQLiteStatement&) = delete;
    QELSQLiteStatement(QELSQLiteStatement&& other) noexcept;
    QELSQLiteStatement& operator=(QELSQLiteStatement&& other) noexcept;

    bool isPrepared() const { return m_statement != nullptr; }
    int prepareCode() const { return m_prepareCode; }
    sqlite3_stmt* handle() const { return m_statement; }

    // Steps once: true while a row comes. lastStepCode() tells a clean end
    // (SQLITE_DONE) from a failure.
    bool step();
    int lastStepCode() const { return m_stepCode; }
    bool failed() const;
    void reset();
    void finalize();

    void bindText(int index, const QString& value);
    void bindInt64(int index, qint64 value);

    int columnIndex(const QString& name) const;   // -1 when absent
    bool hasColumn(const QString& name) const { return columnIndex(name) >= 0; }
    bool isNull(int column) const;
    // The column's text read as UTF-16; null for NULL, an absent column, or
    // the text "(null)".
    QString text(int column) const;
    QString text(const QString& name) const { return text(columnIndex(name)); }
    qint64 int64(int column) const;
    qint64 int64(const QString& name) const { return int64(columnIndex(name)); }
    double real(int column) const;
    double real(const QString& name) const { return real(columnIndex(name)); }
    QByteArray blob(int column) const;
    int columnType(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_prepareCode = 0;
    int m_stepCode = 0;
    mutable QHash<QString, int> m_indices;
};
