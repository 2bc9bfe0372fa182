// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"

#include <algorithm>

#include <sqlite3.h>

#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELDeviceMediaLibrary.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

bool hasColumn(sqlite3* db, const char* table, const char* column)
{
    return QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, QString::fromLatin1(table),
                                                                    QString::fromLatin1(column));
}

bool hasTable(sqlite3* db, const char* table)
{
    return QELSQLiteHelper::doesDatabaseContainTable(db, QString::fromLatin1(table));
}

QString suffixOf(const QString& path) { return QFileInfo(path).suffix(); }

// No real field comes near this: a longer text (a hostile or damaged row) is
// cut, with a mark, so one record cannot bring megabytes.
constexpr qsizetype kMaxFieldChars = 64 * 1024;

QString cappedText(const QELSQLiteStatement& row, int column)
{
    QString text = row.text(column);
    if (text.size() > kMaxFieldChars) {
        text.truncate(kMaxFieldChars);
        text.append(QChar(0x2026));
    }
    return text;
}

const QString kBaseItemQuery = QStringLiteral(
    "SELECT i.item_pid, ie.title, ia.item_artist, a.album, g.genre, aa.album_artist, "
    "c.composer,i.track_number,"
    " ie.track_count, ie.is_compilation, ie.is_podcast, ie.is_itunes_u, ie.year, "
    "ie.total_time_ms,ie.media_kind,"
    "i.disc_number, ie.disc_count, ie.file_size, ie.bit_rate, ie.date_created, ie.description,"
    " ie.description_long, bl.path, ie.location, ie.artwork_cache_id, ist.date_played, "
    "ist.play_count_user,"
    " ist.user_rating FROM item i JOIN item_extra ie ON i.item_pid=ie.item_pid  LEFT OUTER JOIN "
    "album_artist aa"
    " ON aa.album_artist_pid=i.album_artist_pid LEFT OUTER JOIN item_artist ia ON"
    " ia.item_artist_pid=i.item_artist_pid LEFT OUTER JOIN album a ON i.album_pid=a.album_pid LEFT "
    "OUTER JOIN"
    " genre g ON i.genre_id=g.genre_id LEFT OUTER JOIN composer c ON c.composer_pid=i.composer_pid "
    "JOIN"
    " base_location bl ON i.base_location_id=bl.base_location_id JOIN item_stats ist ON "
    "ist.item_pid=i.item_pid ");

} // namespace

QString QELMediaLibraryMediaLibrarySQLiteDBReader::itemQueryForDatabase(sqlite3* db,
                                                                        bool* groupsByArtwork)
{
    QString query = kBaseItemQuery;
    if (!hasColumn(db, "item_extra", "is_podcast"))
        query.replace(QStringLiteral(" ie.is_podcast,"),
                      hasColumn(db, "item", "is_podcast") ? QStringLiteral(" i.is_podcast,")
                                                          : QStringLiteral(" "));
    if (!hasColumn(db, "item_extra", "is_itunes_u"))
        query.replace(QStringLiteral(" ie.is_itunes_u,"),
                      hasColumn(db, "item", "is_itunes_u") ? QStringLiteral(" i.is_itunes_u,")
                                                           : QStringLiteral(" "));
    if (hasColumn(db, "item_extra", "is_audible_audio_book"))
        query.replace(QStringLiteral(" ie.year,"),
                      QStringLiteral(" ie.year, ie.is_audible_audio_book, "));
    if (hasColumn(db, "item_playback", "bit_rate")) {
        query.replace(QStringLiteral(" ie.bit_rate,"), QStringLiteral(" ip.bit_rate,"));
        query.append(QStringLiteral(" LEFT OUTER JOIN item_playback ip ON ip.item_pid=i.item_pid"));
    }
    if (!hasColumn(db, "item_extra", "artwork_cache_id"))
        query.replace(QStringLiteral(", ie.artwork_cache_id"), QString());
    // Both artwork schemes join under the alias "art" and select the same
    // column; a database that has both would not prepare, so the newer
    // artwork_token scheme is the only one used when its tables are there.
    const bool tokenArtwork = hasTable(db, "artwork_token") && hasTable(db, "best_artwork_token")
        && hasTable(db, "artwork");
    const bool itemArtwork =
        !tokenArtwork && hasTable(db, "item_artwork") && hasTable(db, "artwork");
    if (itemArtwork) {
        // An item may have several item_artwork rows or none. The group is the
        // item's own id, and max() both skips the NULL of a missing artwork row
        // and, in SQLite, takes the other columns from the row it picks.
        query.replace(QStringLiteral(" FROM"),
                      QStringLiteral(", max(art.relative_path) AS artwork_relative_path FROM"));
        query.append(QStringLiteral(
            " LEFT OUTER JOIN item_artwork iart ON iart.item_pid=i.item_pid LEFT OUTER JOIN"
            " artwork art ON art.artwork_token = iart.best_artwork_token "));
    }
    if (!hasColumn(db, "item_extra", "is_compilation"))
        query.replace(QStringLiteral("ie.is_compilation"), QStringLiteral("i.is_compilation"));
    if (!hasColumn(db, "item_extra", "date_created"))
        query.replace(QStringLiteral("ie.date_created"), QStringLiteral("i.date_added"));
    if (hasColumn(db, "item_store", "is_protected")) {
        query.replace(QStringLiteral(" FROM"),
                      QStringLiteral(", store.is_protected, store.feed_url FROM "));
        query.append(
            QStringLiteral(" LEFT OUTER JOIN item_store store ON store.item_pid=i.item_pid "));
    }
    if (tokenArtwork) {
        query.replace(QStringLiteral(" FROM"),
                      QStringLiteral(", art.relative_path AS artwork_relative_path FROM "));
        query.append(QStringLiteral(
            " LEFT OUTER JOIN best_artwork_token bat ON i.item_pid=bat.entity_pid AND"
            " bat.artwork_type ==1 LEFT OUTER JOIN artwork art ON"
            " bat.available_artwork_token=art.artwork_token "));
    }
    // A left join: where only videos have an item_video row, an inner join
    // would drop every other track.
    if (hasTable(db, "item_video")) {
        query.replace(QStringLiteral(" FROM"), QStringLiteral(", iv.season_number FROM "));
        query.append(QStringLiteral(" LEFT OUTER JOIN item_video iv ON iv.item_pid=i.item_pid "));
    }
    if (itemArtwork)
        query.append(QStringLiteral(" GROUP BY i.item_pid"));
    if (groupsByArtwork)
        *groupsByArtwork = itemArtwork;
    return query;
}

bool QELMediaLibraryMediaLibrarySQLiteDBReader::readMediaLibrary()
{
    assertNotOnGuiThread();
    qCInfo(lcOrvane) << "Using QELMediaLibraryMediaLibrarySQLiteDBReader";
    _fireReadProgressEventWithInfo(L("LOADINGLIBRARIES"));
    if (_libraryDirectory.isEmpty()) {
        qCWarning(lcOrvane)
            << "QELMediaLibraryMediaLibrarySQLiteDBReader: _libraryDirectory = nill";
        return false;
    }
    _fireReadProgressEventWithInfo(L("OPENINGLIBRARYFILES"));
    const QString dbPath = _libraryDirectory + QLatin1Char('/') + m_filePath;
    if (m_filePath.isEmpty() || !QFileInfo(dbPath).isFile()) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral(
                   "QELMediaLibraryMediaLibrarySQLiteDBReader : dbLibrarypath %1 not exist")
                   .arg(dbPath);
        noteFailure(QStringLiteral("the file is not there"));
        return false;
    }
    int openCode = 0;
    QString openError;
    QELSQLiteDatabase database = QELSQLiteDatabase::openCopyReadOnly(dbPath, &openError, &openCode);
    if (!database.isOpen()) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral(
                   "QELMediaLibraryMediaLibrarySQLiteDBReader : open Sqlite Db Fail with code %1")
                   .arg(openCode)
            << openError;
        noteFailure(QStringLiteral("not a readable SQLite database (%1)").arg(openError));
        // A file that is there but holds no readable database fails as its
        // first query would, with the read's failure sent.
        if (openCode != SQLITE_CANTOPEN)
            _fireReadCompleteEventWithSuccessAndErrorInformation(
                false, QStringLiteral("SQLiteDBRead return code error : %1").arg(openCode));
        return false;
    }
    sqlite3* db = database.handle();
    _fireReadProgressEventWithInfo(L("READINGMEDIALIBRARY"));

    // A query that does not prepare, or rows that end in an error (a damaged
    // page), fail the read rather than show a library with gaps.
    auto failRead = [this, &database](int code) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral(
                   "QELMediaLibraryMediaLibrarySQLiteDBReader : Sqlite DB read error code : %1")
                   .arg(code)
            << database.lastError();
        // "no such table: item", "no such column: …", "database disk image is malformed"
        noteFailure(database.lastError());
        _fireReadCompleteEventWithSuccessAndErrorInformation(
            false, QStringLiteral("SQLiteDBRead return code error : %1").arg(code));
        return false;
    };

    if (QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("location_kind_map"))) {
        _kinds.clear();
        QELSQLiteStatement kinds(db, QStringLiteral("SELECT kind from location_kind_map"));
        const bool read = kinds.forEachRow([this](const QELSQLiteStatement& row) {
            _kinds.insert(row.text(0).isNull() ? QStringLiteral("(null)") : row.text(0));
            return true;
        });
        if (!read)
            return failRead(kinds.lastStepCode());
    }

    {
        // Every track becomes an object in memory: a library far beyond any
        // real one is refused with its size, not read until memory runs out.
        QELSQLiteStatement count(db, QStringLiteral("SELECT count(*) FROM item"));
        if (count.step() && count.int64(0) > m_maxTracks) {
            const QString why = QStringLiteral("the library holds %1 items, more than the %2 this "
                                               "program reads: it is too large")
                                    .arg(count.int64(0))
                                    .arg(m_maxTracks);
            qCWarning(lcOrvane).noquote() << "QELMediaLibraryMediaLibrarySQLiteDBReader :" << why;
            noteFailure(why);
            _fireReadCompleteEventWithSuccessAndErrorInformation(false, why);
            return false;
        }
    }
    const QString query = itemQueryForDatabase(db);
    QELSQLiteStatement items(db, query);
    if (!items.isPrepared())
        return failRead(items.prepareCode());
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    const bool hasArtworkPath = items.hasColumn(QStringLiteral("artwork_relative_path"));
    const int cPid = items.columnIndex(QStringLiteral("item_pid"));
    const int cKind = items.columnIndex(QStringLiteral("media_kind"));
    const int cBase = items.columnIndex(QStringLiteral("path"));
    const int cLocation = items.columnIndex(QStringLiteral("location"));
    const int cAudiobook = items.columnIndex(QStringLiteral("is_audible_audio_book"));
    const int cPodcast = items.columnIndex(QStringLiteral("is_podcast"));
    const int cITunesU = items.columnIndex(QStringLiteral("is_itunes_u"));
    const int cItemArtist = items.columnIndex(QStringLiteral("item_artist"));
    const int cAlbumArtist = items.columnIndex(QStringLiteral("album_artist"));
    const int cTime = items.columnIndex(QStringLiteral("total_time_ms"));
    const int cTrackNumber = items.columnIndex(QStringLiteral("track_number"));
    const int cTrackCount = items.columnIndex(QStringLiteral("track_count"));
    const int cDiscNumber = items.columnIndex(QStringLiteral("disc_number"));
    const int cDiscCount = items.columnIndex(QStringLiteral("disc_count"));
    const int cYear = items.columnIndex(QStringLiteral("year"));
    const int cSeason = items.columnIndex(QStringLiteral("season_number"));
    const int cFileSize = items.columnIndex(QStringLiteral("file_size"));
    const int cBitRate = items.columnIndex(QStringLiteral("bit_rate"));
    const int cRating = items.columnIndex(QStringLiteral("user_rating"));
    const int cPlays = items.columnIndex(QStringLiteral("play_count_user"));
    const int cTitle = items.columnIndex(QStringLiteral("title"));
    const int cAlbum = items.columnIndex(QStringLiteral("album"));
    const int cGenre = items.columnIndex(QStringLiteral("genre"));
    const int cComposer = items.columnIndex(QStringLiteral("composer"));
    const int cDescription = items.columnIndex(QStringLiteral("description"));
    const int cDescriptionLong = items.columnIndex(QStringLiteral("description_long"));
    const int cProtected = items.columnIndex(QStringLiteral("is_protected"));
    const int cArtworkCache = items.columnIndex(QStringLiteral("artwork_cache_id"));
    const int cArtworkPath = items.columnIndex(QStringLiteral("artwork_relative_path"));
    const int cCreated = items.columnIndex(QStringLiteral("date_created"));
    const int cAdded = items.columnIndex(QStringLiteral("date_added"));
    const int cPlayed = items.columnIndex(QStringLiteral("date_played"));
    const int cFeed = items.columnIndex(QStringLiteral("feed_url"));

    qint64 itemsRead = 0;
    const bool allItems = items.forEachRow([&](const QELSQLiteStatement&) {
        if (cancelRead())
            return false;
        ++itemsRead;
        TrackDetailPtr track = _createNewTrackDetailObject();
        TrackDetail& t = *track;
        t.persistentID = QString::number(items.int64(cPid));
        const qint64 kind = items.int64(cKind);
        t.mediaKind = kind;

        const QString base = cappedText(items, cBase);
        const QString location = cappedText(items, cLocation);
        QString path = QLatin1String("");
        if (!base.isEmpty())
            path.append(base);
        if (!location.isEmpty()) {
            if (!path.isEmpty())
                path.append(QLatin1Char('/'));
            path.append(location);
        }
        if (location.isEmpty())
            t.isICloudStreaming = true;
        t.path = path;
        if (path.contains(QLatin1String("CloudAssets")))
            t.isICloudStreaming = true;
        if (path.contains(QLatin1String(".m4p")))
            t.trackProtection = 1;
        if (kind == 0)
            return true;

        const QString extension = suffixOf(path);
        if (kind == 2 || kind == 6 || kind == 32 || kind == 64 || kind == 96 || kind == 1024
            || extension == QLatin1String("m4v") || extension == QLatin1String("mov")
            || extension == QLatin1String("mp4"))
            t.hasVideo = true;
        if (kind == 4 || kind == 6)
            t.isPodcast = true;
        if (kind == 64)
            t.isTVShow = true;
        if (kind == 1024)
            t.isHomeVideo = true;
        if (cAudiobook >= 0 && items.int64(cAudiobook) == 1)
            t.isAudiobook = true;
        if (items.int64(cPodcast) == 1)
            t.isPodcast = true;
        if (items.int64(cITunesU) == 1) {
            t.isITunesU = true;
            t.isPodcast = false;
        } else {
            t.isITunesU = false;
        }

        const QString itemArtist = cappedText(items, cItemArtist);
        const QString albumArtist = cappedText(items, cAlbumArtist);
        if (!itemArtist.isNull())
            t.artist = itemArtist;
        else if (!albumArtist.isNull())
            t.artist = albumArtist;
        if (!albumArtist.isNull())
            t.album_artist = albumArtist;
        else if (!itemArtist.isNull())
            t.album_artist = itemArtist;

        // 64-bit: files of videos pass 2 GiB, and ids and times are 64-bit too.
        t.duration = items.int64(cTime);
        t.trackNumber = items.int64(cTrackNumber);
        t.trackCount = items.int64(cTrackCount);
        t.discNumber = items.int64(cDiscNumber);
        t.discCount = items.int64(cDiscCount);
        t.year = items.int64(cYear);
        t.seasonNumber = items.int64(cSeason);
        t.fileSize = items.int64(cFileSize);
        t.bitRate = items.int64(cBitRate);
        t.userRating = items.int64(cRating);
        t.playCount = items.int64(cPlays);

        t.trackName = cappedText(items, cTitle);
        t.album = cappedText(items, cAlbum);
        t.genre = cappedText(items, cGenre);
        t.composer = cappedText(items, cComposer);
        t.descriptionShort = cappedText(items, cDescription);
        t.descriptionLong = cappedText(items, cDescriptionLong);

        if (items.int64(cProtected) == 2)
            t.isAppleMusic = true;

        if (!hasArtworkPath) {
            const QString cacheID = cappedText(items, cArtworkCache);
            bool ok = false;
            const qint64 artworkID = cacheID.trimmed().toLongLong(&ok);
            if (!cacheID.isNull() && ok)
                t.artworkId = artworkID;
        } else {
            const QString relative = cappedText(items, cArtworkPath);
            if (!relative.isNull())
                t.artworkPath =
                    QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/%1").arg(relative);
        }

        qint64 created = items.int64(cCreated);
        if (created == 0)
            created = items.int64(cAdded);
        if (created > 0)
            t.dateCreated = DeviceTime::fromReferenceWholeSeconds(created);
        const qint64 played = items.int64(cPlayed);
        if (played != 0)
            t.datePlayed = DeviceTime::fromReferenceWholeSeconds(played);

        if (t.isPodcast.has_value()) {
            const QString feed = cappedText(items, cFeed);
            if (!feed.isEmpty())
                t.podcastShowURL = feed;
        }
        return true;
    });
    if (!allItems)
        return failRead(items.lastStepCode());
    items.finalize();
    {
        // The base query joins base_location and item_stats without OUTER:
        // note when that leaves items out.
        QELSQLiteStatement count(db, QStringLiteral("SELECT count(*) FROM item"));
        if (count.step() && count.int64(0) != itemsRead && !cancelRead())
            qCInfo(lcOrvane) << "MediaLibrary item query returned" << itemsRead << "of"
                             << count.int64(0) << "items";
    }

    if (!readPlaylists(db))
        return false;

    QString error;
    if (!store->save(&error)) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral(
                   "QELMediaLibraryMediaLibrarySQLiteDBReader : managedObjectContextSave error %1")
                   .arg(error);
        noteFailure(QStringLiteral("the media store could not be saved: %1").arg(error));
        return false;
    }
    database.close();
    _fireReadCompleteEventWithSuccessAndErrorInformation(true, QString());
    return true;
}

bool QELMediaLibraryMediaLibrarySQLiteDBReader::readPlaylists(sqlite3* db)
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    _fireReadProgressEventWithInfo(L("Reading playlists"));

    QString primaryContainer;
    {
        QELSQLiteStatement info(db, QStringLiteral("SELECT primary_container_pid FROM db_info"));
        if (info.step() && info.hasColumn(QStringLiteral("primary_container_pid")))
            primaryContainer = info.text(QStringLiteral("primary_container_pid"));
        // Unread, the master playlist would list as one of the user's.
        if (info.failed()) {
            qCWarning(lcOrvane).noquote()
                << QStringLiteral(
                       "QELMediaLibraryMediaLibrarySQLiteDBReader : db_info read error code : %1")
                       .arg(info.lastStepCode())
                << info.errorMessage();
            noteFailure(
                QStringLiteral("the db_info table could not be read: %1").arg(info.errorMessage()));
            _fireReadCompleteEventWithSuccessAndErrorInformation(
                false,
                QStringLiteral("SQLiteDBRead return code error : %1").arg(info.lastStepCode()));
            return false;
        }
    }

    QString query = QStringLiteral(
        "c.name, c.container_pid, c.is_hidden, c.smart_is_genius, c.smart_is_dynamic, "
        "c.smart_is_folder,"
        " c.smart_is_limited, c.smart_limit_value, c.is_ignored_syncing, c.distinguished_kind,"
        " length(ci.item_pid_data) AS data_length, ci.item_pid_data FROM container c INNER JOIN "
        "container_items ci"
        " ON c.container_pid=ci.container_pid");
    if (hasColumn(db, "container", "contained_media_type"))
        query.prepend(QStringLiteral("c.contained_media_type, "));
    if (hasColumn(db, "container", "play_order"))
        query.prepend(QStringLiteral("c.play_order, "));
    if (hasTable(db, "artwork_token")) {
        query.prepend(QStringLiteral("a.relative_path AS artwork_relative_path, "));
        query.append(QStringLiteral(
            " LEFT JOIN artwork_token at ON c.container_pid=at.entity_pid LEFT JOIN artwork a"
            " ON at.artwork_token=a.artwork_token"));
    }
    query.prepend(QStringLiteral("SELECT "));

    QELSQLiteStatement containers(db, query);
    if (containers.isPrepared() && !cancelRead()) {
        const bool hasMediaType = containers.hasColumn(QStringLiteral("contained_media_type"));
        const bool hasPlayOrder = containers.hasColumn(QStringLiteral("play_order"));
        const bool hasArtwork = containers.hasColumn(QStringLiteral("artwork_relative_path"));
        // The artwork join can repeat a container's row: each container is
        // made once, by its id. Playlists that merely share a name all stay.
        QSet<QString> seenContainers;
        const bool read = containers.forEachRow([&](const QELSQLiteStatement&) {
            if (cancelRead())
                return false;
            if (containers.int64(QStringLiteral("is_ignored_syncing")) == 1
                || containers.int64(QStringLiteral("is_hidden")) == 1
                || containers.int64(QStringLiteral("smart_is_folder")) == 1)
                return true;
            if (containers.int64(QStringLiteral("smart_is_dynamic")) == 1
                && (!hasMediaType
                    || (containers.int64(QStringLiteral("contained_media_type")) & 0x2044) != 0))
                return true;
            const QString containerPID = containers.text(QStringLiteral("container_pid"));
            if (!primaryContainer.isNull() && containerPID == primaryContainer)
                return true;
            if (seenContainers.contains(containerPID)) {
                qCDebug(lcOrvane) << "Container" << containerPID << "listed again; first row kept";
                return true;
            }
            seenContainers.insert(containerPID);

            PlaylistPtr playlist = _createNewPlaylistObject();
            playlist->containerPID = containerPID;
            playlist->name = containers.text(QStringLiteral("name"));
            _firePlaylistName(playlist->name.isNull() ? QStringLiteral("") : playlist->name);

            QString icon;
            if (containers.int64(QStringLiteral("smart_is_genius")) == 1) {
                playlist->smartIsGenius = true;
                icon = QStringLiteral("cat_genius_selection");
            }
            if (containers.int64(QStringLiteral("smart_is_dynamic")) == 1) {
                playlist->smartIsDynamic = true;
                icon = QStringLiteral("cat_smart_playlist");
            }
            if ((isYes(playlist->smartIsDynamic) || isYes(playlist->smartIsGenius)
                 || isYes(playlist->smartIsMix))
                && hasPlayOrder && containers.int64(QStringLiteral("play_order")) == 7)
                playlist->doesSmartRequireSorting = true;
            const qint64 distinguished = containers.int64(QStringLiteral("distinguished_kind"));
            playlist->distinguishedKind = distinguished;
            if (distinguished == 34) {
                icon = QStringLiteral("cat_itunesu");
            } else if (distinguished == 20) {
                icon = QStringLiteral("cat_shopping_bag");
                playlist->isLibraryType = true;
                playlist->sortName = QStringLiteral("Purchased");
            } else if (distinguished == 11) {
                icon = QStringLiteral("cat_podcast");
                playlist->isLibraryType = true;
                playlist->sortName = QStringLiteral("Podcast");
            }
            if (icon.isEmpty())
                icon = QStringLiteral("cat_playlist");
            setPlaylistIcon(*playlist, icon);

            const qint64 dataLength = containers.int64(QStringLiteral("data_length"));
            if (dataLength > 0) {
                const QByteArray data =
                    containers.blob(containers.columnIndex(QStringLiteral("item_pid_data")));
                const qsizetype count = std::min<qsizetype>(data.size() / 8, qsizetype(kMaxTracks));
                QStringList ids;
                ids.reserve(count);
                const bool ordered = QELDeviceMediaLibrary::isPlaylistsToBeSorted(*playlist);
                for (qsizetype i = 0; i < count; ++i) {
                    const QString id =
                        QString::number(qFromLittleEndian<qint64>(data.constData() + 8 * i));
                    ids.append(id);
                    if (ordered) {
                        PlaylistOrderPtr order = _createNewPlaylistOrderObject();
                        order->index = i;
                        order->containerPID = playlist->containerPID;
                        order->persistentID = id;
                        order->relationshipTrack = store->firstTrackWithPersistentID(id);
                    }
                }
                playlist->addTracks(store->tracksWithPersistentIDs(ids));
            }
            if (hasArtwork)
                playlist->playlistImageRelativePath =
                    containers.text(QStringLiteral("artwork_relative_path"));
            if (playlist->tracks().isEmpty())
                store->deletePlaylist(playlist);
            return true;
        });
        if (!read) {
            qCWarning(lcOrvane).noquote()
                << QStringLiteral("QELMediaLibraryMediaLibrarySQLiteDBReader : playlist rows ended "
                                  "with code %1")
                       .arg(containers.lastStepCode())
                << containers.errorMessage();
            _firePlaylistName(QStringLiteral(""));
            _fireReadCompleteEventWithSuccessAndErrorInformation(
                false,
                QStringLiteral("SQLiteDBRead return code error : %1")
                    .arg(containers.lastStepCode()));
            return false;
        }
    }
    _firePlaylistName(QStringLiteral(""));
    return true;
}
