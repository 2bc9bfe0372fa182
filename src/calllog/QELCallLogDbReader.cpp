// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogDbReader.h"

#include <sqlite3.h>

#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"

namespace {

const QString kTable = QStringLiteral("call");

QString columnOrNull(sqlite3* db, const QString& column)
{
    return QELSQLiteHelper::columnOrNull(db, kTable, column);
}

} // namespace

QELCallLogDbReader::QELCallLogDbReader(const QString& callLogDbPath, const QString& contactsDbPath,
                                       const QString& mobileSMSPlistPath)
    : QELCallLogReader(callLogDbPath, contactsDbPath, mobileSMSPlistPath)
{
}

bool QELCallLogDbReader::readCallTable(const QELSQLiteDatabase& db, const CallSink& sink,
                                       QString* error)
{
    sqlite3* handle = db.handle();
    for (const char* column : {"address", "date"}) {
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kTable,
                                                                      QLatin1String(column))) {
            *error = QStringLiteral("the table \"call\" or its column \"%1\" is missing")
                         .arg(QLatin1String(column));
            return false;
        }
    }
    QELSQLiteStatement calls(handle,
                             QStringLiteral("SELECT address, date, %1, %2 FROM call ORDER BY ROWID")
                                 .arg(columnOrNull(handle, QStringLiteral("duration")),
                                      columnOrNull(handle, QStringLiteral("flags"))));
    const bool read = calls.forEachRow([&](const QELSQLiteStatement& row) {
        QELCallLogEntryDetail call;
        // Some systems keep the number as a blob of its text.
        const QString address = row.columnType(0) == SQLITE_BLOB
            ? QString::fromUtf8(row.blob(0)).section(QChar(0), 0, 0)
            : row.text(0);
        call.setAddress(address.trimmed());
        // This generation counts Unix time, unlike the later store.
        call.setDate(dateFromSeconds(row.real(1), 0));
        call.setDuration(wholeSeconds(row.real(2)));
        call.setFlags(int(row.int64(3)));
        call.setAnswered(call.duration() > 0);
        call.setService(call.isFaceTime() ? QStringLiteral("FaceTime") : QStringLiteral("Phone"));
        sink(std::move(call));
        return true;
    });
    if (!read) {
        *error = calls.errorMessage();
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("the calls could not be read"),
                                               *error);
    }
    return read;
}
