// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyMusic.h"

#include <algorithm>
#include <limits>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QUrl>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "Locations.h"
#include "Log.h"
#include "MusicArtwork.h"
#include "OrderedDictionary.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELDeviceInterface.h"
#include "QELPreferences.h"
#include "QELTagLib.h"
#include "QELTagLibWriter.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace {

// Characters other systems refuse in names (a FAT stick, a shared folder), so
// the copied library can be carried anywhere.
const SafePath::NameRules& nameRules()
{
    static const SafePath::NameRules rules = [] {
        SafePath::NameRules r;
        r.alsoReplace = QStringLiteral("\\:*?\"<>|");
        return r;
    }();
    return rules;
}

// Room kept in a file name for " (9999)" when the name is taken.
constexpr int kNumberRoom = 7;
constexpr int kMaxNumber = 9999;
constexpr int kMaxExtensionBytes = 16;

std::optional<QString> present(const QString& text)
{
    return text.isNull() ? std::nullopt : std::optional<QString>(text);
}

std::optional<QString> present(const std::optional<qint64>& number)
{
    return number ? std::optional<QString>(QString::number(*number)) : std::nullopt;
}

std::optional<double> asDouble(const std::optional<qint64>& number)
{
    return number ? std::optional<double>(double(*number)) : std::nullopt;
}

// The device's size of a file: "st_size" over the file service, "NSFileSize"
// on a disk-mode volume; -1 when the device tells neither.
qint64 deviceFileSize(const QELDeviceInterface& device, const QString& path)
{
    const std::optional<QVariantMap> info = device.getFileInfo(path);
    if (!info)
        return -1;
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
    // A media file's extension is short; anything longer is no extension.
    const QString extension = SafePath::fileName(last.mid(dot + 1), nameRules());
    return extension.toUtf8().size() > kMaxExtensionBytes ? QString() : extension;
}

// The name of a copy without its extension, cut so a number still fits.
QString fileStem(const TrackDetail& track, const QELCopyMusic::CopyLayout& layout,
                 const QString& extension)
{
    QString name;
    for (int i = 0; i < 3; ++i) {
        const int code = layout.fileNameSegments[size_t(i)];
        if (code <= 0)
            continue;
        const std::optional<QString> value =
            QELCopyMusic::_getFileNameComponentForIndexFromTrckDetail(code, track);
        if (!value)
            continue;
        if (!name.isEmpty())
            name += QLatin1Char('-');
        name += *value;
    }
    SafePath::NameRules rules = nameRules();
    rules.maxBytes = SafePath::kDefaultMaxBytes - kNumberRoom - int(extension.toUtf8().size()) - 1;
    // No segment, or only ones that make no name ("..", control characters):
    // the persistent ID keeps the copy apart from every other track.
    QString stem = SafePath::fileName(name, track.persistentID, rules);
    if (stem.isEmpty())
        stem = QStringLiteral("Track");
    return stem;
}

QStringList folderComponents(const TrackDetail& track, const QELCopyMusic::CopyLayout& layout)
{
    QStringList components;
    for (int i = 0; i < 3; ++i) {
        const int code = layout.folderLevels[size_t(i)];
        if (code <= 0)
            continue;
        const std::optional<QString> value =
            QELCopyMusic::_getFolderComponentForIndexFromTrckDetail(code, track);
        if (!value || value->isEmpty())
            continue;
        // A value that gives no name ("..", only control characters) adds no level.
        const QString safe = SafePath::fileName(*value, nameRules());
        if (!safe.isEmpty())
            components.append(safe);
    }
    return components;
}

QString withExtension(const QString& stem, const QString& extension)
{
    return extension.isEmpty() ? stem : stem + QLatin1Char('.') + extension;
}

} // namespace

// What one run works with: taken when it starts, so a later change of the
// preferences or a new run never changes a running one. The fields below
// `cancel` are touched by one worker at a time (tracks never overlap), and
// read by the main thread only after the run's end was posted.
struct QELCopyMusic::Run {
    // A run dropped before its end (the job went with a track posted) keeps
    // what it copied: the batch would otherwise take the files back.
    ~Run()
    {
        if (!batch.placedFiles().isEmpty())
            batch.commit();
    }

    std::atomic<bool> cancel{false};
    // A newer run took over: this one sends nothing more.
    std::atomic<bool> replaced{false};
    QString base;
    QString playlistName;
    CopyLayout layout;

    // The run's files: each placed once whole, all synced to disk at the
    // run's end (one sync for the run costs a fraction of one per file).
    AtomicFileBatch batch;
    QSet<QString> claimedPaths; // case-folded targets handed out this run
    OrderedDictionary playlistTracks;
    QVariantList playlistItemIds;
    QSet<qint64> usedTrackIds;
    std::optional<qint64> largestTrackId;

    mutable std::mutex resultMutex;
    QStringList copiedFiles;
    QString playlistFile;
};

QELCopyMusic::CopyLayout QELCopyMusic::CopyLayout::fromPreferences()
{
    CopyLayout layout;
    layout.folderLevels = {QELPreferences::CopyToMacFolderLevelOne(),
                           QELPreferences::CopyToMacFolderLevelTwo(),
                           QELPreferences::CopyToMacFolderLevelThree()};
    layout.fileNameSegments = {QELPreferences::CopyToMacFileNameSegmentOne(),
                               QELPreferences::CopyToMacFileNameSegmentTwo(),
                               QELPreferences::CopyToMacFileNameSegmentThree()};
    layout.overwriteFiles = QELPreferences::CopyToMacOverwriteFiles();
    return layout;
}

QELCopyMusic::QELCopyMusic(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyMusic::~QELCopyMusic()
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

QString QELCopyMusic::playlistName() const
{
    std::lock_guard lock(m_mutex);
    return m_playlistName;
}

void QELCopyMusic::setPlaylistName(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_playlistName = name;
}

QStringList QELCopyMusic::copiedFiles() const
{
    std::lock_guard lock(m_mutex);
    if (!m_run)
        return {};
    std::lock_guard results(m_run->resultMutex);
    return m_run->copiedFiles;
}

QString QELCopyMusic::playlistFilePath() const
{
    std::lock_guard lock(m_mutex);
    if (!m_run)
        return {};
    std::lock_guard results(m_run->resultMutex);
    return m_run->playlistFile;
}

void QELCopyMusic::setCopyLayout(const std::optional<CopyLayout>& layout)
{
    std::lock_guard lock(m_mutex);
    m_layout = layout;
}

void QELCopyMusic::cancelCopy()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    QELCopy::cancelCopy();
}

std::optional<QString> QELCopyMusic::_getFolderComponentForIndexFromTrckDetail(
    int code, const TrackDetail& track)
{
    switch (code) {
    case 1: {
        // The listing artist exists as soon as either artist does.
        if (track.artist.isNull() && track.album_artist.isNull())
            return std::nullopt;
        return track.artistForList();
    }
    case 2:
        return present(track.album);
    case 3:
        return present(track.genre);
    default:
        return std::nullopt;
    }
}

std::optional<QString> QELCopyMusic::_getFileNameComponentForIndexFromTrckDetail(
    int code, const TrackDetail& track)
{
    switch (code) {
    case 1:
        return present(track.trackNumber);
    case 2:
        return present(track.trackCount);
    case 3:
        return present(track.discNumber);
    case 4:
        return present(track.discCount);
    case 5:
        return present(track.trackName);
    case 6:
    case 7:
    case 8:
        return _getFolderComponentForIndexFromTrckDetail(code - 5, track);
    default:
        return std::nullopt;
    }
}

QString QELCopyMusic::relativePathForTrack(const TrackDetail& track, const CopyLayout& layout)
{
    const QString extension = extensionOf(track.path);
    QStringList components = folderComponents(track, layout);
    components.append(withExtension(fileStem(track, layout, extension), extension));
    return components.join(QLatin1Char('/'));
}

std::optional<qint64> QELCopyMusic::trackIdFromPersistentID(const QString& persistentID)
{
    const QString text = persistentID.trimmed();
    bool ok = false;
    const qint64 decimal = text.toLongLong(&ok, 10);
    if (ok)
        return decimal == 0 ? std::nullopt : std::optional<qint64>(decimal);
    QString hex = text;
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    const quint64 value = hex.toULongLong(&ok, 16);
    if (!ok || value == 0)
        return std::nullopt;
    // All 64 bits as they stand: two IDs never meet by rounding or saturation.
    return static_cast<qint64>(value);
}

void QELCopyMusic::startCopy()
{
    auto run = std::make_shared<Run>();
    run->base = baseCopyPath();
    {
        std::lock_guard lock(m_mutex);
        run->layout = m_layout ? *m_layout : CopyLayout::fromPreferences();
        run->playlistName = m_playlistName;
        if (m_run) {
            m_run->cancel = true;
            m_run->replaced = true;
        }
        m_run = run;
    }
    // Before the first track: the end of the run reads it.
    _copyType = 0;
    QELCopy::startCopy();
    // The bar follows the tracks' bytes when the library knows every size.
    quint64 bytes = 0;
    bool sized = true;
    for (const QVariant& item : itemQueue()) {
        const TrackDetailPtr track = item.value<TrackDetailPtr>();
        sized = sized && track && track->fileSize && *track->fileSize >= 0;
        if (sized)
            bytes += static_cast<quint64>(*track->fileSize);
    }
    _setRunByteCount(sized ? bytes : 0);
    if (run->base.isEmpty() || itemQueue().isEmpty()) {
        // Nothing to do still ends the run, so the view never waits for it.
        if (run->base.isEmpty() && !itemQueue().isEmpty())
            qCWarning(lcOrvane) << "No folder to copy the tracks into";
        _callAllItemsCopiedDelegate();
        return;
    }
    _startCopyOfNextTrack(run);
}

void QELCopyMusic::_startCopyOfNextTrack(const std::shared_ptr<Run>& run)
{
    // The end of the run syncs its files: never on this thread.
    if (run->replaced || run->cancel || _isCancelled()) {
        _startWorker([this, run] { finishRun(run); });
        return;
    }
    std::optional<QVariant> item = _getNextItemFromQueue();
    if (!item) {
        _startWorker([this, run] { finishRun(run); });
        return;
    }
    TrackDetailPtr track = item->value<TrackDetailPtr>();
    _setItemByteCount(
        track && track->fileSize ? static_cast<quint64>(std::max<qint64>(*track->fileSize, 0)) : 0);
    if (QELCopyDelegate* d = delegate()) {
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(track ? track->trackName : QString());
        args.setSenderClass(typeid(QELCopyMusic));
        d->OnItemCopyBeginEvent(_itemBeginArgs(args));
    }
    _startWorker([this, run, track] { _copyTrack(run, track); });
}

void QELCopyMusic::_copyTrack(const std::shared_ptr<Run>& run, const TrackDetailPtr& track)
{
    QELCopyItemEndEventArgs end;
    QString target;
    if (track) {
        end.setItemDescription(track->trackName);
        end.setItemId(track->persistentID);
        end.setStatusOK(copyTrackFile(*run, *track, &target));
    } else {
        qCWarning(lcOrvane) << "A queued item of the music copy is no track";
    }
    if (run->replaced) {
        finishRun(run);
        return;
    }
    if (!end.statusOK())
        _itemCouldNotBeCopied();
    if (QELCopyDelegate* d = delegate())
        d->OnItemCopyEndEvent(end);
    // A track that was not copied has no file for the playlist to name.
    if (track && end.statusOK() && !run->playlistName.isEmpty())
        addPlaylistEntry(*run, *track, target);

    if (!run->cancel && !_isCancelled() && !itemQueue().isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, run] { _startCopyOfNextTrack(run); }, Qt::QueuedConnection);
        return;
    }
    finishRun(run);
}

void QELCopyMusic::finishRun(const std::shared_ptr<Run>& run)
{
    // A cancelled run writes no playlist: it would list only part of it.
    if (!run->replaced && !run->cancel && !_isCancelled() && !run->playlistName.isEmpty()) {
        OrderedDictionary playlist;
        playlist.setObjectForKey(run->playlistName, QStringLiteral("Name"));
        playlist.setObjectForKey(true, QStringLiteral("All Items"));
        playlist.setObjectForKey(run->playlistItemIds, QStringLiteral("Playlist Items"));
        OrderedDictionary root;
        root.setObjectForKey(QVariant::fromValue(run->playlistTracks), QStringLiteral("Tracks"));
        root.setObjectForKey(QVariantList{QVariant::fromValue(playlist)},
                             QStringLiteral("Playlists"));

        QString path;
        if (run->layout.overwriteFiles) {
            const QString name =
                SafePath::fileName(run->playlistName, QStringLiteral("Playlist"), [] {
                    SafePath::NameRules rules = nameRules();
                    rules.maxBytes -= 4;
                    return rules;
                }());
            path = run->base + QLatin1Char('/') + name + QStringLiteral(".xml");
        } else {
            SafePath::UniqueNamer namer(run->base, SafePath::Numbering::Parenthesised,
                                        SafePath::Taken::InFolder, nameRules());
            path = namer.claimPath(run->playlistName, QStringLiteral("xml"),
                                   QStringLiteral("Playlist"));
        }
        QString error;
        if (path.isEmpty() || !QDir().mkpath(run->base)
            || !run->batch.write(path, root.propertyListData(), &error)) {
            qCWarning(lcOrvane) << "Error saving XML file for playlist" << path << error;
        } else {
            std::lock_guard results(run->resultMutex);
            run->playlistFile = path;
        }
    }
    QString error;
    if (!run->batch.commit(&error)) {
        // Files that cannot be made to last are taken back, and the files
        // they replaced put back: the run counts them as not copied.
        qCWarning(lcOrvane) << "The copied tracks could not be written to disk:" << error;
        const QStringList placed = run->batch.placedFiles();
        run->batch.abandon();
        std::lock_guard results(run->resultMutex);
        for (const QString& file : placed) {
            if (file == run->playlistFile)
                run->playlistFile.clear();
            else if (run->copiedFiles.removeAll(file) > 0 && !run->replaced)
                _itemCouldNotBeCopied();
        }
    }
    if (!run->replaced)
        _callAllItemsCopiedDelegate();
}

bool QELCopyMusic::copyTrackFile(Run& run, const TrackDetail& track, QString* targetOut)
{
    assertNotOnGuiThread();
    QELDeviceInterface* device = _deviceInterface;
    if (!device || track.path.isEmpty()) {
        qCWarning(lcOrvane) << "Not copied, no device file:" << track.trackName;
        return false;
    }
    const QString extension = extensionOf(track.path);
    const QStringList components = folderComponents(track, run.layout);
    const QString folder = components.isEmpty()
        ? run.base
        : run.base + QLatin1Char('/') + components.join(QLatin1Char('/'));
    const QString stem = fileStem(track, run.layout, extension);
    const qint64 deviceSize = deviceFileSize(*device, track.path);

    // Judged before and after the folders are made: a link in the chosen
    // folder must not lead the copy elsewhere.
    if (!QDir().mkpath(run.base) || !SafePath::isInside(run.base, folder) || !QDir().mkpath(folder)
        || !SafePath::isInside(run.base, folder)) {
        qCWarning(lcOrvane) << "Not copied, cannot make the folder inside the chosen one:"
                            << folder;
        return false;
    }

    // A name that this run gave out is another track's; a file that is
    // there already is replaced only with overwrite on, kept as this track's
    // copy only when it has the device file's size, else passed by.
    QString target;
    bool alreadyThere = false;
    for (int number = 0; number <= kMaxNumber && target.isEmpty(); ++number) {
        const QString name = withExtension(
            number == 0 ? stem : QStringLiteral("%1 (%2)").arg(stem).arg(number), extension);
        const QString candidate = folder + QLatin1Char('/') + name;
        if (run.claimedPaths.contains(candidate.toCaseFolded()))
            continue;
        const QFileInfo existing(candidate);
        if (existing.exists() || existing.isSymLink()) {
            if (!existing.isFile() || existing.isSymLink())
                continue;
            if (!run.layout.overwriteFiles) {
                if (deviceSize < 0 || existing.size() != deviceSize)
                    continue;
                alreadyThere = true;
            }
        }
        target = candidate;
    }
    if (target.isEmpty()) {
        qCWarning(lcOrvane) << "Not copied, no free name in" << folder << "for" << stem;
        return false;
    }
    run.claimedPaths.insert(target.toCaseFolded());
    *targetOut = target;
    if (alreadyThere) {
        std::lock_guard results(run.resultMutex);
        run.copiedFiles.append(target);
        return true;
    }

    // TagLib tells the kinds apart by the extension, so the copy keeps it.
    const QString temporary = AtomicFile::temporaryPathFor(target)
        + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
    auto fetch = [&] {
        if (!device->copyFileFromDeviceAtToLocalPath(track.path, temporary, &run.cancel))
            return false;
        if (deviceSize >= 0 && QFileInfo(temporary).size() != deviceSize) {
            qCWarning(lcOrvane) << "Not copied, the copy of" << track.path << "is"
                                << QFileInfo(temporary).size() << "bytes, not" << deviceSize;
            QFile::remove(temporary);
            return false;
        }
        return true;
    };
    if (!fetch()) {
        QFile::remove(temporary);
        if (!run.cancel)
            qCWarning(lcOrvane) << "Not copied, the device file could not be read:" << track.path;
        return false;
    }

    // Tags and cover, into the copy before it is placed: only a file this run
    // made is ever changed; its tags only when it carries no title, its cover
    // (the one the view shows) only when it has none. A kind the writers do
    // not know is copied as it is, and a retagged copy that does not read back
    // whole gives way to the device's own file.
    try {
        if (QELTagLib::canWriteTagsOfFileAtPath(temporary)) {
            const QELTagLib tagLib;
            const QELTagMap held = tagLib.loadTagsFromFileAtPath(temporary);
            QELTagMap map;
            bool write = false;
            if (held.TrackName().isEmpty()) {
                map = held;
                fillTagsFromTrack(map, track);
                write = true;
            }
            map.setArtworkState(QELTagMap::kArtworkNone);
            if (held.Artwork().isNull()) {
                const QString cover = coverFileForTrack(track, run.cancel);
                if (!cover.isEmpty()) {
                    map.setArtworkPath(cover);
                    map.setArtworkState(QELTagMap::kArtworkEmbed);
                    write = true;
                }
            }
            if (write && !QELTagLib::writeTagsAndReadBack(temporary, map)) {
                qCWarning(lcOrvane) << "Failed to save tags to copied file" << target;
                QFile::remove(temporary);
                if (!fetch()) {
                    QFile::remove(temporary);
                    return false;
                }
            }
        }
    } catch (const std::exception& e) {
        qCWarning(lcOrvane) << "Tags of" << target << "not written:" << e.what();
    }

    if (run.cancel && !QFileInfo(temporary).isFile())
        return false;
    QString error;
    if (!run.batch.place(temporary, target, &error)) {
        qCWarning(lcOrvane) << "Not copied, the copy could not be put in place:" << error;
        QFile::remove(temporary);
        return false;
    }
    std::lock_guard results(run.resultMutex);
    run.copiedFiles.append(target);
    return true;
}

void QELCopyMusic::fillTagsFromTrack(QELTagMap& map, const TrackDetail& track)
{
    auto nonEmpty = [](const QString& text) { return !text.isEmpty(); };
    if (nonEmpty(track.trackName))
        map.setTrackName(track.trackName);
    if (nonEmpty(track.album))
        map.setAlbumName(track.album);
    const QString artist = nonEmpty(track.artist) ? track.artist : track.album_artist;
    if (nonEmpty(artist))
        map.setArtistName(artist);
    const QString albumArtist = nonEmpty(track.album_artist) ? track.album_artist : track.artist;
    if (nonEmpty(albumArtist))
        map.setAlbumArtist(albumArtist);
    if (nonEmpty(track.genre))
        map.setGenre(track.genre);
    if (track.year && *track.year != 0)
        map.setReleaseYear(double(*track.year));
    if (nonEmpty(track.composer))
        map.setComposer(track.composer);
    map.setTrackNumber(asDouble(track.trackNumber));
    map.setTrackTotal(asDouble(track.trackCount));
    map.setDiscNumber(asDouble(track.discNumber));
    map.setDiscTotal(asDouble(track.discCount));
}

QString QELCopyMusic::coverFileForTrack(const TrackDetail& track, const std::atomic<bool>& cancel)
{
    QELDeviceInterface* device = _deviceInterface;
    if (!device)
        return {};
    const QString cache = Locations::temporaryFolder() + QStringLiteral("/artwork");
    // The track's own cover file is taken as its bytes stand. Keyed by the
    // whole device path: two covers of one file name in different folders
    // are different covers.
    if (!track.artworkPath.isEmpty() && device->fileExistsAtPath(track.artworkPath)) {
        const QString e = extensionOf(track.artworkPath);
        const QString cover = cache + QLatin1Char('/')
            + QString::fromLatin1(QCryptographicHash::hash(track.artworkPath.toUtf8(),
                                                           QCryptographicHash::Sha1)
                                      .toHex())
            + (e.isEmpty() ? QString() : QLatin1Char('.') + e);
        if (!QFileInfo::exists(cover) && QDir().mkpath(cache))
            device->copyFileFromDeviceAtToLocalPath(track.artworkPath, cover, &cancel);
        if (QFileInfo(cover).isFile() && !QImage(cover).isNull())
            return cover;
    }
    // Else the picture the view shows: the artwork database's image by
    // artwork id or persistent id, or the store purchase's artwork.
    const MusicArtwork::Result found = MusicArtwork::forTrack(track, device, _imageLibrary);
    if (found.image.isNull())
        return {};
    const QString cover = cache + QLatin1Char('/')
        + QString::fromLatin1(QCryptographicHash::hash(
                                  (track.persistentID + QLatin1Char('/')
                                   + QString::number(track.artworkId.value_or(0)))
                                      .toUtf8(),
                                  QCryptographicHash::Sha1)
                                  .toHex())
        + QStringLiteral(".png");
    if (QFileInfo(cover).isFile() || (QDir().mkpath(cache) && found.image.save(cover, "PNG")))
        return cover;
    return {};
}

void QELCopyMusic::addPlaylistEntry(Run& run, const TrackDetail& track, const QString& target)
{
    std::optional<qint64> trackId = trackIdFromPersistentID(track.persistentID);
    // Two tracks never share an entry: a missing or taken ID gets the next
    // number above the largest one used.
    if (!trackId || run.usedTrackIds.contains(*trackId)) {
        qint64 next = run.largestTrackId ? *run.largestTrackId : 0;
        do {
            next = next == std::numeric_limits<qint64>::max() ? 1 : next + 1;
        } while (run.usedTrackIds.contains(next));
        trackId = next;
    }
    run.usedTrackIds.insert(*trackId);
    run.largestTrackId = std::max(run.largestTrackId.value_or(*trackId), *trackId);

    OrderedDictionary entry;
    auto setText = [&](const QString& value, const char* key) {
        if (!value.isEmpty())
            entry.setObjectForKey(value, QLatin1String(key));
    };
    auto setNumber = [&](const std::optional<qint64>& value, const char* key) {
        if (value)
            entry.setObjectForKey(*value, QLatin1String(key));
    };
    entry.setObjectForKey(*trackId, QStringLiteral("Track ID"));
    setText(track.trackName, "Name");
    setText(track.artist, "Artist");
    setText(track.album, "Album");
    setText(track.album_artist, "Album Artist");
    entry.setObjectForKey(QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded),
                          QStringLiteral("Location"));
    setText(track.genre, "Genre");
    setNumber(track.discNumber, "Disc Number");
    setNumber(track.discCount, "Disc Count");
    setNumber(track.trackNumber, "Track Number");
    setNumber(track.trackCount, "Track Count");
    setNumber(track.year, "Year");
    setNumber(track.playCount, "Play Count");
    run.playlistTracks.setObjectForKey(QVariant::fromValue(entry), QString::number(*trackId));
    run.playlistItemIds.append(QVariantMap{{QStringLiteral("Track ID"), *trackId}});
}
