// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMediaLibrarySQLiteReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELDeviceMediaLibrary.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

QELSQLiteDatabase openInFolder(const QString& folder, const QString& name, QString* why)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFileInfo(path).isFile()) {
        *why = QStringLiteral("%1 is not there").arg(name);
        return QELSQLiteDatabase();
    }
    // A copy that is not a database counts as one that does not open, so the
    // next kind of library gets its turn.
    QString error;
    QELSQLiteDatabase database = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!database.isOpen()) {
        qCWarning(lcOrvane).noquote() << "Not a readable database:" << error;
        *why = QStringLiteral("%1 is not a readable SQLite database (%2)").arg(name, error);
    }
    return database;
}

// The base folder with the file name as a further path component.
QString appendPathComponent(const QString& base, const QString& component)
{
    if (base.isEmpty())
        return component;
    if (component.isEmpty())
        return base;
    const bool baseSlash = base.endsWith(QLatin1Char('/'));
    const bool componentSlash = component.startsWith(QLatin1Char('/'));
    if (baseSlash && componentSlash)
        return base + component.mid(1);
    if (baseSlash || componentSlash)
        return base + component;
    return base + QLatin1Char('/') + component;
}

} // namespace

bool QELMediaLibrarySQLiteReader::readMediaLibrary()
{
    assertNotOnGuiThread();
    if (_libraryDirectory.isEmpty()) {
        _fireReadCompleteEventWithSuccessAndErrorInformation(
            false, QStringLiteral("_libraryDirectory parameter not specified."));
        return false;
    }
    _fireReadProgressEventWithInfo(L("OPENINGLIBRARYFILES"));
    QString openError;
    QELSQLiteDatabase library = openInFolder(_libraryDirectory, QStringLiteral("Library.itdb"), &openError);
    if (!library.isOpen()) {
        noteFailure(openError);
        return false;
    }
    QELSQLiteDatabase locations = openInFolder(_libraryDirectory, QStringLiteral("Locations.itdb"), &openError);
    if (!locations.isOpen()) {
        noteFailure(openError);
        return false;
    }
    // Without Dynamic.itdb the tracks simply have no play statistics.
    QELSQLiteDatabase dynamic = openInFolder(_libraryDirectory, QStringLiteral("Dynamic.itdb"), &openError);
    std::shared_ptr<QELMediaStore> store = managedObjectContext();

    // A table whose rows end in an error (a damaged page) was read only in
    // part: the read fails rather than show a library with gaps.
    auto failRead = [this](const char* what, const QELSQLiteStatement& statement) {
        const int code = statement.lastStepCode();
        qCWarning(lcOrvane).noquote()
            << QStringLiteral("Library.itdb: the %1 rows ended with code %2: %3")
                   .arg(QLatin1String(what))
                   .arg(code)
                   .arg(statement.errorMessage());
        noteFailure(QStringLiteral("the %1 rows could not be read: %2")
                        .arg(QLatin1String(what), statement.errorMessage()));
        _fireReadCompleteEventWithSuccessAndErrorInformation(
            false, QStringLiteral("SQLiteDBRead return code error : %1").arg(code));
        return false;
    };

    if (QELSQLiteHelper::doesDatabaseContainTable(library.handle(),
                                                  QStringLiteral("location_kind_map"))) {
        _kinds.clear();
        QELSQLiteStatement kinds(library.handle(),
                                 QStringLiteral("SELECT kind from location_kind_map"));
        const bool read = kinds.forEachRow([this](const QELSQLiteStatement& row) {
            _kinds.insert(row.text(0).isNull() ? QStringLiteral("(null)") : row.text(0));
            return true;
        });
        if (!read)
            return failRead("location kind", kinds);
    }

    _fireReadProgressEventWithInfo(L("READINGTRACKINFORMATION"));
    {
        QELSQLiteStatement items(
            library.handle(),
            QStringLiteral(
                "SELECT * FROM item LEFT OUTER JOIN genre_map ON item.genre_id=genre_map.id"));
        if (items.isPrepared()) {
            const int cPid = items.columnIndex(QStringLiteral("pid"));
            const int cKind = items.columnIndex(QStringLiteral("media_kind"));
            const int cMusicVideo = items.columnIndex(QStringLiteral("is_music_video"));
            const int cMovie = items.columnIndex(QStringLiteral("is_movie"));
            const int cTVShow = items.columnIndex(QStringLiteral("is_tv_show"));
            const bool videoColumns = cMusicVideo >= 0 && cMovie >= 0 && cTVShow >= 0;
            const int cVoiceMemo = items.columnIndex(QStringLiteral("is_voice_memo"));
            const int cPodcast = items.columnIndex(QStringLiteral("is_podcast"));
            const int cITunesU = items.columnIndex(QStringLiteral("is_itunes_u"));
            const int cAlbumArtist = items.columnIndex(QStringLiteral("album_artist"));
            const int cArtwork = items.columnIndex(QStringLiteral("artwork_cache_id"));
            const int cTime = items.columnIndex(QStringLiteral("total_time_ms"));
            const int cTrackNumber = items.columnIndex(QStringLiteral("track_number"));
            const int cTrackCount = items.columnIndex(QStringLiteral("track_count"));
            const int cDiscNumber = items.columnIndex(QStringLiteral("disc_number"));
            const int cDiscCount = items.columnIndex(QStringLiteral("disc_count"));
            const int cTitle = items.columnIndex(QStringLiteral("title"));
            const int cArtist = items.columnIndex(QStringLiteral("artist"));
            const int cAlbum = items.columnIndex(QStringLiteral("album"));
            const int cGenre = items.columnIndex(QStringLiteral("genre"));
            const int cComposer = items.columnIndex(QStringLiteral("composer"));
            const int cYear = items.columnIndex(QStringLiteral("year"));
            const int cDescriptionLong = items.columnIndex(QStringLiteral("description_long"));

            // Device values are bound, never pasted into the statements.
            QELSQLiteStatement location(
                locations.handle(),
                QStringLiteral("SELECT* FROM location INNER JOIN base_location ON "
                               "location.base_location_id=base_location.id WHERE item_pid=?1"));
            const int lPath = location.columnIndex(QStringLiteral("path"));
            const int lLocation = location.columnIndex(QStringLiteral("location"));
            const int lSize = location.columnIndex(QStringLiteral("file_size"));
            const int lKind = location.columnIndex(QStringLiteral("kind_id"));
            QELSQLiteStatement stats;
            if (dynamic.isOpen())
                stats = QELSQLiteStatement(
                    dynamic.handle(), QStringLiteral("SELECT * FROM item_stats WHERE item_pid=?1"));
            const int sCreated = stats.columnIndex(QStringLiteral("date_created"));
            const int sPlayed = stats.columnIndex(QStringLiteral("date_played"));
            const int sRating = stats.columnIndex(QStringLiteral("user_rating"));
            const int sPlays = stats.columnIndex(QStringLiteral("play_count_user"));

            auto setText = [&items](QString& attribute, int column) {
                if (column < 0)
                    return;
                const QString value = items.text(column);
                if (!value.isNull())
                    attribute = value;
            };
            auto setNumber = [&items](std::optional<qint64>& attribute, int column) {
                if (column >= 0)
                    attribute = items.int64(column);
            };

            // The statement whose rows failed inside an item's row, if any.
            const QELSQLiteStatement* failedInside = nullptr;
            const char* failedWhat = nullptr;
            const bool itemsRead = items.forEachRow([&](const QELSQLiteStatement&) {
                TrackDetailPtr track = _createNewTrackDetailObject();
                TrackDetail& t = *track;
                const qint64 pid = items.int64(cPid);
                t.persistentID = QString::number(pid);
                setNumber(t.mediaKind, cKind);
                if (videoColumns)
                    t.hasVideo = items.int64(cMusicVideo) == 1 || items.int64(cMovie) == 1
                        || items.int64(cTVShow) == 1;
                if (cVoiceMemo >= 0 && items.int64(cVoiceMemo) == 1)
                    t.isVoiceMemo = true;
                if (cPodcast >= 0 && items.int64(cPodcast) == 1)
                    t.isPodcast = true;
                if (cITunesU >= 0) {
                    if (items.int64(cITunesU) == 1) {
                        t.isITunesU = true;
                        t.isPodcast = false;
                    } else {
                        t.isITunesU = false;
                    }
                }
                setText(t.album_artist, cAlbumArtist);
                setNumber(t.artworkId, cArtwork);
                if (cTime >= 0)
                    t.duration = items.wholeNumber(cTime);
                setNumber(t.trackNumber, cTrackNumber);
                setNumber(t.trackCount, cTrackCount);
                setNumber(t.discNumber, cDiscNumber);
                setNumber(t.discCount, cDiscCount);
                setText(t.trackName, cTitle);
                setText(t.artist, cArtist);
                setText(t.album, cAlbum);
                setText(t.genre, cGenre);
                setText(t.composer, cComposer);
                setNumber(t.year, cYear);
                setText(t.descriptionLong, cDescriptionLong);

                if (location.isPrepared()) {
                    location.reset();
                    location.bindInt64(1, pid);
                    const bool located = location.forEachRow([&](const QELSQLiteStatement&) {
                        const QString base = location.text(lPath);
                        const QString file = location.text(lLocation);
                        if (!base.isNull() && !file.isNull())
                            t.path = appendPathComponent(base, file);
                        if (lSize >= 0)
                            t.fileSize = location.wholeNumber(lSize);
                        if (lKind >= 0) {
                            t.kindID = location.int64(lKind);
                            if (location.text(lKind).contains(QLatin1String("rotected")))
                                t.trackProtection = 1;
                        }
                        return true;
                    });
                    if (!located) {
                        failedInside = &location;
                        failedWhat = "location";
                        return false;
                    }
                    if (videoColumns && !isYes(t.hasVideo)
                        && QFileInfo(t.path).suffix() == QLatin1String("m4v"))
                        t.hasVideo = true;
                }
                if (stats.isPrepared()) {
                    stats.reset();
                    stats.bindInt64(1, pid);
                    const bool counted = stats.forEachRow([&](const QELSQLiteStatement&) {
                        const qint64 created = stats.int64(sCreated);
                        if (created != 0)
                            t.dateCreated = DeviceTime::fromReferenceWholeSeconds(created);
                        const qint64 played = stats.int64(sPlayed);
                        if (played != 0)
                            t.datePlayed = DeviceTime::fromReferenceWholeSeconds(played);
                        t.userRating = stats.int64(sRating);
                        t.playCount = stats.int64(sPlays);
                        return true;
                    });
                    if (!counted) {
                        failedInside = &stats;
                        failedWhat = "play statistics";
                        return false;
                    }
                }
                return true;
            });
            if (failedInside)
                return failRead(failedWhat, *failedInside);
            if (!itemsRead)
                return failRead("item", items);
        }
    }

    _fireReadProgressEventWithInfo(L("READINGPLAYLISTS"));
    QString primaryContainer;
    {
        QELSQLiteStatement info(library.handle(),
                                QStringLiteral("SELECT primary_container_pid FROM db_info"));
        if (info.step() && info.hasColumn(QStringLiteral("primary_container_pid")))
            primaryContainer = info.text(QStringLiteral("primary_container_pid"));
        // Unread, the master playlist would list as one of the user's.
        if (info.failed())
            return failRead("library information", info);
    }

    QELSQLiteStatement containers(library.handle(), QStringLiteral("SELECT * from container"));
    if (containers.isPrepared() && !cancelRead()) {
        const bool byName = containers.hasColumn(QStringLiteral("item_to_container_orig"));
        QELSQLiteStatement members(
            library.handle(),
            byName ? QStringLiteral(
                "SELECT item_to_container_orig.item_pid, container.pid, container.name, "
                "container.smart_is_genius,"
                " container.smart_is_dynamic FROM item_to_container_orig INNER JOIN item ON"
                " item_to_container_orig.item_pid=item.pid INNER JOIN container ON"
                " item_to_container_orig.container_pid=container.pid WHERE container.name=?1 ORDER "
                "BY"
                " item_to_container_orig.physical_order")
                   : QStringLiteral(
                       "SELECT item_to_container.item_pid, container.pid, container.name, "
                       "container.smart_is_genius,"
                       " container.smart_is_dynamic FROM item_to_container INNER JOIN item ON"
                       " item_to_container.item_pid=item.pid INNER JOIN container ON"
                       " item_to_container.container_pid=container.pid WHERE container.pid=?1  "
                       "ORDER BY"
                       " item_to_container.physical_order"));
        const int mPid = members.columnIndex(QStringLiteral("item_pid"));
        const int cHidden = containers.columnIndex(QStringLiteral("is_hidden"));
        const int cFolder = containers.columnIndex(QStringLiteral("smart_is_folder"));
        const int cPid = containers.columnIndex(QStringLiteral("pid"));
        const int cName = containers.columnIndex(QStringLiteral("name"));
        const int cGenius = containers.columnIndex(QStringLiteral("smart_is_genius"));
        const int cDynamic = containers.columnIndex(QStringLiteral("smart_is_dynamic"));
        const int cFiltered = containers.columnIndex(QStringLiteral("smart_is_filtered"));
        const int cLimited = containers.columnIndex(QStringLiteral("smart_is_limited"));
        const int cKind = containers.columnIndex(QStringLiteral("distinguished_kind"));

        bool membersRead = true;
        const bool containersRead = containers.forEachRow([&](const QELSQLiteStatement&) {
            if (cancelRead())
                return false;
            if (containers.int64(cHidden) == 1 || containers.int64(cFolder) == 1)
                return true;
            const QString containerPID = containers.text(cPid);
            if (containerPID.isNull()
                || (!primaryContainer.isNull() && containerPID == primaryContainer))
                return true;
            PlaylistPtr playlist = _createNewPlaylistObject();
            const QString name = containers.text(cName);
            playlist->name = name;
            _firePlaylistName(cName >= 0 && !name.isNull() ? name : QStringLiteral(""));
            playlist->containerPID = containerPID;
            QString icon;
            if (containers.int64(cGenius) == 1) {
                playlist->smartIsGenius = true;
                icon = QStringLiteral("cat_genius_selection");
            } else if (containers.int64(cDynamic) == 1 || containers.int64(cFiltered) == 1
                       || containers.int64(cLimited) == 1) {
                playlist->smartIsDynamic = true;
                icon = QStringLiteral("cat_smart_playlist");
            }
            if (cKind >= 0) {
                const qint64 kind = containers.int64(cKind);
                playlist->distinguishedKind = kind;
                if (kind == 11 || kind == 20 || kind == 34) {
                    icon = kind == 11 ? QStringLiteral("cat_podcast")
                        : kind == 20  ? QStringLiteral("cat_shappong_bag")
                                      : QStringLiteral("cat_itunesu");
                    playlist->isLibraryType = true;
                }
            }
            setPlaylistIcon(*playlist, icon.isEmpty() ? QStringLiteral("cat_playlist") : icon);

            if (!members.isPrepared() || cancelRead())
                return true;
            members.reset();
            if (byName)
                members.bindText(1, name);
            else
                members.bindInt64(1, containers.int64(cPid));
            if (mPid < 0)
                return true;
            const bool ordered = QELDeviceMediaLibrary::isPlaylistsToBeSorted(*playlist);
            QStringList ids;
            qint64 index = 0;
            membersRead = members.forEachRow([&](const QELSQLiteStatement&) {
                const QString id = QString::number(members.int64(mPid));
                ids.append(id);
                if (ordered) {
                    PlaylistOrderPtr order = _createNewPlaylistOrderObject();
                    order->containerPID = playlist->containerPID;
                    order->persistentID = id;
                    order->index = index++;
                    order->relationshipTrack = store->firstTrackWithPersistentID(id);
                }
                return true;
            });
            if (!membersRead)
                return false;
            playlist->addTracks(store->tracksWithPersistentIDs(ids));
            return true;
        });
        if (!membersRead) {
            _firePlaylistName(QStringLiteral(""));
            return failRead("playlist member", members);
        }
        if (!containersRead) {
            _firePlaylistName(QStringLiteral(""));
            return failRead("playlist", containers);
        }
    }
    _firePlaylistName(QStringLiteral(""));

    QString error;
    if (!store->save(&error)) {
        qCWarning(lcOrvane) << "Library.itdb: saving the media store failed:" << error;
        noteFailure(QStringLiteral("the media store could not be saved: %1").arg(error));
        return false;
    }
    library.close();
    locations.close();
    dynamic.close();
    const QString libraryCopy = _libraryDirectory + QStringLiteral("/Library.itdb");
    if (QFileInfo::exists(libraryCopy))
        QFile::remove(libraryCopy);
    _fireReadCompleteEventWithSuccessAndErrorInformation(true, QString());
    return true;
}
