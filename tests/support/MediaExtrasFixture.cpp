// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaExtrasFixture.h"

#include <QVariantMap>

#include "Plist.h"
#include "SQLiteFixtureWriter.h"

namespace MediaExtrasFixture {

bool writeRingtones(const QString& path, const QList<Ringtone>& ringtones)
{
    QVariantMap entries;
    for (const Ringtone& r : ringtones) {
        QVariantMap entry;
        if (!r.guid.isNull())
            entry.insert(QStringLiteral("GUID"), r.guid);
        entry.insert(QStringLiteral("Name"), r.name);
        entry.insert(QStringLiteral("Artist"), r.artist);
        entry.insert(QStringLiteral("Album"), r.album);
        entry.insert(QStringLiteral("Total Time"), r.totalTimeMs);
        entries.insert(r.fileName, entry);
    }
    return Plist::writeFile(path, QVariantMap{{QStringLiteral("Ringtones"), entries}}, Plist::Format::Xml);
}

bool writeRecordings(const QString& path, const QList<Recording>& recordings, bool withIDColumn)
{
    SQLiteFixtureWriter db(path);
    db.exec(QStringLiteral("CREATE TABLE ZRECORDING (Z_PK INTEGER PRIMARY KEY, ZPATH VARCHAR, ZDURATION FLOAT,"
                           " ZCUSTOMLABEL VARCHAR, ZDATE TIMESTAMP%1)")
                .arg(withIDColumn ? QStringLiteral(", ZITUNESPERSISTENTID INTEGER") : QString()));
    for (const Recording& r : recordings) {
        QVariantList values = {r.path, r.durationSeconds, r.label.isNull() ? QVariant() : QVariant(r.label), r.date};
        if (withIDColumn)
            values << (r.persistentID ? QVariant(*r.persistentID) : QVariant());
        db.run(withIDColumn ? QStringLiteral("INSERT INTO ZRECORDING (ZPATH, ZDURATION, ZCUSTOMLABEL, ZDATE, ZITUNESPERSISTENTID) VALUES (?,?,?,?,?)")
                            : QStringLiteral("INSERT INTO ZRECORDING (ZPATH, ZDURATION, ZCUSTOMLABEL, ZDATE) VALUES (?,?,?,?)"),
               values);
    }
    return db.commit();
}

bool writeStorePurchases(const QString& path, const QList<Purchase>& purchases)
{
    QVariantList assets;
    for (const Purchase& p : purchases) {
        QVariantMap asset;
        if (!p.media.isNull())
            asset.insert(QStringLiteral("relativeMediaAssetPath"), p.media);
        if (!p.artwork.isNull())
            asset.insert(QStringLiteral("relativeArtworkAssetPath"), p.artwork);
        assets.append(asset);
    }
    const QByteArray inner = Plist::serialize(QVariantMap{{QStringLiteral("assetOrdering"), assets}}, Plist::Format::Binary);
    return Plist::writeFile(path, QVariantMap{{QStringLiteral("data"), inner}}, Plist::Format::Binary);
}

} // namespace MediaExtrasFixture
