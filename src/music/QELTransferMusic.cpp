// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferMusic.h"

#include <algorithm>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "ImageDetail.h"
#include "Log.h"
#include "MusicArtwork.h"
#include "PlaylistOrder.h"
#include "QELArtworkITunesPurchases.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELDeviceMediaLibrary.h"
#include "QELImageUtilities.h"
#include "QELMediaStore.h"
#include "QELTag.h"
#include "QELTransferMusicItemDetail.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace {

using Host = MediaLibraryHost;

constexpr int kMaxNumber = 9999;
constexpr int kNumberRoom = 7;
constexpr int kMaxExtensionBytes = 16;

const SafePath::NameRules& nameRules()
{
    static const SafePath::NameRules rules = [] {
        SafePath::NameRules r;
        r.alsoReplace = QStringLiteral("\\:*?\"<>|");
        return r;
    }();
    return rules;
}

qint64 deviceFileSize(const QELDeviceInterface& device, const QString& path)
{
    const std::optional<QVariantMap> info = device.getFileInfo(path);
    if (!info)
        return -1;
    // "st_size" over the file service, "NSFileSize" on a disk-mode volume.
    for (const char* key : {"st_size", "NSFileSize"}) {
        bool ok = false;
        const qint64 size = info->value(QLatin1String(key)).toLongLong(&ok);
        if (ok && size >= 0)
            return size;
    }
    return -1;
}

QString extensionOf(const QString& devicePath)
{
    const QString last = devicePath.section(QLatin1Char('/'), -1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == last.size() - 1)
        return QString();
    const QString extension = SafePath::fileName(last.mid(dot + 1), nameRules());
    return extension.toUtf8().size() > kMaxExtensionBytes ? QString() : extension;
}

bool isLocal(const TrackDetail& track)
{
    return !isYes(track.isICloudStreaming) && !isYes(track.isAppleMusic);
}

// The default order of a track list: artist, album, disc, track number.
bool defaultOrder(const TrackDetailPtr& a, const TrackDetailPtr& b)
{
    const int artist = QString::localeAwareCompare(a->artistForList(), b->artistForList());
    if (artist != 0)
        return artist < 0;
    const int album = QString::localeAwareCompare(a->album, b->album);
    if (album != 0)
        return album < 0;
    if (a->discNumber.value_or(0) != b->discNumber.value_or(0))
        return a->discNumber.value_or(0) < b->discNumber.value_or(0);
    return a->trackNumber.value_or(0) < b->trackNumber.value_or(0);
}

// The Part's match: a file track with the same name, artist, album and track
// number; an absent device value matches any present one.
bool matches(const Host::Track& candidate, const TrackDetail& track)
{
    auto same = [](const QString& device, const QString& library) {
        return device.isNull() || device == library;
    };
    return candidate.isFileTrack && same(track.trackName, candidate.name)
        && same(track.artist, candidate.artist) && same(track.album, candidate.album)
        && candidate.trackNumber == track.trackNumber.value_or(0);
}

std::optional<Host::TrackId> firstMatch(const QList<Host::Track>& tracks, const TrackDetail& track)
{
    for (const Host::Track& candidate : tracks)
        if (matches(candidate, track))
            return candidate.id;
    return std::nullopt;
}

} // namespace

struct QELTransferMusic::Run {
    std::atomic<bool> cancel{false};
    std::atomic<bool> replaced{false};
    bool prepared = false;
    QString mediaFolder;
    QSet<QString> claimedPaths;
    // The library file is written once a run, at its end (or its cancel),
    // not once a track: the tracks' files are whole on disk either way.
    std::atomic<bool> unwritten{false};
};

QELTransferMusic::QELTransferMusic(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferMusic::~QELTransferMusic()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run) {
            m_run->cancel = true;
            m_run->replaced = true;
        }
    }
    stopWorkers();
}

void QELTransferMusic::cancelCopy()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    QELCopy::cancelCopy();
}

QString QELTransferMusic::kindFolderForTrack(const TrackDetail& track)
{
    if (isYes(track.isPodcast))
        return QStringLiteral("Podcasts");
    if (isYes(track.isITunesU))
        return QStringLiteral("iTunes U");
    if (isYes(track.isVoiceMemo))
        return QStringLiteral("Voice Memos");
    if (isYes(track.isTVShow))
        return QStringLiteral("TV Shows");
    if (isYes(track.hasVideo))
        return QStringLiteral("Videos");
    if (isYes(track.isRingtone))
        return QStringLiteral("Ringtones");
    return QStringLiteral("Music");
}

MediaLibraryHost::TrackProperties QELTransferMusic::propertiesForTrack(const TrackDetail& track)
{
    Host::TrackProperties p;
    p.name = track.trackName.isNull() ? QStringLiteral("") : track.trackName;
    if (!track.artist.isNull())
        p.artist = track.artist;
    if (!track.album_artist.isNull())
        p.albumArtist = track.album_artist;
    else if (!track.artist.isNull())
        p.albumArtist = track.artist;
    if (isYes(track.isPodcast) && !track.album.isNull())
        p.show = track.album;
    if (!track.album.isNull())
        p.album = track.album;
    if (!track.genre.isNull())
        p.genre = isYes(track.isPodcast) || track.mediaKind == 4 ? QStringLiteral("Podcast")
                                                                 : track.genre;
    p.discCount = track.discCount;
    p.discNumber = track.discNumber;
    p.trackCount = track.trackCount;
    p.trackNumber = track.trackNumber;
    // No tempo: the device knows the bit rate, which is none.
    if (!track.descriptionLong.isNull())
        p.longDescription = track.descriptionLong;
    if (!track.descriptionShort.isNull())
        p.objectDescription = track.descriptionShort;
    p.seasonNumber = track.seasonNumber;
    if (isYes(track.hasVideo)) {
        switch (track.mediaKind.value_or(0)) {
        case 2:
            p.videoKind = Host::VideoKind::Movie;
            break;
        case 64:
            p.videoKind = Host::VideoKind::TVShow;
            if (!track.artist.isNull())
                p.show = track.artist;
            p.episodeNumber = track.trackNumber;
            break;
        case 32:
            p.videoKind = Host::VideoKind::MusicVideo;
            break;
        default:
            p.videoKind = Host::VideoKind::None;
            break;
        }
    }
    return p;
}

QVariantList QELTransferMusic::itemsForTransferOfTracksWithinPlaylists(
    QELDeviceMediaLibrary& library, const QList<TrackDetailPtr>& tracks,
    const QList<PlaylistPtr>& playlists)
{
    QSet<const TrackDetail*> chosen;
    for (const TrackDetailPtr& track : tracks)
        if (track && isLocal(*track))
            chosen.insert(track.get());
    QVariantList items;
    if (chosen.isEmpty())
        return items;
    const std::shared_ptr<QELMediaStore> store = library.managedObjectContext();
    for (const PlaylistPtr& playlist : playlists) {
        if (!playlist)
            continue;
        QList<TrackDetailPtr> members;
        for (const TrackDetailPtr& track : playlist->tracks())
            if (track && chosen.contains(track.get()))
                members.append(track);
        if (QELDeviceMediaLibrary::isPlaylistsToBeSorted(*playlist) && store) {
            // The device's order, from its order rows.
            QList<PlaylistOrderPtr> orders;
            {
                std::lock_guard guard(store->lock());
                orders = store->ordersForContainer(playlist->containerPID);
            }
            std::stable_sort(orders.begin(), orders.end(),
                             [](const PlaylistOrderPtr& a, const PlaylistOrderPtr& b) {
                                 return a->index < b->index;
                             });
            QList<TrackDetailPtr> ordered;
            for (const PlaylistOrderPtr& order : std::as_const(orders))
                if (order->relationshipTrack && members.contains(order->relationshipTrack)
                    && !ordered.contains(order->relationshipTrack))
                    ordered.append(order->relationshipTrack);
            // A member the order rows leave out still goes, after the others.
            QList<TrackDetailPtr> rest;
            for (const TrackDetailPtr& track : std::as_const(members))
                if (!ordered.contains(track))
                    rest.append(track);
            std::stable_sort(rest.begin(), rest.end(), defaultOrder);
            members = ordered + rest;
        } else {
            std::stable_sort(members.begin(), members.end(), defaultOrder);
        }
        const bool unnamed = isYes(playlist->isLibraryType) || isYes(playlist->isUserDefined);
        for (const TrackDetailPtr& track : std::as_const(members)) {
            QELTransferMusicItemDetail item(track);
            if (!unnamed)
                item.playlistName = playlist->name;
            items.append(QVariant::fromValue(item));
        }
    }
    return items;
}

QVariantList QELTransferMusic::itemsForBackUp(QELDeviceMediaLibrary& library,
                                              bool includingICloudItems)
{
    // The device's own playlists, in the order the music view lists them.
    QList<PlaylistPtr> own;
    for (const PlaylistPtr& playlist : library.playlists())
        if (!isYes(playlist->isUserDefined) && !isYes(playlist->smartIsGenius)
            && !isYes(playlist->smartIsDynamic) && !isYes(playlist->isReportType))
            own.append(playlist);
    const QList<TrackDetailPtr> tracks =
        library
            .trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                own, std::nullopt, std::nullopt, std::nullopt, QString(), includingICloudItems);
    return itemsForTransferOfTracksWithinPlaylists(library, tracks, own);
}

void QELTransferMusic::startCopy()
{
    auto run = std::make_shared<Run>();
    {
        std::lock_guard lock(m_mutex);
        if (m_run) {
            m_run->cancel = true;
            m_run->replaced = true;
        }
        m_run = run;
    }
    // Before the first item: the end of the run reads it.
    _copyType = 1;
    QELCopy::startCopy();
    // The bar follows the tracks' bytes when the library knows every size.
    quint64 bytes = 0;
    bool sized = true;
    for (const QVariant& queued : itemQueue()) {
        const TrackDetailPtr track = queued.value<QELTransferMusicItemDetail>().trackDetail.lock();
        sized = sized && track && track->fileSize && *track->fileSize >= 0;
        if (sized)
            bytes += static_cast<quint64>(*track->fileSize);
    }
    _setRunByteCount(sized ? bytes : 0);
    if (itemQueue().isEmpty()) {
        _callAllItemsCopiedDelegate();
        return;
    }
    _startTransferOfNextTrack(run);
}

void QELTransferMusic::_startTransferOfNextTrack(const std::shared_ptr<Run>& run)
{
    if (run->replaced)
        return;
    if (run->cancel || _isCancelled()) {
        finishRun(run);
        return;
    }
    const std::optional<QVariant> next = _getNextItemFromQueue();
    if (!next) {
        finishRun(run);
        return;
    }
    const QELTransferMusicItemDetail item = next->value<QELTransferMusicItemDetail>();
    const TrackDetailPtr track = item.trackDetail.lock();
    _setItemByteCount(
        track && track->fileSize ? static_cast<quint64>(std::max<qint64>(*track->fileSize, 0)) : 0);
    if (QELCopyDelegate* d = delegate()) {
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(track ? track->trackName : QString());
        args.setSenderClass(typeid(QELTransferMusic));
        d->OnItemCopyBeginEvent(_itemBeginArgs(args));
    }
    _startWorker([this, run, item] { _transferTrack(run, item); });
}

void QELTransferMusic::finishRun(const std::shared_ptr<Run>& run)
{
    // The library file is written on a worker, never on the GUI thread.
    if (run->unwritten.load()) {
        _startWorker([this, run] {
            writeLibrary(*run);
            _callAllItemsCopiedDelegate();
        });
        return;
    }
    _callAllItemsCopiedDelegate();
}

bool QELTransferMusic::writeLibrary(Run& run)
{
    if (!run.unwritten.exchange(false))
        return true;
    const std::shared_ptr<Host> host = mediaLibraryHost();
    if (host && host->flush())
        return true;
    qCWarning(lcOrvane) << "The music library's index could not be written";
    return false;
}

void QELTransferMusic::_currentTrackProcessed(const std::shared_ptr<Run>& run)
{
    if (run->replaced)
        return;
    if (!run->cancel && !_isCancelled() && !itemQueue().isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, run] { _startTransferOfNextTrack(run); }, Qt::QueuedConnection);
        return;
    }
    writeLibrary(*run);
    _callAllItemsCopiedDelegate();
}

void QELTransferMusic::_transferTrack(const std::shared_ptr<Run>& run,
                                      const QELTransferMusicItemDetail& item)
{
    QELCopyItemEndEventArgs end;
    const TrackDetailPtr track = item.trackDetail.lock();
    if (track) {
        end.setItemId(track->persistentID);
        end.setItemDescription(track->trackName);
        end.setStatusOK(transfer(*run, *track, item.playlistName));
    } else {
        qCInfo(lcOrvane) << "A track to transfer has gone from the media library";
    }
    if (run->replaced)
        return;
    if (!end.statusOK())
        _itemCouldNotBeCopied();
    // Always before the next item is posted: whoever records the end sees
    // every item of the run before its end.
    if (QELCopyDelegate* d = delegate())
        d->OnItemCopyEndEvent(end);
    _currentTrackProcessed(run);
}

bool QELTransferMusic::transfer(Run& run, const TrackDetail& track, const QString& playlistName)
{
    assertNotOnGuiThread();
    const std::shared_ptr<Host> host = mediaLibraryHost();
    if (!run.prepared) {
        // The first transfer makes the library it goes into.
        host->prepareLibrary();
        run.mediaFolder = host->mediaFolder();
        if (run.mediaFolder.isEmpty())
            run.mediaFolder = _getITunesLibraryPath();
        run.prepared = true;
    }
    _waitIfITUnesInterfaceBlocking();

    std::optional<Host::PlaylistId> library;
    std::optional<Host::PlaylistId> target;
    if (host->hasLibrarySource()) {
        library = host->libraryPlaylist();
        if (isYes(track.isPodcast)) {
            target = host->podcastsPlaylist();
        } else if (!playlistName.isEmpty()) {
            target = host->userPlaylistNamed(playlistName);
            if (!target)
                target = host->createUserPlaylist(playlistName);
            if (target && host->isSmart(*target))
                target = library;
        }
    }
    // The last item of the run writes the library; the others leave it to it.
    auto written = [this, &run] {
        run.unwritten = true;
        if (itemQueue().isEmpty() || run.cancel || _isCancelled())
            return writeLibrary(run);
        return true;
    };
    if (target && firstMatch(host->tracks(*target), track))
        return written();

    std::optional<Host::TrackId> added;
    const std::optional<Host::TrackId> inLibrary =
        library ? firstMatch(host->tracks(*library), track) : std::nullopt;
    if (inLibrary && target && target != library)
        return host->duplicate(*inLibrary, *target) && written();
    if (inLibrary) {
        added = inLibrary;
    } else {
        added = copyAndAdd(run, *host, track, target);
        if (added) {
            host->setProperties(*added, propertiesForTrack(track));
            if (!host->hasArtwork(*added))
                setCover(*host, *added, track);
        }
    }
    if (!added) {
        written();
        return false;
    }
    Host::TrackProperties played;
    played.playedCount = track.playCount;
    played.rating = track.userRating;
    if (track.datePlayed.isValid())
        played.playedDate = track.datePlayed;
    host->setProperties(*added, played);
    const bool ok = written();
    if (ok && library && itemQueue().isEmpty())
        host->reveal(*library);
    return ok;
}

std::optional<MediaLibraryHost::TrackId> QELTransferMusic::copyAndAdd(
    Run& run, MediaLibraryHost& host, const TrackDetail& track,
    std::optional<MediaLibraryHost::PlaylistId> target)
{
    QELDeviceInterface* device = _deviceInterface;
    if (run.mediaFolder.isEmpty() || !device || track.path.isEmpty()) {
        qCWarning(lcOrvane) << "Not transferred, no media folder or no device file:"
                            << track.trackName;
        return std::nullopt;
    }
    // Music lies at the top as the desktop's players expect; other kinds keep
    // a folder of their own so they do not mix with the albums.
    const QString kind = kindFolderForTrack(track);
    QString folder = run.mediaFolder;
    if (kind != QLatin1String("Music"))
        folder += QLatin1Char('/') + kind;
    for (const QString& level : {track.artistForList(), track.album}) {
        const QString safe = level.isEmpty() ? QString() : SafePath::fileName(level, nameRules());
        if (!safe.isEmpty())
            folder += QLatin1Char('/') + safe;
    }
    if (!QDir().mkpath(run.mediaFolder) || !SafePath::isInside(run.mediaFolder, folder)
        || !QDir().mkpath(folder) || !SafePath::isInside(run.mediaFolder, folder)) {
        qCWarning(lcOrvane) << "Not transferred, its folder would leave the media folder:"
                            << folder;
        return std::nullopt;
    }
    const QString extension =
        isYes(track.isRingtone) ? QStringLiteral("m4r") : extensionOf(track.path);
    SafePath::NameRules rules = nameRules();
    rules.maxBytes = SafePath::kDefaultMaxBytes - kNumberRoom - int(extension.toUtf8().size()) - 1;
    // "NN Title": the number keeps an album's files in its order.
    const QString number = track.trackNumber.value_or(0) > 0
        ? QStringLiteral("%1 ").arg(*track.trackNumber, 2, 10, QLatin1Char('0'))
        : QString();
    QString stem = SafePath::fileName(
        track.trackName.trimmed().isEmpty() ? QString() : number + track.trackName,
        number + track.persistentID, rules);
    if (stem.isEmpty())
        stem = QStringLiteral("Track");
    const qint64 deviceSize = deviceFileSize(*device, track.path);

    // A file already there is this track's only when it has the device
    // file's size; a stranger's file is never written into.
    QString path;
    bool alreadyThere = false;
    for (int number = 0; number <= kMaxNumber && path.isEmpty(); ++number) {
        QString name = number == 0 ? stem : QStringLiteral("%1 (%2)").arg(stem).arg(number);
        if (!extension.isEmpty())
            name += QLatin1Char('.') + extension;
        const QString candidate = folder + QLatin1Char('/') + name;
        if (run.claimedPaths.contains(candidate.toCaseFolded()))
            continue;
        const QFileInfo existing(candidate);
        if (existing.exists() || existing.isSymLink()) {
            if (!existing.isFile() || existing.isSymLink() || deviceSize < 0
                || existing.size() != deviceSize)
                continue;
            alreadyThere = true;
        }
        path = candidate;
    }
    if (path.isEmpty())
        return std::nullopt;
    run.claimedPaths.insert(path.toCaseFolded());

    if (!alreadyThere) {
        const QString temporary = AtomicFile::temporaryPathFor(path)
            + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
        if (!device->copyFileFromDeviceAtToLocalPath(track.path, temporary, &run.cancel)
            || (deviceSize >= 0 && QFileInfo(temporary).size() != deviceSize)) {
            QFile::remove(temporary);
            if (!run.cancel)
                qCWarning(lcOrvane)
                    << "Not transferred, the device file could not be read:" << track.path;
            return std::nullopt;
        }
        // Frames the library reads, written into the copy before it is placed.
        if (!track.album_artist.isEmpty() || !track.artist.isEmpty())
            QELTag::writeAlbumArtistToFile(track, temporary);
        if (isYes(track.isPodcast))
            QELTag::handleFileForPodcastToITunesWithDetails(temporary, track);
        // Synced before the library names it.
        AtomicFileBatch batch;
        QString error;
        if (!batch.place(temporary, path, &error) || !batch.commit(&error)) {
            qCWarning(lcOrvane) << "Not transferred, the copy could not be put in place:" << error;
            QFile::remove(temporary);
            return std::nullopt;
        }
    }
    const std::optional<Host::TrackId> added = host.addFile(path, target);
    if (!added)
        qCWarning(lcOrvane) << "The music library did not take" << path;
    return added;
}

void QELTransferMusic::setCover(MediaLibraryHost& host, MediaLibraryHost::TrackId id,
                                const TrackDetail& track)
{
    QELDeviceInterface* device = _deviceInterface;
    if (!device)
        return;
    QByteArray image;
    QString imagePath = QELArtworkITunesPurchases::getArtworkForPurchasedFileName(track.path);
    if (imagePath.isEmpty())
        imagePath = track.artworkPath;
    if (!imagePath.isEmpty() && device->fileExistsAtPath(imagePath)) {
        const qint64 size = deviceFileSize(*device, imagePath);
        if (size > 0 && size <= std::numeric_limits<quint32>::max()) {
            const std::optional<QByteArray> bytes =
                device->getDataContentsAtPathStartingAtPostisionForLength(imagePath, 0,
                                                                          quint32(size));
            if (bytes && !QImage::fromData(*bytes).isNull())
                image = *bytes;
        }
    }
    if (image.isEmpty()) {
        // The picture the view shows: the older database's artwork is keyed
        // by persistent id as well as by artwork id.
        const MusicArtwork::Result found = MusicArtwork::forTrack(track, device, _imageLibrary);
        if (!found.image.isNull()) {
            QBuffer buffer(&image);
            buffer.open(QIODevice::WriteOnly);
            found.image.save(&buffer, "PNG");
        }
    }
    if (!image.isEmpty() && !host.setArtwork(id, image))
        qCInfo(lcOrvane) << "The cover of" << track.trackName << "was not kept";
}
