// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QList>
#include <QString>
#include <QVariantList>

#include "MediaLibraryHost.h"
#include "Playlist.h"
#include "QELCopy.h"
#include "QELTransferMusicItemDetail.h"
#include "TrackDetail.h"

class QELDeviceMediaLibrary;

// Transfers device tracks into the computer's music library (the job's
// MediaLibraryHost): a track the target playlist holds already is left
// alone, one the library holds is put into the target playlist, any other is
// copied into the library's media folder under "<kind>/<artist>/<album>/",
// added, and given the device's properties and cover.
//
// Queue items are QELTransferMusicItemDetail values. One item at a time, each
// on a worker of its own, the next started from the main thread; every call
// to the host is made on the worker. The library is made when none exists.
// Names from the device go through SafePath: nothing lands outside the
// media folder. A file already at the computed name is taken for the track
// only when it has the device file's size; otherwise the copy gets " (n)".
class QELTransferMusic : public QELCopy {
    Q_OBJECT
public:
    explicit QELTransferMusic(QObject* parent = nullptr);
    ~QELTransferMusic() override;

    void startCopy() override;
    // Stops the file being copied and the run (no later item starts).
    void cancelCopy();

    // The items of a transfer of `tracks` within `playlists`: per playlist,
    // in order, its tracks that are among `tracks` (in the device's order when
    // the playlist keeps one, else by artist, album, disc and track number),
    // each with the playlist's name unless it is a library-kind list or one
    // the program made. A track in several playlists gives one item each.
    // Only local tracks (not iCloud-only, not Apple Music) are taken.
    static QVariantList itemsForTransferOfTracksWithinPlaylists(
        QELDeviceMediaLibrary& library, const QList<TrackDetailPtr>& tracks,
        const QList<PlaylistPtr>& playlists);
    // The items of a back-up of the whole library: every track of the
    // device's own playlists (library-kind lists included; not genius,
    // dynamic or the program's), playlist by playlist.
    static QVariantList itemsForBackUp(QELDeviceMediaLibrary& library, bool includingICloudItems);

    // The kind folder of the media folder a track goes in ("Podcasts",
    // "iTunes U", "Voice Memos", "TV Shows", "Videos", "Ringtones", "Music").
    static QString kindFolderForTrack(const TrackDetail& track);
    // The properties an added track gets from the device's.
    static MediaLibraryHost::TrackProperties propertiesForTrack(const TrackDetail& track);

private:
    struct Run;
    void _startTransferOfNextTrack(const std::shared_ptr<Run>& run);
    void _transferTrack(const std::shared_ptr<Run>& run, const QELTransferMusicItemDetail& item);
    bool transfer(Run& run, const TrackDetail& track, const QString& playlistName);
    std::optional<MediaLibraryHost::TrackId> copyAndAdd(
        Run& run, MediaLibraryHost& host, const TrackDetail& track,
        std::optional<MediaLibraryHost::PlaylistId> target);
    void setCover(MediaLibraryHost& host, MediaLibraryHost::TrackId id, const TrackDetail& track);
    void finishRun(const std::shared_ptr<Run>& run);
    // Writes the library file when the run added to it; false when that failed.
    bool writeLibrary(Run& run);
    void _currentTrackProcessed(const std::shared_ptr<Run>& run);

    std::mutex m_mutex; // guards m_run
    std::shared_ptr<Run> m_run;
};
