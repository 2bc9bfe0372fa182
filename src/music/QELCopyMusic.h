// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include <QString>
#include <QStringList>

#include "QELCopy.h"
#include "QELTagMap.h"
#include "TrackDetail.h"

class QELDeviceInterface;

// Copies device tracks into a folder: each track lands in folders and under a
// name built from its tags by the Copy-to-Mac preferences, an untitled copy
// gets the track's tags and cover written into it, and when a playlist name
// is set a playlist file listing the copied tracks is written beside them.
//
// Queue items are TrackDetailPtr values (QVariant::fromValue). Tracks are
// copied one at a time, each on a worker of its own; the next one is started
// from the main thread. The begin event comes on the main thread, the end
// event of each track on its worker, the end of the run through the main
// thread with the number of tracks that were not copied.
//
// Every name from the device goes through SafePath, so no tag can place a file
// outside the chosen folder. A track's file is copied under a temporary name
// and renamed into place only when it is whole (and, with overwrite on, over
// the old file only then); a track counts as copied only when its file is
// there with the device file's size. The run's files are synced to disk once,
// at its end (cancelled or not); should that fail, they are taken back, the
// files they replaced put back, and they count as not copied.
class QELCopyMusic : public QELCopy {
    Q_OBJECT
public:
    // The folder levels and file-name segments of the Copy-to-Mac
    // preferences (codes as QELPreferences documents them), and whether an
    // existing file is replaced.
    struct CopyLayout {
        std::array<int, 3> folderLevels{1, 2, 0};
        std::array<int, 3> fileNameSegments{1, 0, 5};
        bool overwriteFiles = false;
        static CopyLayout fromPreferences();
    };

    explicit QELCopyMusic(QObject* parent = nullptr);
    // Stops the file in progress; the base class then waits for the worker.
    ~QELCopyMusic() override;

    // The playlist whose tracks are copied; empty: no playlist file. Read at
    // startCopy().
    QString playlistName() const;
    void setPlaylistName(const QString& name);

    // A layout that replaces the preferences for the next runs (tools that
    // copy with the defaults whatever the user chose); nothing: the preferences.
    void setCopyLayout(const std::optional<CopyLayout>& layout);

    // Starts a run with the preferences as they are now. Main thread.
    void startCopy() override;
    // Stops the run: the file being copied stops at its next block and leaves
    // nothing, no later track starts and no playlist file is written. Hides
    // QELCopy::cancelCopy, which stops only between tracks.
    void cancelCopy();

    // What the last run did, once its end has been reported: the files it
    // placed or found already there (absolute paths, in copy order), and the
    // playlist file it wrote (empty when none).
    QStringList copiedFiles() const;
    QString playlistFilePath() const;

    // The path of a track's copy below the base folder ("A/B/3-Song.m4a"),
    // every component made safe; never empty, never leaving the folder.
    static QString relativePathForTrack(const TrackDetail& track, const CopyLayout& layout);
    // A persistent ID as the playlist file's Track ID: signed 64-bit decimal,
    // else hexadecimal (an optional "0x", the 64 bits as they stand); nothing
    // for 0 or text that is neither.
    static std::optional<qint64> trackIdFromPersistentID(const QString& persistentID);

    // Texts of one folder level or file-name segment; nothing for a code that
    // names none or an attribute the track lacks.
    static std::optional<QString> _getFolderComponentForIndexFromTrckDetail(
        int code, const TrackDetail& track);
    static std::optional<QString> _getFileNameComponentForIndexFromTrckDetail(
        int code, const TrackDetail& track);

private:
    struct Run;

    void _startCopyOfNextTrack(const std::shared_ptr<Run>& run);
    // Worker side.
    void _copyTrack(const std::shared_ptr<Run>& run, const TrackDetailPtr& track);
    bool copyTrackFile(Run& run, const TrackDetail& track, QString* target);
    void addPlaylistEntry(Run& run, const TrackDetail& track, const QString& target);
    // The track's fields into a map for a file that carries no title.
    static void fillTagsFromTrack(QELTagMap& map, const TrackDetail& track);
    // A local image file of the cover the view shows for the track; empty when it has none.
    QString coverFileForTrack(const TrackDetail& track, const std::atomic<bool>& cancel);
    void finishRun(const std::shared_ptr<Run>& run);

    mutable std::mutex m_mutex; // guards the members below
    QString m_playlistName;
    std::optional<CopyLayout> m_layout;
    std::shared_ptr<Run> m_run;
};
