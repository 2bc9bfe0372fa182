// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogStoreDataReader.h"

#include <sqlite3.h>

#include <QStringList>

#include "DeviceTime.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"

namespace {

const QString kTable = QStringLiteral("ZCALLRECORD");
const QString kFaceTimeProvider = QStringLiteral("com.apple.FaceTime");
const QString kTelephonyProvider = QStringLiteral("com.apple.Telephony");

enum Column {
    Address,
    Date,
    Duration,
    Originated,
    Answered,
    FaceTimeData,
    CallType,
    ServiceProvider,
    ColumnCount
};

// The columns in Column order; those a file lacks are selected as NULL.
const char* const kColumns[ColumnCount] = {
    "ZADDRESS",  "ZDATE",           "ZDURATION", "ZORIGINATED",
    "ZANSWERED", "ZFACE_TIME_DATA", "ZCALLTYPE", "ZSERVICE_PROVIDER"};

} // namespace

QELCallLogStoreDataReader::QELCallLogStoreDataReader(const QString& callStoreDataPath,
                                                     const QString& contactsDbPath,
                                                     const QString& mobileSMSPlistPath)
    : QELCallLogReader(callStoreDataPath, contactsDbPath, mobileSMSPlistPath)
{
}

bool QELCallLogStoreDataReader::readCallTable(const QELSQLiteDatabase& db, const CallSink& sink,
                                              QString* error)
{
    sqlite3* handle = db.handle();
    bool has[ColumnCount] = {};
    QStringList selected;
    for (int column = 0; column < ColumnCount; ++column) {
        const QString name = QLatin1String(kColumns[column]);
        has[column] =
            QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kTable, name);
        selected << (has[column] ? name : QStringLiteral("NULL"));
    }
    if (!has[Address] || !has[Date]) {
        *error = QStringLiteral("the table ZCALLRECORD or its address or date column is missing");
        return false;
    }
    QELSQLiteStatement calls(handle,
                             QStringLiteral("SELECT %1 FROM ZCALLRECORD ORDER BY ROWID")
                                 .arg(selected.join(QStringLiteral(", "))));
    const bool read = calls.forEachRow([&](const QELSQLiteStatement& row) {
        QELCallLogEntryDetail call;
        // Earlier systems keep the address as a blob of its text; it is
        // decoded here, so nothing is written back into the copy.
        const QString address = row.columnType(Address) == SQLITE_BLOB
            ? QString::fromUtf8(row.blob(Address)).section(QChar(0), 0, 0)
            : row.text(Address);
        call.setAddress(address.trimmed());
        call.setDate(dateFromSeconds(row.real(Date), DeviceTime::kReferenceEpochUnixSeconds));
        call.setDuration(wholeSeconds(row.real(Duration)));
        const QString provider = row.text(ServiceProvider);
        const qint64 callType = row.int64(CallType);
        const bool faceTime = (has[FaceTimeData] && !row.isNull(FaceTimeData))
            || (has[CallType] && (callType == 8 || callType == 16))
            || provider == kFaceTimeProvider;
        int flags = row.int64(Originated) > 0 ? QELCallLogEntryDetail::Outgoing : 0;
        if (faceTime)
            flags |= QELCallLogEntryDetail::FaceTime;
        call.setFlags(flags);
        call.setAnswered(has[Answered] ? row.int64(Answered) != 0 : call.duration() > 0);
        if (!provider.isEmpty() && provider != kFaceTimeProvider && provider != kTelephonyProvider)
            call.setService(provider);
        else
            call.setService(faceTime ? QStringLiteral("FaceTime") : QStringLiteral("Phone"));
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
