// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect media FOLDER [--export DIR [--playlist NAME]]`: the media
// library as the application reads it, and with --export the tracks copied
// into DIR as the Copy-to-Mac job copies them, with the default layout.
//
// The media library lives on the device's media partition, which a backup
// does not hold: the subcommand takes a FOLDER, never --backup. A FOLDER that
// holds iTunes_Control or iPod_Control is a device's file system, reached
// through the device interface as a disk-mode volume; any other FOLDER holds
// the device files the read flow copies, asked for through the folder's file
// source as every subcommand asks for its files.
#include <atomic>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "BackupFileSource.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "Locations.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELCopyMusic.h"
#include "QELDeviceInterface.h"
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

// The folder of a device's file system inside FOLDER ("iTunes_Control" of
// an iOS device, "iPod_Control" of a disk-mode iPod); empty when it holds none.
QString deviceControlFolder(const QString& folder)
{
    for (const char* name : {"iTunes_Control", "iPod_Control"})
        if (!folder.isEmpty() && QFileInfo(folder + QLatin1Char('/') + QLatin1String(name)).isDir())
            return QLatin1String(name);
    return QString();
}

// Ends the event loop at the end of the run and counts the items.
class ExportDelegate : public QELCopyDelegate {
public:
    explicit ExportDelegate(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override
    {
        (args.statusOK() ? copied : failed)++;
    }
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }
    std::atomic<int> copied{0};
    std::atomic<int> failed{0};

private:
    QEventLoop& m_loop;
};

// Copies the library's tracks (or one playlist's, in its order) into
// `folder`; the "export" member of the JSON.
QJsonObject exportTracks(QELDeviceMediaLibrary& library, QELDeviceInterface& device,
                         const QString& folder, const QString& playlistName, QString* why)
{
    QList<TrackDetailPtr> tracks;
    QString playlistFile;
    if (playlistName.isEmpty()) {
        tracks = library.getAllTracks();
    } else {
        PlaylistPtr chosen;
        for (const PlaylistPtr& p : library.playlists())
            if (p->name == playlistName) {
                chosen = p;
                break;
            }
        if (!chosen) {
            *why = QStringLiteral("the library has no playlist named \"%1\"").arg(playlistName);
            return {};
        }
        tracks =
            library
                .trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                    QList<PlaylistPtr>{chosen}, std::nullopt, std::nullopt, std::nullopt, QString(),
                    true);
    }
    QVariantList queue;
    for (const TrackDetailPtr& track : tracks)
        queue.append(QVariant::fromValue(track));

    QEventLoop loop;
    ExportDelegate delegate(loop);
    QELCopyMusic job;
    job.setDelegate(&delegate);
    job.setDeviceInteface(&device);
    job.setBaseCopyPath(folder);
    job.setCopyLayout(QELCopyMusic::CopyLayout{});
    job.setPlaylistName(playlistName);
    job.setItemQueue(queue);
    job.startCopy();
    loop.exec();

    QJsonArray files;
    const QDir base(folder);
    for (const QString& file : job.copiedFiles())
        files.append(base.relativeFilePath(file));
    if (!job.playlistFilePath().isEmpty())
        files.append(base.relativeFilePath(job.playlistFilePath()));
    QJsonObject result;
    result.insert(QStringLiteral("copied"), delegate.copied.load());
    result.insert(QStringLiteral("failed"), delegate.failed.load());
    result.insert(QStringLiteral("files"), files);
    return result;
}

QJsonObject trackJson(const TrackDetail& t)
{
    QJsonObject track;
    track.insert(QStringLiteral("persistentID"), text(t.persistentID));
    track.insert(QStringLiteral("title"), text(t.trackName));
    track.insert(QStringLiteral("artist"), text(t.artist));
    track.insert(QStringLiteral("albumArtist"), text(t.album_artist));
    track.insert(QStringLiteral("album"), text(t.album));
    track.insert(QStringLiteral("genre"), text(t.genre));
    track.insert(QStringLiteral("durationMs"), number(t.duration));
    track.insert(QStringLiteral("path"), text(t.path));
    track.insert(QStringLiteral("mediaKind"), number(t.mediaKind));
    track.insert(QStringLiteral("trackNumber"), number(t.trackNumber));
    track.insert(QStringLiteral("discNumber"), number(t.discNumber));
    track.insert(QStringLiteral("year"), number(t.year));
    track.insert(QStringLiteral("isRingtone"), flag(t.isRingtone));
    track.insert(QStringLiteral("isVoiceMemo"), flag(t.isVoiceMemo));
    track.insert(QStringLiteral("isPodcast"), flag(t.isPodcast));
    track.insert(QStringLiteral("hasVideo"), flag(t.hasVideo));
    return track;
}

// Writes the library track by track and playlist by playlist, after the
// "export" member when there is one (the members in key order).
int printLibrary(QELDeviceMediaLibrary& library, const std::optional<QJsonObject>& exported)
{
    InspectJsonStream out;
    out.beginObject();
    if (exported)
        out.member(QStringLiteral("export"), *exported);
    out.beginArray(QStringLiteral("playlists"));
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
        out.value(playlist);
    }
    out.end();
    out.member(QStringLiteral("reader"), text(library.readerName()));
    out.beginArray(QStringLiteral("tracks"));
    if (std::shared_ptr<QELMediaStore> store = library.managedObjectContext()) {
        std::lock_guard<std::recursive_mutex> guard(store->lock());
        for (const TrackDetailPtr& t : store->tracks())
            out.value(trackJson(*t));
    }
    out.end();
    return out.finish();
}

int inspectMedia(const InspectRequest& request)
{
    const QString playlist = request.parser.value(QStringLiteral("playlist"));
    if (!playlist.isEmpty() && request.exportFolder.isNull())
        return InspectSubcommands::fail(QStringLiteral("--playlist needs --export DIR"));
    // The readers change their folder (a read Library.itdb is removed, an
    // iTunesCDB is expanded beside itself): they read copies, never the
    // folder we were given.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("cannot make a scratch folder in the temporary folder"));
    const QString control = deviceControlFolder(request.folder);
    std::unique_ptr<QELDeviceInterface> device;
    if (!control.isEmpty()) {
        device = QELDeviceInterface::createOverFolder(request.folder);
        for (const char* name : kDeviceFiles)
            device->copyFileFromDeviceAtToLocalPath(
                QStringLiteral("/%1/iTunes/%2").arg(control, QLatin1String(name)),
                scratch + QLatin1Char('/') + QLatin1String(name));
    } else {
        for (const char* name : kDeviceFiles) {
            const QString copy =
                request.source.GetPathForDeviceFileNameInDomain(QLatin1String(name), QString());
            if (!copy.isEmpty())
                QFile::rename(copy, scratch + QLatin1Char('/') + QLatin1String(name));
        }
    }
    if (!request.exportFolder.isNull() && !device) {
        QDir(scratch).removeRecursively();
        return InspectSubcommands::fail(
            QStringLiteral("media cannot export from %1: it holds no tracks to copy (--export "
                           "needs a FOLDER that holds a device's file system, iTunes_Control or "
                           "iPod_Control)")
                .arg(request.input));
    }
    int code = InspectSubcommands::kSucceeded;
    {
        QELDeviceMediaLibrary library(scratch);
        if (library.readMediaLibrary()) {
            // The export runs first: a failed one prints no JSON.
            std::optional<QJsonObject> exported;
            if (device && !request.exportFolder.isNull()) {
                QString why;
                if (!QDir().mkpath(request.exportFolder))
                    why = QStringLiteral("cannot make the folder %1").arg(request.exportFolder);
                else
                    exported = exportTracks(library, *device, request.exportFolder, playlist, &why);
                if (!why.isEmpty()) {
                    library.close();
                    QDir(scratch).removeRecursively();
                    return InspectSubcommands::fail(why);
                }
            }
            code = printLibrary(library, exported);
        } else {
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
                   "Library.itdb or iTunesDB/iTunesCDB files, or a device's file system); "
                   "--export DIR copies its tracks, --playlist NAME one playlist's"),
    InspectSubcommand::Input::FolderOnly,
    true,
    QString(),
    [](QCommandLineParser& parser) {
        parser.addOption(QCommandLineOption(
            QStringLiteral("playlist"),
            QStringLiteral(
                "with --export: copy this playlist's tracks and write its playlist file"),
            QStringLiteral("NAME")));
    },
    inspectMedia,
});

} // namespace
