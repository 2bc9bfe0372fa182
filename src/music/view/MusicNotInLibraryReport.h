// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QList>
#include <QObject>

#include "Playlist.h"
#include "TrackDetail.h"
#include "WorkerThreads.h"

class QELDeviceMediaLibrary;
class QELITunesLibrary;

// The NOTINITUNES report: the device's local tracks that the computer's music
// library does not hold as local tracks (absent, or there only remotely). It
// runs on a worker of its own; progress and the result come back on the GUI
// thread. Starting while a run is going cancels that run and starts over
// once it has stopped, so only one run reads at a time and the last start
// is the one that answers.
class MusicNotInLibraryReport : public QObject {
    Q_OBJECT
public:
    explicit MusicNotInLibraryReport(QObject* parent = nullptr);
    // Cancels the run and waits for its worker.
    ~MusicNotInLibraryReport() override;

    // Reads the library's tracks and asks the index; a run that completes
    // gives `target` (when set) its tracks under the store's lock, then
    // answers. Index or target may be null.
    void start(std::shared_ptr<QELDeviceMediaLibrary> library,
               std::shared_ptr<QELITunesLibrary> index, PlaylistPtr target = nullptr);
    // The running run stops at its next track and reports nothing.
    void cancel();
    // A run has been started and has neither answered nor been cancelled.
    bool isRunning() const { return m_running; }

    // The report itself, for any thread: `total` tracks are looked at, each
    // counted through `progress` (every few tracks, and the last); empty and
    // false when `cancel` was set on the way. Without an index (or one that
    // could not be read) the report is complete and empty.
    struct Outcome {
        bool completed = false;
        QList<TrackDetailPtr> tracks;
    };
    static Outcome compute(const QList<TrackDetailPtr>& allTracks, const QELITunesLibrary* index,
                           const std::atomic<bool>& cancel,
                           const std::function<void(qint64 counter, qint64 total)>& progress);

signals:
    // Track `counter` of `total` is being looked at.
    void progressed(qint64 counter, qint64 total);
    // The report of the last start; never sent for a cancelled run.
    void finished(const QList<TrackDetailPtr>& tracks);

private:
    std::shared_ptr<std::atomic<bool>> m_cancel;
    bool m_running = false;
    quint64 m_generation = 0;
    // Held by a run for as long as it reads.
    std::shared_ptr<std::mutex> m_runMutex = std::make_shared<std::mutex>();
    WorkerThreads m_workers{QStringLiteral("The not-in-library report")};
};
