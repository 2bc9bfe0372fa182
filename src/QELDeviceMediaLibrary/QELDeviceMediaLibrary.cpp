// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceMediaLibrary.h"

#include <algorithm>
#include <exception>

#include <QFileInfo>
#include <QSet>

#include "Log.h"
#include "QELArtworkITunesPurchases.h"
#include "QELMediaLibraryITunesCDBConvertor.h"
#include "QELMediaLibraryITunesDBReader.h"
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"
#include "QELMediaLibraryReader.h"
#include "QELMediaLibraryRingtonesReader.h"
#include "QELMediaLibrarySQLiteReader.h"
#include "QELMediaLibraryVoiceRecordingsReader.h"
#include "TextMatch.h"
#include "ThreadCheck.h"

namespace {

bool fileSizeAboveZero(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

// Optional flags sort below NO, NO below YES; descending puts YES first.
int flagRank(const std::optional<bool>& flag) { return flag ? (*flag ? 2 : 1) : 0; }

// Null texts sort below any text; texts compare by character code.
int compareTexts(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull())
        return (a.isNull() ? 0 : 1) - (b.isNull() ? 0 : 1);
    return a.compare(b, Qt::CaseSensitive);
}

} // namespace

QELDeviceMediaLibrary::QELDeviceMediaLibrary(const QString& directoryContent)
    : _libraryDirectory(directoryContent)
{
}

QELDeviceMediaLibrary::~QELDeviceMediaLibrary() = default;

void QELDeviceMediaLibrary::setDelegate(QELDeviceMediaLibraryEventsProtocol* delegate)
{
    _delegateObject = delegate;
}

std::shared_ptr<QELMediaLibraryReader> QELDeviceMediaLibrary::_mediaLibraryReader() const
{
    std::lock_guard<std::mutex> guard(m_readerMutex);
    return m_reader;
}

void QELDeviceMediaLibrary::set_mediaLibraryReader(
    const std::shared_ptr<QELMediaLibraryReader>& reader)
{
    std::lock_guard<std::mutex> guard(m_readerMutex);
    // A library closed during its read takes no reader any more; the read's
    // end closes what it made.
    if (m_closed) {
        if (reader)
            m_closeAfterRead.push_back(reader);
        return;
    }
    m_reader = reader;
}

std::shared_ptr<QELMediaStore> QELDeviceMediaLibrary::managedObjectContext() const
{
    std::shared_ptr<QELMediaLibraryReader> reader = _mediaLibraryReader();
    return reader ? reader->managedObjectContext() : nullptr;
}

void QELDeviceMediaLibrary::setManagedObjectContext(const std::shared_ptr<QELMediaStore>& context)
{
    if (std::shared_ptr<QELMediaLibraryReader> reader = _mediaLibraryReader())
        reader->setManagedObjectContext(context);
}

QString QELDeviceMediaLibrary::readerName() const
{
    std::shared_ptr<QELMediaLibraryReader> reader = _mediaLibraryReader();
    return reader ? reader->readerName() : QString();
}

void QELDeviceMediaLibrary::cancel()
{
    std::shared_ptr<QELMediaLibraryReader> reader;
    {
        // Sticky, so a reader that the read makes after this call (the next
        // database in the order of preference) starts cancelled too.
        std::lock_guard<std::mutex> guard(m_readerMutex);
        m_cancelled = true;
        reader = m_reader;
    }
    if (reader)
        reader->cancel();
}

void QELDeviceMediaLibrary::close()
{
    std::shared_ptr<QELMediaLibraryReader> reader;
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        reader = std::move(m_reader);
        m_reader.reset();
        m_closed = true;
        // A running read still fills the reader's store (this call may even
        // come from one of its events), so the store is closed when the read
        // ends, never under it. Nothing waits here: the GUI thread calls this
        // when a device leaves.
        if (m_reading) {
            m_cancelled = true;
            if (reader) {
                reader->cancel();
                m_closeAfterRead.push_back(std::move(reader));
            }
            return;
        }
    }
    if (reader)
        reader->close();
}

template <class R> std::shared_ptr<R> QELDeviceMediaLibrary::makeReader()
{
    QString folder;
    bool cancelled = false;
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        if (m_closed)
            return nullptr;
        folder = _libraryDirectory;
        cancelled = m_cancelled;
    }
    std::shared_ptr<R> reader(QELMediaLibraryReader::createWithLibraryDirectory<R>(folder));
    if (reader) {
        reader->setDelegate(this);
        if (cancelled)
            reader->cancel();
    }
    set_mediaLibraryReader(reader);
    return reader;
}

bool QELDeviceMediaLibrary::runGuarded(const char* label, const std::function<bool()>& step)
{
    try {
        return step();
    } catch (const std::exception& exception) {
        qCWarning(lcOrvane).noquote() << QStringLiteral("%1 : %2").arg(
            QString::fromLatin1(label), QString::fromUtf8(exception.what()));
        noteReadFailure(QString::fromLatin1(label), QString::fromUtf8(exception.what()));
    }
    return false;
}

void QELDeviceMediaLibrary::noteReadFailure(const QString& file, const QString& reason)
{
    std::lock_guard<std::mutex> guard(m_readerMutex);
    m_readFailures.append(QStringLiteral("%1: %2").arg(
        file, reason.isEmpty() ? QStringLiteral("it could not be read") : reason));
}

QStringList QELDeviceMediaLibrary::readFailures() const
{
    std::lock_guard<std::mutex> guard(m_readerMutex);
    return m_readFailures;
}

bool QELDeviceMediaLibrary::readMediaLibrary()
{
    assertNotOnGuiThread();
    QString folder;
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        folder = _libraryDirectory;
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    // One read at a time: the held reader is dropped only once this read owns the lock.
    std::lock_guard<std::mutex> readLock(_readLibraryLock);
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        if (m_closed)
            return false;
        m_reading = true;
        m_readFailures.clear();
    }
    set_mediaLibraryReader(nullptr);
    bool success = false;
    auto inFolder = [&folder](const char* name) {
        return folder + QLatin1Char('/') + QLatin1String(name);
    };

    // Reads one MediaLibrary.sqlitedb copy; a reader that failed is dropped.
    auto readSQLiteDB = [this](const char* name) {
        const bool read = runGuarded(name, [this, name] {
            auto reader = makeReader<QELMediaLibraryMediaLibrarySQLiteDBReader>();
            qCInfo(lcOrvane).noquote() << QStringLiteral("Using %1").arg(QLatin1String(name));
            if (!reader)
                return false;
            reader->setFilePath(QLatin1String(name));
            if (reader->readMediaLibrary())
                return true;
            noteReadFailure(QLatin1String(name), reader->failureReason());
            return false;
        });
        if (!read)
            set_mediaLibraryReader(nullptr);
        return read;
    };
    if (QFileInfo::exists(inFolder("MediaLibrary.sqlitedb")))
        success = readSQLiteDB("MediaLibrary.sqlitedb");
    if (!success && fileSizeAboveZero(inFolder("MediaLibrary.sqlitedb.bak")))
        success = readSQLiteDB("MediaLibrary.sqlitedb.bak");
    if (!success && fileSizeAboveZero(inFolder("Library.itdb"))) {
        success = runGuarded("Library.itdb", [this] {
            auto reader = makeReader<QELMediaLibrarySQLiteReader>();
            if (!reader)
                return false;
            const bool read = reader->readMediaLibrary();
            qCInfo(lcOrvane) << "Using Library.itdb";
            if (!read)
                noteReadFailure(QStringLiteral("Library.itdb"), reader->failureReason());
            return read;
        });
        if (!success)
            set_mediaLibraryReader(nullptr);
    }
    if (!success)
        success = readITunesDatabases(folder);

    std::shared_ptr<QELMediaLibraryReader> reader = _mediaLibraryReader();
    if (success && reader) {
        addRingtonesAndVoiceMemos(folder, reader);
        runGuarded("Library types", [&reader] {
            reader->addLibraryTypes();
            return true;
        });
        runGuarded("Track names", [&reader] {
            nameUntitledTracks(*reader->managedObjectContext());
            return true;
        });
        runGuarded("Device paths", [this, &reader] {
            completeFromDevice(reader);
            return true;
        });
    }
    if (!success)
        set_mediaLibraryReader(nullptr);

    // A close() that came during the read happens now, once nothing uses the store.
    std::vector<std::shared_ptr<QELMediaLibraryReader>> toClose;
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        m_reading = false;
        if (m_closed)
            success = false;
        toClose.swap(m_closeAfterRead);
    }
    for (const std::shared_ptr<QELMediaLibraryReader>& closed : toClose)
        closed->close();
    if (_delegateObject)
        _delegateObject->OnDeviceMediaLibaryReadCompleteEvent(
            DeviceMediaLibraryReadCompleteArguments(success, QString()));
    return success;
}

bool QELDeviceMediaLibrary::readITunesDatabases(const QString& folder)
{
    // The iTunesCDB is expanded into a file of its own, so the device's own
    // iTunesDB stays; when the conversion or its read fails, that iTunesDB is
    // read instead.
    const QString cdb = folder + QStringLiteral("/iTunesCDB");
    const QString db = folder + QStringLiteral("/iTunesDB");
    bool success = false;
    if (QFileInfo::exists(cdb)) {
        success = runGuarded("iTunesCDB / iTunesDB", [this, &cdb] {
            const QString converted = QELMediaLibraryITunesCDBConvertor::convertedPathFor(cdb);
            if (!QELMediaLibraryITunesCDBConvertor::ConvertITunesCDBToITunesDB(cdb, converted)) {
                qCWarning(lcOrvane) << "iTunesCDB could not be converted";
                noteReadFailure(
                    QStringLiteral("iTunesCDB"),
                    QStringLiteral("it could not be expanded (not a compressed iTunesDB)"));
                return false;
            }
            auto reader = makeReader<QELMediaLibraryITunesDBReader>();
            qCInfo(lcOrvane) << "Using processed iTunesCDB";
            if (!reader)
                return false;
            reader->setFilePath(QFileInfo(converted).fileName());
            if (reader->readMediaLibrary())
                return true;
            noteReadFailure(QStringLiteral("iTunesCDB"), reader->failureReason());
            return false;
        });
        if (!success)
            set_mediaLibraryReader(nullptr);
    }
    if (!success && QFileInfo::exists(db)) {
        success = runGuarded("iTunesCDB / iTunesDB", [this] {
            auto reader = makeReader<QELMediaLibraryITunesDBReader>();
            qCInfo(lcOrvane) << "Using iTunesDB";
            if (!reader)
                return false;
            reader->setFilePath(QStringLiteral("iTunesDB"));
            if (reader->readMediaLibrary())
                return true;
            noteReadFailure(QStringLiteral("iTunesDB"), reader->failureReason());
            return false;
        });
        if (!success)
            set_mediaLibraryReader(nullptr);
    }
    return success;
}

void QELDeviceMediaLibrary::addRingtonesAndVoiceMemos(
    const QString& folder, const std::shared_ptr<QELMediaLibraryReader>& reader)
{
    const QString ringtones = folder + QStringLiteral("/Ringtones.plist");
    if (QFileInfo::exists(ringtones)) {
        runGuarded("Ringtones.", [&] {
            QELMediaLibraryRingtonesReader().readRingtonesLibraryFromLocalPathIntoMediaLibrary(
                ringtones, reader.get());
            return true;
        });
    }
    const QString recordings = folder + QStringLiteral("/Recordings.db");
    if (QFileInfo::exists(recordings)) {
        runGuarded("Recordings.", [&] {
            QELMediaLibraryVoiceRecordingsReader().readRecordingsFromLocalPathIntoMediaLibrary(
                recordings, reader.get());
            return true;
        });
    }
}

void QELDeviceMediaLibrary::completeFromDevice(const std::shared_ptr<QELMediaLibraryReader>& reader)
{
    {
        std::lock_guard<std::mutex> guard(m_readerMutex);
        // A device that left takes no more calls.
        if (!m_device || m_cancelled || m_closed)
            return;
    }
    std::shared_ptr<QELMediaStore> store = reader->managedObjectContext();
    if (!store)
        return;
    std::lock_guard<std::recursive_mutex> storeGuard(store->lock());
    // Ringtones.plist names bare files; where they lie is asked of the device.
    QList<TrackDetailPtr> ringtones;
    for (const TrackDetailPtr& track : store->tracks()) {
        if (isYes(track->isRingtone))
            ringtones.append(track);
    }
    if (!ringtones.isEmpty())
        QELMediaLibraryRingtonesReader().resolveRingtonePaths(ringtones, *m_device);

    QELArtworkITunesPurchases::populateMusicLibraryWithPurchasedArtwork(m_device);
    for (const TrackDetailPtr& track : store->tracks()) {
        if (!track->artworkPath.isEmpty() || track->path.isEmpty())
            continue;
        const QString artwork =
            QELArtworkITunesPurchases::getArtworkForPurchasedFileName(track->path);
        if (!artwork.isEmpty())
            track->artworkPath = artwork;
    }
}

void QELDeviceMediaLibrary::OnDeviceMediaLibaryReadCompleteEvent(
    const DeviceMediaLibraryReadCompleteArguments&)
{
}

void QELDeviceMediaLibrary::OnDeviceMediaLibraryReadProgressEvent(const QString& progress)
{
    if (_delegateObject)
        _delegateObject->OnDeviceMediaLibraryReadProgressEvent(progress);
}

void QELDeviceMediaLibrary::OnDeviceMediaLibraryReadPlaylistName(const QString& name)
{
    if (_delegateObject)
        _delegateObject->OnDeviceMediaLibraryReadPlaylistName(name);
}

// ---- Queries ----

bool QELDeviceMediaLibrary::isPlaylistsToBeSorted(const Playlist& playlist)
{
    return !isYes(playlist.isLibraryType) && !playlist.isMaster && !playlist.isHidden
        && !isYes(playlist.isUserDefined) && !isYes(playlist.doesSmartRequireSorting);
}

std::function<bool(const TrackDetail&)> QELDeviceMediaLibrary::_searchPredicate(
    const QString& criteria)
{
    const QString needle = TextMatch::fold(criteria);
    return [needle](const TrackDetail& track) {
        return track.foldedTrackName().contains(needle) || track.foldedAlbum().contains(needle)
            || track.foldedArtist().contains(needle);
    };
}

void QELDeviceMediaLibrary::nameUntitledTracks(QELMediaStore& store)
{
    // A file without a title (a WAV or an untagged MP3 put on by another
    // program) is still the user's: it is listed and copied under its file
    // name rather than dropped as blank.
    std::lock_guard<std::recursive_mutex> guard(store.lock());
    for (const TrackDetailPtr& track : store.tracks()) {
        if (!track || !track->trackName.trimmed().isEmpty() || track->path.isEmpty()
            || isYes(track->isICloudStreaming))
            continue;
        const QString name = QFileInfo(track->path).completeBaseName();
        if (!name.isEmpty())
            track->trackName = name;
    }
}

void QELDeviceMediaLibrary::_removeBlankTracks(QList<TrackDetailPtr>& tracks)
{
    tracks.removeIf([](const TrackDetailPtr& track) { return !track || track->IsNil(); });
}

QELDeviceMediaLibrary::Filter QELDeviceMediaLibrary::makeFilter(
    const std::optional<QStringList>& genres, const std::optional<QStringList>& artists,
    const std::optional<QStringList>& albums, const QString& criteria, bool includingICloudItems,
    bool* hasFilters)
{
    std::vector<Filter> filters;
    // A list that was given filters even when it is empty: then nothing passes.
    if (genres) {
        const QSet<QString> set(genres->begin(), genres->end());
        filters.push_back(
            [set](const TrackDetail& t) { return !t.genre.isNull() && set.contains(t.genre); });
    }
    if (artists) {
        const QSet<QString> set(artists->begin(), artists->end());
        filters.push_back([set](const TrackDetail& t) {
            const QString listing = t.getArtistForListing();
            return !listing.isNull() && set.contains(listing);
        });
    }
    if (albums) {
        const QSet<QString> set(albums->begin(), albums->end());
        filters.push_back(
            [set](const TrackDetail& t) { return !t.album.isNull() && set.contains(t.album); });
    }
    if (!criteria.isEmpty())
        filters.push_back(_searchPredicate(criteria));
    if (!includingICloudItems)
        filters.push_back([](const TrackDetail& t) { return !isYes(t.isICloudStreaming); });
    if (hasFilters)
        *hasFilters = !filters.empty();
    return [filters = std::move(filters)](const TrackDetail& t) {
        for (const Filter& filter : filters) {
            if (!filter(t))
                return false;
        }
        return true;
    };
}

QList<TrackDetailPtr> QELDeviceMediaLibrary::getAllTracks()
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return {};
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    QList<TrackDetailPtr> tracks(store->tracks().begin(), store->tracks().end());
    _removeBlankTracks(tracks);
    return tracks;
}

bool QELDeviceMediaLibrary::isMediaLibraryEmpty(bool includingICloudItems)
{
    QList<TrackDetailPtr> tracks = getAllTracks();
    if (!includingICloudItems && !tracks.isEmpty())
        tracks.removeIf([](const TrackDetailPtr& t) { return isYes(t->isICloudStreaming); });
    return tracks.isEmpty();
}

QList<PlaylistPtr> QELDeviceMediaLibrary::playlists()
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return {};
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    QList<PlaylistPtr> result;
    for (const PlaylistPtr& playlist : store->playlists()) {
        if (!playlist->isHidden && !playlist->isMaster)
            result.append(playlist);
    }
    std::stable_sort(result.begin(), result.end(), [](const PlaylistPtr& a, const PlaylistPtr& b) {
        const int keysA[] = {flagRank(a->isLibraryType), flagRank(a->smartIsGenius),
                             flagRank(a->smartIsDynamic), flagRank(a->smartIsMix)};
        const int keysB[] = {flagRank(b->isLibraryType), flagRank(b->smartIsGenius),
                             flagRank(b->smartIsDynamic), flagRank(b->smartIsMix)};
        for (int i = 0; i < 4; ++i) {
            if (keysA[i] != keysB[i])
                return keysA[i] > keysB[i];
        }
        if (const int bySortName = compareTexts(a->sortName, b->sortName))
            return bySortName < 0;
        return compareTexts(a->name, b->name) < 0;
    });
    return result;
}

QStringList QELDeviceMediaLibrary::browseColumn(
    const QList<PlaylistPtr>& playlists, const Filter& filter,
    const std::function<QString(const TrackDetail&)>& value, const char* noun)
{
    QSet<QString> values;
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (store) {
        std::lock_guard<std::recursive_mutex> guard(store->lock());
        for (const PlaylistPtr& playlist : playlists) {
            if (!playlist)
                continue;
            for (const TrackDetailPtr& track : playlist->tracks()) {
                if (!filter(*track))
                    continue;
                const QString text = value(*track);
                if (!text.isEmpty())
                    values.insert(text);
            }
        }
    }
    QStringList sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseSensitive) < 0;
    });
    const qsizetype count = sorted.size();
    sorted.prepend(
        QStringLiteral("All (%1 %2%3)")
            .arg(count)
            .arg(QString::fromLatin1(noun), count == 1 ? QString() : QStringLiteral("s")));
    return sorted;
}

QStringList QELDeviceMediaLibrary::genresInPlaylistsWithCriteriaIncludingICloudItems(
    const QList<PlaylistPtr>& playlists, const QString& criteria, bool includingICloudItems)
{
    const Filter filter = makeFilter(std::nullopt, std::nullopt, std::nullopt, criteria,
                                     includingICloudItems, nullptr);
    return browseColumn(
        playlists, filter,
        [](const TrackDetail& t) {
            return t.genre == QLatin1String("(null)") ? QString() : t.genre;
        },
        "genre");
}

QStringList QELDeviceMediaLibrary::artistsInPlaylistsWithGenresWithCriteriaIncludingICloudItems(
    const QList<PlaylistPtr>& playlists, const std::optional<QStringList>& genres,
    const QString& criteria, bool includingICloudItems)
{
    const Filter filter =
        makeFilter(genres, std::nullopt, std::nullopt, criteria, includingICloudItems, nullptr);
    return browseColumn(
        playlists, filter,
        [](const TrackDetail& t) {
            // A track without an artist is not listed, whatever its album artist.
            return t.artist.isEmpty() ? QString() : t.getArtistForListing();
        },
        "artist");
}

QStringList QELDeviceMediaLibrary::
    albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
        const QList<PlaylistPtr>& playlists, const std::optional<QStringList>& genres,
        const std::optional<QStringList>& artists, const QString& criteria,
        bool includingICloudItems)
{
    const Filter filter =
        makeFilter(genres, artists, std::nullopt, criteria, includingICloudItems, nullptr);
    return browseColumn(
        playlists, filter, [](const TrackDetail& t) { return t.album; }, "album");
}

QList<TrackDetailPtr> QELDeviceMediaLibrary::
    trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
        const std::optional<QList<PlaylistPtr>>& playlists,
        const std::optional<QStringList>& genres, const std::optional<QStringList>& artists,
        const std::optional<QStringList>& albums, const QString& criteria,
        bool includingICloudItems)
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return {};
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    bool hasFilters = false;
    const Filter filter =
        makeFilter(genres, artists, albums, criteria, includingICloudItems, &hasFilters);
    const QList<PlaylistPtr> selected = playlists ? *playlists : this->playlists();
    QList<TrackDetailPtr> result;
    for (const PlaylistPtr& playlist : selected) {
        if (!playlist)
            continue;
        // The ids of the passing tracks matter only to a playlist in device order.
        const bool deviceOrder = isPlaylistsToBeSorted(*playlist) && criteria.isEmpty();
        QList<TrackDetailPtr> tracks;
        QSet<QString> ids;
        for (const TrackDetailPtr& track : playlist->tracks()) {
            if (!hasFilters || filter(*track)) {
                tracks.append(track);
                if (deviceOrder)
                    ids.insert(track->persistentID);
            }
        }
        if (tracks.isEmpty())
            continue;
        if (deviceOrder) {
            for (const PlaylistOrderPtr& order :
                 store->ordersForContainer(playlist->containerPID)) {
                if (order->relationshipTrack && ids.contains(order->persistentID))
                    result.append(order->relationshipTrack);
            }
        } else {
            result.append(tracks);
        }
    }
    return result;
}

QList<TrackDetailPtr> QELDeviceMediaLibrary::trackDetailsForPersistentIDs(
    const std::optional<QStringList>& persistentIDs)
{
    if (!persistentIDs)
        return {};
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return {};
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    // Through the store's index of ids: in store order, each track once.
    QList<TrackDetailPtr> result = store->tracksWithPersistentIDs(*persistentIDs);
    _removeBlankTracks(result);
    return result;
}

QList<TrackDetailPtr> QELDeviceMediaLibrary::trackDetailsForMissingPersistentIDs(
    const std::optional<QStringList>& persistentIDs)
{
    if (!persistentIDs)
        return {};
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return {};
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    const QSet<QString> known(persistentIDs->begin(), persistentIDs->end());
    QList<TrackDetailPtr> result;
    for (const TrackDetailPtr& track : store->tracks()) {
        if (!known.contains(track->persistentID))
            result.append(track);
    }
    _removeBlankTracks(result);
    return result;
}

TrackDetailPtr QELDeviceMediaLibrary::trackDetailForPersistentID(const QString& persistentID)
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    return store->firstTrackWithPersistentID(persistentID);
}

PlaylistPtr QELDeviceMediaLibrary::CreateNewUserDefinedPlaylistWithName(const QString& name)
{
    std::shared_ptr<QELMediaStore> store = managedObjectContext();
    if (!store)
        return nullptr;
    std::lock_guard<std::recursive_mutex> guard(store->lock());
    PlaylistPtr playlist = store->insertPlaylist();
    playlist->name = name;
    playlist->isUserDefined = true;
    playlist->playlistIconName = QStringLiteral("info");
    playlist->playlistIcon = QELMediaLibraryReader::playlistIconData(QStringLiteral("info"));
    return playlist;
}
