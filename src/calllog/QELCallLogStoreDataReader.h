// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELCallLogReader.h"

// The call history of later systems: the store "CallHistory.storedata",
// table ZCALLRECORD, dates in seconds since 2001. Its columns changed over
// the systems: ZADDRESS was a blob of the address's text before it became
// text, and FaceTime is marked by ZFACE_TIME_DATA, ZCALLTYPE (8 video,
// 16 audio) or ZSERVICE_PROVIDER, whichever the file has.
class QELCallLogStoreDataReader : public QELCallLogReader {
public:
    QELCallLogStoreDataReader(const QString& callStoreDataPath, const QString& contactsDbPath,
                              const QString& mobileSMSPlistPath);

protected:
    bool readCallTable(const QELSQLiteDatabase& db, const CallSink& sink, QString* error) override;
};
