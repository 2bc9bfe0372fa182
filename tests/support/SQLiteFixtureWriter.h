// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

// Writes a small SQLite database for a test: statements with bound values,
// all inside one transaction that commit() ends.
class SQLiteFixtureWriter {
public:
    explicit SQLiteFixtureWriter(const QString& path);   // replaces an existing file
    ~SQLiteFixtureWriter();
    SQLiteFixtureWriter(const SQLiteFixtureWriter&) = delete;
    SQLiteFixtureWriter& operator=(const SQLiteFixtureWriter&) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    // Runs SQL without values (schema); may hold several statements.
    void exec(const QString& sql);
    // Runs one statement with these values bound in order (a null QVariant is
    // NULL; qint64/int, double, QString and QByteArray keep their types).
    void run(const QString& sql, const QVariantList& values = {});
    bool commit();

private:
    sqlite3* m_db = nullptr;
    bool m_ok = true;
    QString m_error;
    QHash<QString, sqlite3_stmt*> m_statements;
};
