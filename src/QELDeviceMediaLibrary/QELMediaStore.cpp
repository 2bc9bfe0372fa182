// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaStore.h"

#include <algorithm>

#include <QSet>

#include "DeviceTime.h"
#include "Log.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteTransaction.h"
#include "ThreadCheck.h"

namespace {

// One statement for each table; the store file is deleted before every read,
// so the tables are always made afresh.
const char* const kSchema[] = {
    "CREATE TABLE TrackDetail (id INTEGER PRIMARY KEY, persistentID TEXT, trackName TEXT, artist "
    "TEXT,"
    " album TEXT, album_artist TEXT, genre TEXT, composer TEXT, path TEXT, duration INTEGER, "
    "fileSize INTEGER,"
    " bitRate INTEGER, trackNumber INTEGER, trackCount INTEGER, discNumber INTEGER, discCount "
    "INTEGER,"
    " year INTEGER, seasonNumber INTEGER, playCount INTEGER, userRating INTEGER, dateCreated REAL,"
    " datePlayed REAL, descriptionLong TEXT, descriptionShort TEXT, podcastShowURL TEXT, mediaKind "
    "INTEGER,"
    " kindID INTEGER, songID INTEGER, artworkId INTEGER, artworkPath TEXT, trackProtection INTEGER,"
    " hasVideo INTEGER, isPodcast INTEGER, isITunesU INTEGER, isTVShow INTEGER, isAudiobook "
    "INTEGER,"
    " isHomeVideo INTEGER, isICloudStreaming INTEGER, isAppleMusic INTEGER, isRingtone INTEGER,"
    " isVoiceMemo INTEGER)",
    "CREATE TABLE Playlist (id INTEGER PRIMARY KEY, name TEXT, sortName TEXT, containerPID TEXT,"
    " distinguishedKind INTEGER, isLibraryType INTEGER, isMaster INTEGER NOT NULL DEFAULT 0,"
    " isHidden INTEGER NOT NULL DEFAULT 0, isUserDefined INTEGER, isReportType INTEGER, "
    "smartIsGenius INTEGER,"
    " smartIsDynamic INTEGER, smartIsMix INTEGER, doesSmartRequireSorting INTEGER, playlistIcon "
    "BLOB,"
    " playlistImageRelativePath TEXT)",
    "CREATE TABLE PlaylistTrack (playlist INTEGER NOT NULL, track INTEGER NOT NULL)",
    "CREATE TABLE PlaylistOrder (id INTEGER PRIMARY KEY, containerPID TEXT, persistentID TEXT,"
    " \"index\" INTEGER, relationshipTrack INTEGER)",
};

void bindOptional(QELSQLiteStatement& s, int i, const std::optional<qint64>& v)
{
    if (v)
        s.bindInt64(i, *v);
    else
        s.bindNull(i);
}

void bindFlag(QELSQLiteStatement& s, int i, const std::optional<bool>& v)
{
    if (v)
        s.bindInt64(i, *v ? 1 : 0);
    else
        s.bindNull(i);
}

void bindDate(QELSQLiteStatement& s, int i, const QDateTime& v)
{
    // Seconds since 2001-01-01 UTC, as the device databases count them.
    if (v.isValid())
        s.bindDouble(i, DeviceTime::toReferenceSeconds(v));
    else
        s.bindNull(i);
}

} // namespace

std::shared_ptr<QELMediaStore> QELMediaStore::open(const QString& filePath)
{
    assertNotOnGuiThread();
    std::shared_ptr<QELMediaStore> store(new QELMediaStore());
    if (!store->openStore(filePath))
        return nullptr;
    return store;
}

QELMediaStore::~QELMediaStore() { close(); }

QStringList QELMediaStore::schemaStatements() const
{
    QStringList statements;
    for (const char* statement : kSchema)
        statements.append(QString::fromLatin1(statement));
    return statements;
}

TrackDetailPtr QELMediaStore::insertTrack()
{
    m_tracks.push_back(std::make_shared<TrackDetail>());
    return m_tracks.back();
}

void QELMediaStore::addTracks(const QList<TrackDetailPtr>& tracks)
{
    m_tracks.insert(m_tracks.end(), tracks.begin(), tracks.end());
}

PlaylistPtr QELMediaStore::insertPlaylist()
{
    m_playlists.push_back(std::make_shared<Playlist>());
    return m_playlists.back();
}

PlaylistOrderPtr QELMediaStore::insertPlaylistOrder()
{
    m_orders.push_back(std::make_shared<PlaylistOrder>());
    return m_orders.back();
}

void QELMediaStore::deletePlaylist(const PlaylistPtr& playlist)
{
    m_playlists.erase(std::remove(m_playlists.begin(), m_playlists.end(), playlist),
                      m_playlists.end());
}

void QELMediaStore::indexNewTracks()
{
    for (; m_indexedTracks < m_tracks.size(); ++m_indexedTracks)
        m_positionsByID[m_tracks[m_indexedTracks]->persistentID].append(
            static_cast<int>(m_indexedTracks));
}

QList<TrackDetailPtr> QELMediaStore::tracksWithPersistentIDs(const QStringList& ids)
{
    indexNewTracks();
    std::vector<int> positions;
    positions.reserve(static_cast<size_t>(ids.size()));
    for (const QString& id : ids) {
        auto it = m_positionsByID.constFind(id);
        if (it != m_positionsByID.constEnd())
            positions.insert(positions.end(), it->begin(), it->end());
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    QList<TrackDetailPtr> result;
    result.reserve(static_cast<qsizetype>(positions.size()));
    for (int position : positions)
        result.append(m_tracks[static_cast<size_t>(position)]);
    return result;
}

TrackDetailPtr QELMediaStore::firstTrackWithPersistentID(const QString& id)
{
    indexNewTracks();
    auto it = m_positionsByID.constFind(id);
    if (it == m_positionsByID.constEnd() || it->isEmpty())
        return nullptr;
    return m_tracks[static_cast<size_t>(it->first())];
}

void QELMediaStore::indexNewOrders() const
{
    for (; m_indexedOrders < m_orders.size(); ++m_indexedOrders) {
        const PlaylistOrderPtr& order = m_orders[m_indexedOrders];
        m_ordersByContainer[order->containerPID].append(order);
    }
}

QList<PlaylistOrderPtr> QELMediaStore::ordersForContainer(const QString& containerPID) const
{
    indexNewOrders();
    auto it = m_ordersByContainer.find(containerPID);
    if (it == m_ordersByContainer.end())
        return {};
    // Sorted in place once; readers add a playlist's rows in their order, so
    // this is usually a check.
    const auto byIndex = [](const PlaylistOrderPtr& a, const PlaylistOrderPtr& b) {
        return a->index < b->index;
    };
    if (!std::is_sorted(it->begin(), it->end(), byIndex))
        std::stable_sort(it->begin(), it->end(), byIndex);
    return *it;
}

bool QELMediaStore::save(QString* error)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(lock());
    sqlite3* db = handle();
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!db)
        return fail(QStringLiteral("the store is closed"));
    QELSQLiteTransaction transaction(db);
    if (!transaction.isActive())
        return fail(transaction.error());
    QString reason;
    for (const char* table : {"PlaylistOrder", "PlaylistTrack", "Playlist", "TrackDetail"}) {
        if (!run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, &reason))
            return fail(reason);
    }
    bool ok = true;
    QHash<const TrackDetail*, qint64> rowOfTrack;
    rowOfTrack.reserve(static_cast<qsizetype>(m_tracks.size()));
    {
        QELSQLiteStatement s = prepare(QStringLiteral(
            "INSERT INTO TrackDetail VALUES "
            "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20,"
            "?21,?22,?23,?24,?25,?26,?27,?28,?29,?30,?31,?32,?33,?34,?35,?36,?37,?38,?39,?40,?"
            "41)"));
        ok = s.isPrepared();
        qint64 row = 0;
        for (const TrackDetailPtr& t : m_tracks) {
            if (!ok)
                break;
            ++row;
            rowOfTrack.insert(t.get(), row);
            s.bindInt64(1, row);
            s.bindText(2, t->persistentID);
            s.bindText(3, t->trackName);
            s.bindText(4, t->artist);
            s.bindText(5, t->album);
            s.bindText(6, t->album_artist);
            s.bindText(7, t->genre);
            s.bindText(8, t->composer);
            s.bindText(9, t->path);
            bindOptional(s, 10, t->duration);
            bindOptional(s, 11, t->fileSize);
            bindOptional(s, 12, t->bitRate);
            bindOptional(s, 13, t->trackNumber);
            bindOptional(s, 14, t->trackCount);
            bindOptional(s, 15, t->discNumber);
            bindOptional(s, 16, t->discCount);
            bindOptional(s, 17, t->year);
            bindOptional(s, 18, t->seasonNumber);
            bindOptional(s, 19, t->playCount);
            bindOptional(s, 20, t->userRating);
            bindDate(s, 21, t->dateCreated);
            bindDate(s, 22, t->datePlayed);
            s.bindText(23, t->descriptionLong);
            s.bindText(24, t->descriptionShort);
            s.bindText(25, t->podcastShowURL);
            bindOptional(s, 26, t->mediaKind);
            bindOptional(s, 27, t->kindID);
            bindOptional(s, 28, t->songID);
            bindOptional(s, 29, t->artworkId);
            s.bindText(30, t->artworkPath);
            bindOptional(s, 31, t->trackProtection);
            bindFlag(s, 32, t->hasVideo);
            bindFlag(s, 33, t->isPodcast);
            bindFlag(s, 34, t->isITunesU);
            bindFlag(s, 35, t->isTVShow);
            bindFlag(s, 36, t->isAudiobook);
            bindFlag(s, 37, t->isHomeVideo);
            bindFlag(s, 38, t->isICloudStreaming);
            bindFlag(s, 39, t->isAppleMusic);
            bindFlag(s, 40, t->isRingtone);
            bindFlag(s, 41, t->isVoiceMemo);
            ok = s.execute();
        }
    }
    if (ok) {
        QELSQLiteStatement s =
            prepare(QStringLiteral("INSERT INTO Playlist VALUES "
                                   "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)"));
        QELSQLiteStatement member =
            prepare(QStringLiteral("INSERT INTO PlaylistTrack VALUES (?1,?2)"));
        ok = s.isPrepared() && member.isPrepared();
        qint64 row = 0;
        for (const PlaylistPtr& p : m_playlists) {
            if (!ok)
                break;
            ++row;
            s.bindInt64(1, row);
            s.bindText(2, p->name);
            s.bindText(3, p->sortName);
            s.bindText(4, p->containerPID);
            bindOptional(s, 5, p->distinguishedKind);
            bindFlag(s, 6, p->isLibraryType);
            s.bindInt64(7, p->isMaster ? 1 : 0);
            s.bindInt64(8, p->isHidden ? 1 : 0);
            bindFlag(s, 9, p->isUserDefined);
            bindFlag(s, 10, p->isReportType);
            bindFlag(s, 11, p->smartIsGenius);
            bindFlag(s, 12, p->smartIsDynamic);
            bindFlag(s, 13, p->smartIsMix);
            bindFlag(s, 14, p->doesSmartRequireSorting);
            if (p->playlistIcon.isEmpty())
                s.bindNull(15);
            else
                s.bindBlob(15, p->playlistIcon);
            s.bindText(16, p->playlistImageRelativePath);
            ok = s.execute();
            for (const TrackDetailPtr& t : p->tracks()) {
                if (!ok)
                    break;
                member.bindInt64(1, row);
                member.bindInt64(2, rowOfTrack.value(t.get()));
                ok = member.execute();
            }
        }
    }
    if (ok) {
        QELSQLiteStatement s =
            prepare(QStringLiteral("INSERT INTO PlaylistOrder VALUES (?1,?2,?3,?4,?5)"));
        ok = s.isPrepared();
        qint64 row = 0;
        for (const PlaylistOrderPtr& o : m_orders) {
            if (!ok)
                break;
            s.bindInt64(1, ++row);
            s.bindText(2, o->containerPID);
            s.bindText(3, o->persistentID);
            s.bindInt64(4, o->index);
            if (o->relationshipTrack && rowOfTrack.contains(o->relationshipTrack.get()))
                s.bindInt64(5, rowOfTrack.value(o->relationshipTrack.get()));
            else
                s.bindNull(5);
            ok = s.execute();
        }
    }
    if (!ok)
        return fail(lastError());
    if (!transaction.commit())
        return fail(transaction.error());
    return true;
}
