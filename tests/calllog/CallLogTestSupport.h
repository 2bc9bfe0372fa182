// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include "CallHistoryFixture.h"

// Calls described once and written in either generation of the call history.
namespace CallLogTest {

enum class Generation {
    CallHistoryDb, // call_history.db, Unix dates, flags as stored
    StoreWithTextAddress,
    StoreWithBlobAddress, // ZADDRESS declared BLOB, no ZANSWERED
    StoreOfLaterSystems,  // no ZFACE_TIME_DATA: ZCALLTYPE and ZSERVICE_PROVIDER mark FaceTime
    StoreWithCallsInWal,  // the last two calls only in the "-wal" companion
};

struct Call {
    QString address;
    QDateTime date;
    qint64 duration = 0;
    bool outgoing = false;
    bool faceTime = false;
};

inline QDateTime utc(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

// Writes the calls as `generation` keeps them into `folder`; answers the
// file's path (its name as the backup names it).
inline QString writeHistory(Generation generation, const QString& folder, const QList<Call>& calls)
{
    using namespace CallHistoryFixture;
    if (generation == Generation::CallHistoryDb) {
        QList<OldCall> rows;
        for (const Call& call : calls)
            rows.append({call.address.isNull() ? QVariant() : QVariant(call.address),
                         call.date.toSecsSinceEpoch(), call.duration,
                         4 | (call.outgoing ? 1 : 0) | (call.faceTime ? 16 : 0)});
        const QString path = folder + QStringLiteral("/call_history.db");
        return writeCallHistoryDb(path, rows) ? path : QString();
    }
    StoreSchema schema;
    schema.addressIsBlob = generation == Generation::StoreWithBlobAddress;
    schema.answered = generation != Generation::StoreWithBlobAddress;
    schema.faceTimeData = generation != Generation::StoreOfLaterSystems;
    schema.callType = schema.serviceProvider = generation == Generation::StoreOfLaterSystems;
    schema.callsInWal = generation == Generation::StoreWithCallsInWal ? 2 : 0;
    QList<StoreCall> rows;
    for (const Call& call : calls) {
        StoreCall row;
        row.address = call.address;
        row.date = double(call.date.toSecsSinceEpoch() - 978307200) + 0.75;
        row.duration = double(call.duration) + 0.5;
        row.originated = call.outgoing ? 1 : 0;
        row.answered = call.duration > 0 ? 1 : 0;
        if (call.faceTime)
            row.faceTimeData = QByteArray("\x01\x02", 2);
        row.callType = call.faceTime ? 8 : 1;
        row.serviceProvider = call.faceTime ? QStringLiteral("com.apple.FaceTime")
                                            : QStringLiteral("com.apple.Telephony");
        rows.append(row);
    }
    const QString path = folder + QStringLiteral("/CallHistory.storedata");
    return writeCallHistoryStore(path, schema, rows) ? path : QString();
}

inline const char* generationName(Generation generation)
{
    switch (generation) {
    case Generation::CallHistoryDb:
        return "CallHistoryDb";
    case Generation::StoreWithTextAddress:
        return "StoreWithTextAddress";
    case Generation::StoreWithBlobAddress:
        return "StoreWithBlobAddress";
    case Generation::StoreOfLaterSystems:
        return "StoreOfLaterSystems";
    case Generation::StoreWithCallsInWal:
        return "StoreWithCallsInWal";
    }
    return "?";
}

} // namespace CallLogTest
