// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaStore.h"

#include <algorithm>

#include <sqlite3.h>

#include <QFile>
#include <QSet>

#include "Log.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

const char* const kSchema =
    "CREATE TABLE TrackDetail (id INTEGER PRIMARY KEY, persistentID TEXT, trackName TEXT, artist TEXT,"
    " album TEXT, album_artist TEXT, genre TEXT, composer TEXT, path TEXT, duration INTEGER, fileSize INTEGER,"
    " bitRate INTEGER, trackNumber INTEGER, trackCount INTEGER, discNumber INTEGER, discCount INTEGER,"
    " year INTEGER, seasonNumber INTEGER, playCount INTEGER, userRating INTEGER, dateCreated REAL,"
    " datePlayed REAL, descriptionLong TEXT, descriptionShort TEXT, podcastShowURL TEXT, mediaKind INTEGER,"
    " kindID INTEGER, songID INTEGER, artworkId INTEGER, artworkPath TEXT, trackProtection INTEGER,"
    " hasVideo INTEGER, isPodcast INTEGER, isITunesU INTEGER, isTVShow INTEGER, isAudiobook INTEGER,"
    " isHomeVideo INTEGER, isICloudStreaming INTEGER, isAppleMusic INTEGER, isRingtone INTEGER,"
    " isVoiceMemo INTEGER);"
    "CREATE TABLE Playlist (id INTEGER PRIMARY KEY, name TEXT, sortName TEXT, containerPID TEXT,"
    " distinguishedKind INTEGER, isLibraryType INTEGER, isMaster INTEGER NOT NULL DEFAULT 0,"
    " isHidden INTEGER NOT NULL DEFAULT 0, isUserDefined INTEGER, isReportType INTEGER, smartIsGenius INTEGER,"
    " smartIsDynamic INTEGER, smartIsMix INTEGER, doesSmartRequireSorting INTEGER, playlistIcon BLOB,"
    " playlistImageRelativePath TEXT);"
    "CREATE TABLE PlaylistTrack (playlist INTEGER NOT NULL, track INTEGER NOT NULL);"
    "CREATE TABLE PlaylistOrder (id INTEGER PRIMARY KEY, containerPID TEXT, persistentID TEXT,"
    " \"index\" INTEGER, relationshipTrack INTEGER);";

void bindOptional(sqlite3_stmt* s, int i, const std::optional<qint64>& v)
{
    if (v)
        sqlite3_bind_int64(s, i, *v);
    else
        sqlite3_bind_null(s, i);
}

void bindFlag(sqlite3_stmt* s, int i, const std::optional<bool>& v)
{
    if (v)
        sqlite3_bind_int(s, i, *v ? 1 : 0);
    else
        sqlite3_bind_null(s, i);
}

void bindText(sqlite3_stmt* s, int i, const QString& v)
{
    if (v.isNull()) {
        sqlite3_bind_null(s, i);
        return;
    }
    const QByteArray utf8 = v.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void bindDate(sqlite3_stmt* s, int i, const QDateTime& v)
{
    // Seconds since 2001-01-01 UTC, as the device databases count them.
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    if (v.isValid())
        sqlite3_bind_double(s, i, static_cast<double>(epoch.msecsTo(v)) / 1000.0);
    else
        sqlite3_bind_null(s, i);
}

bool exec(sqlite3* db, const char* sql, QString* error)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

} // namespace

std::shared_ptr<QELMediaStore> QELMediaStore::open(const QString& filePath)
{
    assertNotOnGuiThread();
    std::shared_ptr<QELMediaStore> store(new QELMediaStore());
    QString error;
    if (!filePath.isEmpty() && store->setUpDatabase(filePath, &error)) {
        store->m_filePath = filePath;
        return store;
    }
    if (!filePath.isEmpty()) {
        qCWarning(lcOrvane).noquote() << QStringLiteral("_persistantStore nil: Error %1").arg(error);
        qCWarning(lcOrvane) << "Attempting NSInMemoryStoreType instead...";
    }
    if (store->setUpDatabase(QStringLiteral(":memory:"), &error)) {
        store->m_inMemory = true;
        store->m_filePath = filePath;
        return store;
    }
    qCWarning(lcOrvane).noquote() << QStringLiteral("_persistantStore nil: Error %1").arg(error.isEmpty() ? QStringLiteral("nil") : error);
    return nullptr;
}

QELMediaStore::~QELMediaStore() { close(); }

bool QELMediaStore::setUpDatabase(const QString& path, QString* error)
{
    sqlite3* db = nullptr;
    const QByteArray native = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return false;
    }
    // The store is rebuilt from the device at every connection: no journal.
    if (!exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", error) || !exec(db, kSchema, error)) {
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    return true;
}

TrackDetailPtr QELMediaStore::insertTrack()
{
    m_tracks.push_back(std::make_shared<TrackDetail>());
    return m_tracks.back();
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
    m_playlists.erase(std::remove(m_playlists.begin(), m_playlists.end(), playlist), m_playlists.end());
}

void QELMediaStore::indexNewTracks()
{
    for (; m_indexedTracks < m_tracks.size(); ++m_indexedTracks)
        m_positionsByID[m_tracks[m_indexedTracks]->persistentID].append(static_cast<int>(m_indexedTracks));
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

QList<PlaylistOrderPtr> QELMediaStore::ordersForContainer(const QString& containerPID) const
{
    QList<PlaylistOrderPtr> rows;
    for (const PlaylistOrderPtr& order : m_orders) {
        if (order->containerPID == containerPID)
            rows.append(order);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const PlaylistOrderPtr& a, const PlaylistOrderPtr& b) { return a->index < b->index; });
    return rows;
}

bool QELMediaStore::save(QString* error)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the store is closed");
        return false;
    }
    QString reason;
    if (!exec(m_db, "BEGIN; DELETE FROM PlaylistOrder; DELETE FROM PlaylistTrack; DELETE FROM Playlist;"
                    " DELETE FROM TrackDetail;", &reason)) {
        exec(m_db, "ROLLBACK", nullptr);
        if (error)
            *error = reason;
        return false;
    }
    bool ok = true;
    QHash<const TrackDetail*, qint64> rowOfTrack;
    rowOfTrack.reserve(static_cast<qsizetype>(m_tracks.size()));
    {
        QELSQLiteStatement insert(m_db, QStringLiteral(
            "INSERT INTO TrackDetail VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20,"
            "?21,?22,?23,?24,?25,?26,?27,?28,?29,?30,?31,?32,?33,?34,?35,?36,?37,?38,?39,?40,?41)"));
        ok = insert.isPrepared();
        sqlite3_stmt* s = insert.handle();
        qint64 row = 0;
        for (const TrackDetailPtr& t : m_tracks) {
            if (!ok)
                break;
            ++row;
            rowOfTrack.insert(t.get(), row);
            sqlite3_bind_int64(s, 1, row);
            bindText(s, 2, t->persistentID);
            bindText(s, 3, t->trackName);
            bindText(s, 4, t->artist);
            bindText(s, 5, t->album);
            bindText(s, 6, t->album_artist);
            bindText(s, 7, t->genre);
            bindText(s, 8, t->composer);
            bindText(s, 9, t->path);
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
            bindText(s, 23, t->descriptionLong);
            bindText(s, 24, t->descriptionShort);
            bindText(s, 25, t->podcastShowURL);
            bindOptional(s, 26, t->mediaKind);
            bindOptional(s, 27, t->kindID);
            bindOptional(s, 28, t->songID);
            bindOptional(s, 29, t->artworkId);
            bindText(s, 30, t->artworkPath);
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
            ok = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
        }
    }
    if (ok) {
        QELSQLiteStatement insert(m_db, QStringLiteral(
            "INSERT INTO Playlist VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)"));
        QELSQLiteStatement member(m_db, QStringLiteral("INSERT INTO PlaylistTrack VALUES (?1,?2)"));
        ok = insert.isPrepared() && member.isPrepared();
        sqlite3_stmt* s = insert.handle();
        qint64 row = 0;
        for (const PlaylistPtr& p : m_playlists) {
            if (!ok)
                break;
            ++row;
            sqlite3_bind_int64(s, 1, row);
            bindText(s, 2, p->name);
            bindText(s, 3, p->sortName);
            bindText(s, 4, p->containerPID);
            bindOptional(s, 5, p->distinguishedKind);
            bindFlag(s, 6, p->isLibraryType);
            sqlite3_bind_int(s, 7, p->isMaster ? 1 : 0);
            sqlite3_bind_int(s, 8, p->isHidden ? 1 : 0);
            bindFlag(s, 9, p->isUserDefined);
            bindFlag(s, 10, p->isReportType);
            bindFlag(s, 11, p->smartIsGenius);
            bindFlag(s, 12, p->smartIsDynamic);
            bindFlag(s, 13, p->smartIsMix);
            bindFlag(s, 14, p->doesSmartRequireSorting);
            if (p->playlistIcon.isEmpty())
                sqlite3_bind_null(s, 15);
            else
                sqlite3_bind_blob(s, 15, p->playlistIcon.constData(), static_cast<int>(p->playlistIcon.size()), SQLITE_TRANSIENT);
            bindText(s, 16, p->playlistImageRelativePath);
            ok = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
            for (const TrackDetailPtr& t : p->tracks()) {
                if (!ok)
                    break;
                member.bindInt64(1, row);
                member.bindInt64(2, rowOfTrack.value(t.get()));
                ok = sqlite3_step(member.handle()) == SQLITE_DONE;
                sqlite3_reset(member.handle());
            }
        }
    }
    if (ok) {
        QELSQLiteStatement insert(m_db, QStringLiteral("INSERT INTO PlaylistOrder VALUES (?1,?2,?3,?4,?5)"));
        ok = insert.isPrepared();
        sqlite3_stmt* s = insert.handle();
        qint64 row = 0;
        for (const PlaylistOrderPtr& o : m_orders) {
            if (!ok)
                break;
            sqlite3_bind_int64(s, 1, ++row);
            bindText(s, 2, o->containerPID);
            bindText(s, 3, o->persistentID);
            sqlite3_bind_int64(s, 4, o->index);
            if (o->relationshipTrack && rowOfTrack.contains(o->relationshipTrack.get()))
                sqlite3_bind_int64(s, 5, rowOfTrack.value(o->relationshipTrack.get()));
            else
                sqlite3_bind_null(s, 5);
            ok = sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
        }
    }
    if (!ok) {
        reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        exec(m_db, "ROLLBACK", nullptr);
        if (error)
            *error = reason;
        return false;
    }
    if (!exec(m_db, "COMMIT", &reason)) {
        exec(m_db, "ROLLBACK", nullptr);
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

void QELMediaStore::close()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}
