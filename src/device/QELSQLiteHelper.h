#pragma once

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Schema probes for device databases, whose tables and columns change from one
// system version to the next. Works on the caller's connection and statements
// and never closes or finalizes them. No probe reports an error: a missing
// connection or a statement that cannot be prepared answers false (or -1).
class QELSQLiteHelper {
public:
    static bool doesDatabaseContainTable(sqlite3* db, const QString& table);
    // A table, or a view in its place: a reader that takes a view of a hostile
    // file for a missing table would answer an empty list where it should
    // fail, so it reads the view and its step budget ends it.
    static bool doesDatabaseContainTableOrView(sqlite3* db, const QString& table);
    static bool doesDatabaseContainTableWithColumnNamed(sqlite3* db, const QString& table, const QString& column);
    // The index of the last result column with exactly this name, or -1.
    static int indexOfColumnNamedWithinStatment(const QString& column, sqlite3_stmt* statement);
    static bool doesStatmentContainColumn(sqlite3_stmt* statement, const QString& column);
    // The column's text; "" for NULL. Numbers come back in SQLite's text form.
    static QString stringValueForColumnFromStatment(int column, sqlite3_stmt* statement);

    // A result column for a SELECT over device tables whose columns differ by
    // system version: `column` (as `alias.column` when an alias is given) when
    // the table has it, else NULL, which then reads as a missing value.
    static QString columnOrNull(sqlite3* db, const QString& table, const QString& column,
                                const QString& alias = QString());

    // An identifier quoted for SQL ("a""b"), for the few places where a name
    // has to be part of a statement's text.
    static QString quotedIdentifier(const QString& name);
};
