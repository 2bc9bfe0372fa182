// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaInspection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Locations.h"
#include "QELDeviceMediaLibrary.h"

namespace {

QJsonValue textValue(const QString& text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue numberValue(const std::optional<qint64>& number)
{
    return number ? QJsonValue(static_cast<double>(*number)) : QJsonValue(QJsonValue::Null);
}

QJsonValue flagValue(const std::optional<bool>& flag)
{
    return flag ? QJsonValue(*flag) : QJsonValue(QJsonValue::Null);
}

QString playlistKind(const Playlist& playlist)
{
    if (isYes(playlist.isLibraryType))
        return QStringLiteral("library");
    if (isYes(playlist.smartIsGenius))
        return QStringLiteral("genius");
    if (isYes(playlist.smartIsDynamic))
        return QStringLiteral("smart");
    if (isYes(playlist.smartIsMix))
        return QStringLiteral("mix");
    if (isYes(playlist.isUserDefined))
        return QStringLiteral("user");
    return QStringLiteral("plain");
}

// The files the device read flow copies into the temporary folder.
const char* const kDeviceFiles[] = {
    "MediaLibrary.sqlitedb", "MediaLibrary.sqlitedb-wal", "MediaLibrary.sqlitedb-shm",
    "MediaLibrary.sqlitedb.bak", "MediaLibrary.sqlitedb-wal.bak", "MediaLibrary.sqlitedb-shm.bak",
    "Library.itdb", "Locations.itdb", "Dynamic.itdb", "iTunesDB", "iTunesCDB", "Ringtones.plist",
    "Recordings.db", "Recordings.db-wal", "Recordings.db-shm",
};

} // namespace

namespace MediaInspection {

QByteArray libraryJson(QELDeviceMediaLibrary& library)
{
    QJsonArray tracks;
    if (std::shared_ptr<QELMediaStore> store = library.managedObjectContext()) {
        std::lock_guard<std::recursive_mutex> guard(store->lock());
        for (const TrackDetailPtr& t : store->tracks()) {
            QJsonObject track;
            track.insert(QStringLiteral("persistentID"), textValue(t->persistentID));
            track.insert(QStringLiteral("title"), textValue(t->trackName));
            track.insert(QStringLiteral("artist"), textValue(t->artist));
            track.insert(QStringLiteral("albumArtist"), textValue(t->album_artist));
            track.insert(QStringLiteral("album"), textValue(t->album));
            track.insert(QStringLiteral("genre"), textValue(t->genre));
            track.insert(QStringLiteral("durationMs"), numberValue(t->duration));
            track.insert(QStringLiteral("path"), textValue(t->path));
            track.insert(QStringLiteral("mediaKind"), numberValue(t->mediaKind));
            track.insert(QStringLiteral("trackNumber"), numberValue(t->trackNumber));
            track.insert(QStringLiteral("discNumber"), numberValue(t->discNumber));
            track.insert(QStringLiteral("year"), numberValue(t->year));
            track.insert(QStringLiteral("isRingtone"), flagValue(t->isRingtone));
            track.insert(QStringLiteral("isVoiceMemo"), flagValue(t->isVoiceMemo));
            track.insert(QStringLiteral("isPodcast"), flagValue(t->isPodcast));
            track.insert(QStringLiteral("hasVideo"), flagValue(t->hasVideo));
            tracks.append(track);
        }
    }
    QJsonArray playlists;
    for (const PlaylistPtr& p : library.playlists()) {
        QJsonObject playlist;
        playlist.insert(QStringLiteral("name"), textValue(p->name));
        playlist.insert(QStringLiteral("persistentID"), textValue(p->containerPID));
        playlist.insert(QStringLiteral("kind"), playlistKind(*p));
        QJsonArray ids;
        const QList<TrackDetailPtr> members = library.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
            QList<PlaylistPtr>{p}, std::nullopt, std::nullopt, std::nullopt, QString(), true);
        for (const TrackDetailPtr& t : members)
            ids.append(textValue(t->persistentID));
        playlist.insert(QStringLiteral("trackIDs"), ids);
        playlists.append(playlist);
    }
    QJsonObject root;
    root.insert(QStringLiteral("reader"), textValue(library.readerName()));
    root.insert(QStringLiteral("tracks"), tracks);
    root.insert(QStringLiteral("playlists"), playlists);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool inspectFolder(const QString& folder, QByteArray* json, QString* error)
{
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("not a folder: %1").arg(folder);
        return false;
    }
    // The readers change their folder (a read Library.itdb is removed, an
    // iTunesCDB is expanded beside itself): work on copies, never on the
    // folder we were given.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty()) {
        *error = QStringLiteral("cannot make a scratch folder in the temporary folder");
        return false;
    }
    for (const char* name : kDeviceFiles) {
        const QString source = folder + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo(source).isFile())
            QFile::copy(source, scratch + QLatin1Char('/') + QLatin1String(name));
    }
    bool ok = false;
    {
        QELDeviceMediaLibrary library(scratch);
        ok = library.readMediaLibrary();
        if (ok)
            *json = libraryJson(library);
        else
            *error = QStringLiteral("no media library could be read from %1").arg(folder);
        library.close();
    }
    QDir(scratch).removeRecursively();
    return ok;
}

} // namespace MediaInspection
