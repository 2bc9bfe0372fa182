// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

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
    // A read of a database file that answers more rows than the file and
    // its journal or WAL have bytes cannot be meeting each stored row once
    // (pages of a damaged file that point back at one another, a view over
    // an endless query): it fails with SQLITE_CORRUPT, and every later step
    // answers false until reset(). A database in memory has no such bound.
    bool step();
    int lastStepCode() const { return m_stepCode; }
    bool failed() const;
    // SQLite's reason for the last failure of this statement's connection.
    QString errorMessage() const;

    // Steps through the remaining rows, calling `row` for each until it
    // answers false. True when the rows ran out (SQLITE_DONE) or `row`
    // stopped them; false when the statement is not prepared or a step
    // failed (a damaged page, a read error): the rows seen so far are then
    // not the whole table. lastStepCode() and errorMessage() tell why.
    bool forEachRow(const std::function<bool(const QELSQLiteStatement&)>& row);
    // Runs a statement that answers no rows (an INSERT) with its current
    // bindings, then resets it for the next values, keeping the bindings.
    // True when it ran to SQLITE_DONE.
    bool execute();

    // Rewinds to before the first row and clears every binding.
    void reset();
    void finalize();

    // Indices count from 1, as in the statement's "?1".
    void bindText(int index, const QString& value); // a null text binds NULL
    void bindInt64(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindBlob(int index, const QByteArray& value); // a null array binds NULL
    void bindNull(int index);
    // Binds a value by its type: an invalid value, a null text or a null
    // array is NULL; bool and the integer types are integers; double;
    // QByteArray is a blob; anything else binds as its text.
    void bind(int index, const QVariant& value);
    // Binds `values` to ?1, ?2, ... in order.
    void bindAll(const QVariantList& values);

    int columnIndex(const QString& name) const; // -1 when absent
    bool hasColumn(const QString& name) const { return columnIndex(name) >= 0; }
    bool isNull(int column) const;
    // The column's text read as UTF-16; null for NULL, an absent column, or
    // the text "(null)".
    QString text(int column) const;
    QString text(const QString& name) const { return text(columnIndex(name)); }
    // The column's text as stored, "(null)" included; null only for NULL or
    // an absent column.
    QString storedText(int column) const;
    qint64 int64(int column) const;
    qint64 int64(const QString& name) const { return int64(columnIndex(name)); }
    double real(int column) const;
    double real(const QString& name) const { return real(columnIndex(name)); }
    // A REAL or INTEGER column as a whole number, the fraction dropped (dates
    // and durations stored as REAL); out-of-range values are clamped, NaN and
    // NULL read 0.
    qint64 wholeNumber(int column) const;
    qint64 wholeNumber(const QString& name) const { return wholeNumber(columnIndex(name)); }
    QByteArray blob(int column) const;
    int columnType(int column) const;

    // What one record of a device file may bring: a text is cut after
    // `maxBytes` of UTF-8 (at a character's start) and `cut` is set; a blob
    // longer than `maxBytes` is refused (null) and `refused` is set. A row
    // of a hostile file can hold a gigabyte in one field.
    QString cappedText(int column, qint64 maxBytes, bool* cut = nullptr) const;
    QByteArray cappedBlob(int column, qint64 maxBytes, bool* refused = nullptr) const;

private:
    qint64 rowBound() const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    int m_prepareCode = 0;
    QString m_prepareError;
    int m_stepCode = 0;
    // SQLite's reason, taken when a step failed: the connection's own
    // message is another call's once anything else has run on it.
    QString m_stepError;
    // Rows answered since the statement last started.
    qint64 m_rows = 0;
    bool m_pastRowBound = false;
    mutable QHash<QString, int> m_indices;
};
