// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QList>
#include <QString>
#include <QStringList>

#include "Playlist.h"
#include "QELDeviceMediaLibraryEventsProtocol.h"
#include "QELMediaStore.h"
#include "TrackDetail.h"

class QELDeviceInterface;
class QELMediaLibraryReader;

// The media library of one connected device. Given the folder that holds the
// copies of the device's media databases, readMediaLibrary() picks the best
// database in a fixed order of preference (MediaLibrary.sqlitedb, its ".bak"
// copy, the Library.itdb set, the iTunesCDB, the iTunesDB), reads it into the
// media store, adds the ringtones, voice memos and kind playlists, and reports
// once to the delegate. Afterwards the queries below answer from that store.
//
// readMediaLibrary() blocks and runs on a worker thread; its events arrive on
// that thread. The queries may run on any thread; each takes the store's
// re-entrant lock. Objects returned stay valid after close().
class QELDeviceMediaLibrary : public QELDeviceMediaLibraryEventsProtocol {
public:
    explicit QELDeviceMediaLibrary(const QString& directoryContent);
    ~QELDeviceMediaLibrary() override;
    QELDeviceMediaLibrary(const QELDeviceMediaLibrary&) = delete;
    QELDeviceMediaLibrary& operator=(const QELDeviceMediaLibrary&) = delete;

    // The receiver of the progress, playlist-name and read-complete events;
    // not owned, it outlives the media library.
    void setDelegate(QELDeviceMediaLibraryEventsProtocol* delegate);

    // The device the copies came from, not owned; it outlives the read. With
    // it a successful read also gives each ringtone its device path and each
    // purchased track its artwork file, before the read-complete event.
    void setDeviceInterface(QELDeviceInterface* device) { m_device = device; }

    // Reads the library. Blocking, worker thread. Exactly one read-complete
    // event per read of an existing folder; none when the folder is missing.
    bool readMediaLibrary();
    // After a read that failed: each library file that was tried, with why it
    // could not be read ("MediaLibrary.sqlitedb: no such table: item"); empty
    // when none of the files was there.
    QStringList readFailures() const;
    // Asks the running reader to stop; it keeps what it has read. A reader
    // this library makes afterwards starts cancelled.
    void cancel();
    // Closes the store. Later reads answer false, queries answer empty. Any
    // thread, also from a read event: during a read the store is closed at
    // the read's end (which then reports failure), never under the reader.
    void close();

    std::shared_ptr<QELMediaStore> managedObjectContext() const;
    void setManagedObjectContext(const std::shared_ptr<QELMediaStore>& context);
    // The class name of the reader that holds the store ("" when none).
    QString readerName() const;

    // Queries. Without a successful read they answer empty results.
    QList<TrackDetailPtr> getAllTracks();
    bool isMediaLibraryEmpty(bool includingICloudItems);
    QList<PlaylistPtr> playlists();
    QStringList genresInPlaylistsWithCriteriaIncludingICloudItems(
        const QList<PlaylistPtr>& playlists, const QString& criteria, bool includingICloudItems);
    QStringList artistsInPlaylistsWithGenresWithCriteriaIncludingICloudItems(
        const QList<PlaylistPtr>& playlists, const std::optional<QStringList>& genres,
        const QString& criteria, bool includingICloudItems);
    QStringList albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
        const QList<PlaylistPtr>& playlists, const std::optional<QStringList>& genres,
        const std::optional<QStringList>& artists, const QString& criteria,
        bool includingICloudItems);
    // No playlist list: every visible playlist. Device order where it applies.
    QList<TrackDetailPtr>
    trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
        const std::optional<QList<PlaylistPtr>>& playlists,
        const std::optional<QStringList>& genres, const std::optional<QStringList>& artists,
        const std::optional<QStringList>& albums, const QString& criteria,
        bool includingICloudItems);
    QList<TrackDetailPtr> trackDetailsForPersistentIDs(
        const std::optional<QStringList>& persistentIDs);
    QList<TrackDetailPtr> trackDetailsForMissingPersistentIDs(
        const std::optional<QStringList>& persistentIDs);
    TrackDetailPtr trackDetailForPersistentID(const QString& persistentID);
    PlaylistPtr CreateNewUserDefinedPlaylistWithName(const QString& name);

    // True when a playlist keeps the device's order: none of isLibraryType,
    // isMaster, isHidden, isUserDefined, doesSmartRequireSorting is YES.
    static bool isPlaylistsToBeSorted(const Playlist& playlist);
    // The search filter: title, album or artist contains the text, ignoring
    // case and diacritics.
    static std::function<bool(const TrackDetail&)> _searchPredicate(const QString& criteria);
    static void _removeBlankTracks(QList<TrackDetailPtr>& tracks);
    // Gives a track with no title the name of its file.
    static void nameUntitledTracks(QELMediaStore& store);

    // Reader events: progress and playlist names are passed on; a reader's own
    // completion is not (the media library reports once, at the end).
    void OnDeviceMediaLibaryReadCompleteEvent(
        const DeviceMediaLibraryReadCompleteArguments& arguments) override;
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override;
    void OnDeviceMediaLibraryReadPlaylistName(const QString& name) override;

private:
    using Filter = std::function<bool(const TrackDetail&)>;
    static Filter makeFilter(const std::optional<QStringList>& genres,
                             const std::optional<QStringList>& artists,
                             const std::optional<QStringList>& albums, const QString& criteria,
                             bool includingICloudItems, bool* hasFilters);
    QStringList browseColumn(const QList<PlaylistPtr>& playlists, const Filter& filter,
                             const std::function<QString(const TrackDetail&)>& value,
                             const char* noun);
    std::shared_ptr<QELMediaLibraryReader> _mediaLibraryReader() const;
    void set_mediaLibraryReader(const std::shared_ptr<QELMediaLibraryReader>& reader);
    template <class R> std::shared_ptr<R> makeReader();
    bool runGuarded(const char* label, const std::function<bool()>& step);
    bool readITunesDatabases(const QString& folder);
    void addRingtonesAndVoiceMemos(const QString& folder,
                                   const std::shared_ptr<QELMediaLibraryReader>& reader);
    void completeFromDevice(const std::shared_ptr<QELMediaLibraryReader>& reader);

    QString _libraryDirectory;
    mutable std::mutex m_readerMutex;
    std::shared_ptr<QELMediaLibraryReader> m_reader;
    bool m_reading = false;
    bool m_closed = false;
    bool m_cancelled = false;
    std::vector<std::shared_ptr<QELMediaLibraryReader>> m_closeAfterRead;
    // Written by the read (under m_readerMutex), read by readFailures().
    QStringList m_readFailures;
    void noteReadFailure(const QString& file, const QString& reason);
    QELDeviceMediaLibraryEventsProtocol* _delegateObject = nullptr;
    QELDeviceInterface* m_device = nullptr;
    std::mutex _readLibraryLock;
};
