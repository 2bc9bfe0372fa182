// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect media FOLDER`: the media library as the application reads it.
//
// The media library lives on the device's media partition, which a backup
// does not hold: the subcommand takes a FOLDER of the device files the read
// flow copies, never --backup. It still asks for them through the folder's
// file source, as every subcommand asks for its files.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "BackupFileSource.h"
#include "InspectJson.h"
#include "InspectSubcommand.h"
#include "Locations.h"
#include "QELDeviceMediaLibrary.h"

namespace {

using InspectJson::flag;
using InspectJson::number;
using InspectJson::text;

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
    "MediaLibrary.sqlitedb",
    "MediaLibrary.sqlitedb-wal",
    "MediaLibrary.sqlitedb-shm",
    "MediaLibrary.sqlitedb.bak",
    "MediaLibrary.sqlitedb-wal.bak",
    "MediaLibrary.sqlitedb-shm.bak",
    "Library.itdb",
    "Locations.itdb",
    "Dynamic.itdb",
    "iTunesDB",
    "iTunesCDB",
    "Ringtones.plist",
    "Recordings.db",
    "Recordings.db-wal",
    "Recordings.db-shm",
};

QJsonObject libraryJson(QELDeviceMediaLibrary& library)
{
    QJsonArray tracks;
    if (std::shared_ptr<QELMediaStore> store = library.managedObjectContext()) {
        std::lock_guard<std::recursive_mutex> guard(store->lock());
        for (const TrackDetailPtr& t : store->tracks()) {
            QJsonObject track;
            track.insert(QStringLiteral("persistentID"), text(t->persistentID));
            track.insert(QStringLiteral("title"), text(t->trackName));
            track.insert(QStringLiteral("artist"), text(t->artist));
            track.insert(QStringLiteral("albumArtist"), text(t->album_artist));
            track.insert(QStringLiteral("album"), text(t->album));
            track.insert(QStringLiteral("genre"), text(t->genre));
            track.insert(QStringLiteral("durationMs"), number(t->duration));
            track.insert(QStringLiteral("path"), text(t->path));
            track.insert(QStringLiteral("mediaKind"), number(t->mediaKind));
            track.insert(QStringLiteral("trackNumber"), number(t->trackNumber));
            track.insert(QStringLiteral("discNumber"), number(t->discNumber));
            track.insert(QStringLiteral("year"), number(t->year));
            track.insert(QStringLiteral("isRingtone"), flag(t->isRingtone));
            track.insert(QStringLiteral("isVoiceMemo"), flag(t->isVoiceMemo));
            track.insert(QStringLiteral("isPodcast"), flag(t->isPodcast));
            track.insert(QStringLiteral("hasVideo"), flag(t->hasVideo));
            tracks.append(track);
        }
    }
    QJsonArray playlists;
    for (const PlaylistPtr& p : library.playlists()) {
        QJsonObject playlist;
        playlist.insert(QStringLiteral("name"), text(p->name));
        playlist.insert(QStringLiteral("persistentID"), text(p->containerPID));
        playlist.insert(QStringLiteral("kind"), playlistKind(*p));
        QJsonArray ids;
        const QList<TrackDetailPtr> members =
            library
                .trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                    QList<PlaylistPtr>{p}, std::nullopt, std::nullopt, std::nullopt, QString(),
                    true);
        for (const TrackDetailPtr& t : members)
            ids.append(text(t->persistentID));
        playlist.insert(QStringLiteral("trackIDs"), ids);
        playlists.append(playlist);
    }
    QJsonObject root;
    root.insert(QStringLiteral("reader"), text(library.readerName()));
    root.insert(QStringLiteral("tracks"), tracks);
    root.insert(QStringLiteral("playlists"), playlists);
    return root;
}

int inspectMedia(const InspectRequest& request)
{
    // The readers change their folder (a read Library.itdb is removed, an
    // iTunesCDB is expanded beside itself): they read copies, never the
    // folder we were given.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("cannot make a scratch folder in the temporary folder"));
    for (const char* name : kDeviceFiles) {
        const QString copy =
            request.source.GetPathForDeviceFileNameInDomain(QLatin1String(name), QString());
        if (!copy.isEmpty())
            QFile::rename(copy, scratch + QLatin1Char('/') + QLatin1String(name));
    }
    int code = InspectSubcommands::kSucceeded;
    {
        QELDeviceMediaLibrary library(scratch);
        if (library.readMediaLibrary())
            code = InspectJson::print(libraryJson(library));
        else {
            const QStringList failures = library.readFailures();
            code = InspectSubcommands::fail(
                failures.isEmpty()
                    ? QStringLiteral("no media library could be read from %1: it holds none of "
                                     "MediaLibrary.sqlitedb, Library.itdb, iTunesCDB or iTunesDB")
                          .arg(request.input)
                    : QStringLiteral("no media library could be read from %1: %2")
                          .arg(request.input, failures.join(QStringLiteral("; "))));
        }
        library.close();
    }
    QDir(scratch).removeRecursively();
    return code;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("media"),
    QStringLiteral("the media library: tracks and playlists (FOLDER of MediaLibrary.sqlitedb, "
                   "Library.itdb or iTunesDB/iTunesCDB files)"),
    InspectSubcommand::Input::FolderOnly,
    false,
    QString(),
    {},
    inspectMedia,
});

} // namespace
