// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// The small files beside the media database: Ringtones.plist, Recordings.db
// and StorePurchasesInfo.plist (with its nested property list).
namespace MediaExtrasFixture {

struct Ringtone {
    QString fileName;
    QString guid;            // null: the entry has no GUID
    QString name;
    QString artist;
    QString album;
    qint64 totalTimeMs = 0;
};
bool writeRingtones(const QString& path, const QList<Ringtone>& ringtones);

struct Recording {
    QString path;                       // ZPATH
    double durationSeconds = 0;         // ZDURATION
    QString label;                      // ZCUSTOMLABEL; null is NULL
    double date = 0;                    // ZDATE, seconds since 2001
    std::optional<qint64> persistentID; // ZITUNESPERSISTENTID
};
// `withIDColumn` false leaves out the ZITUNESPERSISTENTID column.
bool writeRecordings(const QString& path, const QList<Recording>& recordings, bool withIDColumn = true);

struct Purchase {
    QString media;     // null: key left out
    QString artwork;   // null: key left out
};
bool writeStorePurchases(const QString& path, const QList<Purchase>& purchases);

} // namespace MediaExtrasFixture
