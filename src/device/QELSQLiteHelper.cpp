#include "QELSQLiteHelper.h"

#include <sqlite3.h>

#include "QELSQLiteStepBudget.h"

QString QELSQLiteHelper::quotedIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool QELSQLiteHelper::doesDatabaseContainTable(sqlite3* db, const QString& table)
{
    if (!db)
        return false;
    // The name is bound, so any text (an apostrophe included) is looked up as it is.
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?1", -1, &statement, nullptr) == SQLITE_OK) {
        const QByteArray name = table.toUtf8();
        sqlite3_bind_text(statement, 1, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        int count = 0;
        const QELSQLiteStepBudget::Scope scope;
        while (sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int(statement, 0);
        found = count != 0;
    }
    sqlite3_finalize(statement);
    return found;
}

bool QELSQLiteHelper::doesDatabaseContainTableOrView(sqlite3* db, const QString& table)
{
    if (!db)
        return false;
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM sqlite_master WHERE type IN ('table', 'view') "
                           "AND name=?1",
                           -1, &statement, nullptr)
        == SQLITE_OK) {
        const QByteArray name = table.toUtf8();
        sqlite3_bind_text(statement, 1, name.constData(), static_cast<int>(name.size()),
                          SQLITE_TRANSIENT);
        const QELSQLiteStepBudget::Scope scope;
        found = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) > 0;
    }
    sqlite3_finalize(statement);
    return found;
}

bool QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(sqlite3* db, const QString& table, const QString& column)
{
    if (!db)
        return false;
    // Both names are bound, and compare as SQLite compares them when it
    // resolves a statement: the table or view by name, the column without case.
    // An unknown table gives no rows.
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE", -1,
                           &statement, nullptr)
        == SQLITE_OK) {
        const QByteArray tableName = table.toUtf8();
        const QByteArray columnName = column.toUtf8();
        sqlite3_bind_text(statement, 1, tableName.constData(), static_cast<int>(tableName.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, columnName.constData(), static_cast<int>(columnName.size()), SQLITE_TRANSIENT);
        const QELSQLiteStepBudget::Scope scope;
        found = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) > 0;
    }
    sqlite3_finalize(statement);
    return found;
}

QString QELSQLiteHelper::columnOrNull(sqlite3* db, const QString& table, const QString& column,
                                      const QString& alias)
{
    if (!doesDatabaseContainTableWithColumnNamed(db, table, column))
        return QStringLiteral("NULL");
    return alias.isEmpty() ? column : alias + QLatin1Char('.') + column;
}

int QELSQLiteHelper::indexOfColumnNamedWithinStatment(const QString& column, sqlite3_stmt* statement)
{
    if (!statement)
        return -1;
    for (int i = sqlite3_column_count(statement) - 1; i >= 0; --i) {
        const char* name = sqlite3_column_name(statement, i);
        if (name && QString::fromUtf8(name) == column)
            return i;
    }
    return -1;
}

bool QELSQLiteHelper::doesStatmentContainColumn(sqlite3_stmt* statement, const QString& column)
{
    return indexOfColumnNamedWithinStatment(column, statement) >= 0;
}

QString QELSQLiteHelper::stringValueForColumnFromStatment(int column, sqlite3_stmt* statement)
{
    if (!statement)
        return QString(QLatin1String(""));
    const void* text = sqlite3_column_text16(statement, column);
    if (!text)
        return QString(QLatin1String(""));
    return QString::fromUtf16(static_cast<const char16_t*>(text), sqlite3_column_bytes16(statement, column) / 2);
}
