// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELCallLogReader.h"

// The call history of older systems: "call_history.db", table "call", dates
// in Unix seconds, the flags as stored (1 outgoing, 16 FaceTime).
class QELCallLogDbReader : public QELCallLogReader {
public:
    QELCallLogDbReader(const QString& callLogDbPath, const QString& contactsDbPath,
                       const QString& mobileSMSPlistPath);

protected:
    bool readCallTable(const QELSQLiteDatabase& db, const CallSink& sink, QString* error) override;
};
