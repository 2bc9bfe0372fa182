// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELWebHistoryFromDBReader.h"

#include <exception>

#include <QFileInfo>

#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

bool QELWebHistoryFromDBReader::populateWebHistoryFromPath(const QString& path)
{
    assertNotOnGuiThread();
    setLastError(QString());
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        setLastError(QStringLiteral("no file at %1").arg(path));
        return false;
    }
    try {
        QString error;
        QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
        if (!db.isOpen()) {
            setLastError(error);
            return false;
        }
        sqlite3* handle = db.handle();
        if (!QELSQLiteHelper::doesDatabaseContainTable(handle, QStringLiteral("history_visits"))
            || !QELSQLiteHelper::doesDatabaseContainTable(handle,
                                                          QStringLiteral("history_items"))) {
            setLastError(QStringLiteral("%1 has no history tables").arg(path));
            return true;
        }
        // Older files lack load_successful: every titled visit counts there.
        // A NULL title compares as unknown, so it is left out with the empty ones.
        QString sql = QStringLiteral(
            "SELECT hv.title, hv.visit_time, hi.url%1 FROM history_visits hv "
            " JOIN history_items hi ON hi.id ==hv.history_item WHERE hv.title != ''");
        const bool hasVisitCount = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
            handle, QStringLiteral("history_items"), QStringLiteral("visit_count"));
        sql = sql.arg(hasVisitCount ? QStringLiteral(", hi.visit_count") : QString());
        if (QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                handle, QStringLiteral("history_visits"), QStringLiteral("load_successful")))
            sql += QStringLiteral(" AND hv.load_successful == 1");
        QELSQLiteStatement statement(handle, sql);
        if (!statement.isPrepared()) {
            setLastError(statement.errorMessage());
            return true;
        }
        const int title = statement.columnIndex(QStringLiteral("title"));
        const int visitTime = statement.columnIndex(QStringLiteral("visit_time"));
        const int url = statement.columnIndex(QStringLiteral("url"));
        const int visitCount = statement.columnIndex(QStringLiteral("visit_count"));
        const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
            if (row.isNull(visitTime))
                return true;
            QELSafariHistoryItem item;
            item.setTitle(QELSQLiteHelper::stringValueForColumnFromStatment(title, row.handle()));
            item.setAddress(QELSQLiteHelper::stringValueForColumnFromStatment(url, row.handle()));
            if (visitCount >= 0 && !row.isNull(visitCount))
                item.setVisitCount(row.int64(visitCount));
            // Whole seconds: the fraction of a REAL visit time is dropped.
            addHistoryItemToStore(std::move(item), QVariant(row.int64(visitTime)));
            return true;
        });
        if (!complete) {
            setLastError(statement.errorMessage());
            return false;
        }
        return true;
    } catch (const std::exception& exception) {
        setLastError(QString::fromLocal8Bit(exception.what()));
        return false;
    }
}
