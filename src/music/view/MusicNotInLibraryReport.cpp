// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicNotInLibraryReport.h"

#include <QMetaObject>

#include "MusicViewModels.h"
#include "QELDeviceMediaLibrary.h"
#include "QELITunesLibrary.h"
#include "ThreadCheck.h"

MusicNotInLibraryReport::MusicNotInLibraryReport(QObject* parent)
    : QObject(parent)
{
}

MusicNotInLibraryReport::~MusicNotInLibraryReport()
{
    cancel();
    m_workers.stopAndJoinAll();
}

void MusicNotInLibraryReport::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    m_running = false;
    ++m_generation;
}

void MusicNotInLibraryReport::start(std::shared_ptr<QELDeviceMediaLibrary> library,
                                    std::shared_ptr<QELITunesLibrary> index, PlaylistPtr target)
{
    cancel();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_running = true;
    const quint64 generation = m_generation;
    m_workers.start([this, library = std::move(library), index = std::move(index),
                     target = std::move(target), cancel = m_cancel, runMutex = m_runMutex,
                     generation] {
        // A cancelled run still reading holds this until its next track.
        std::lock_guard<std::mutex> guard(*runMutex);
        if (cancel->load())
            return;
        // What the library holds now: a Copy to Music since the last read
        // may have made it or added to it.
        if (index)
            index->readITunesLibraryNow();
        const QList<TrackDetailPtr> all =
            library ? library->getAllTracks() : QList<TrackDetailPtr>();
        const Outcome outcome =
            compute(all, index.get(), *cancel, [this, generation](qint64 counter, qint64 total) {
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, counter, total] {
                        if (generation == m_generation && m_running)
                            emit progressed(counter, total);
                    },
                    Qt::QueuedConnection);
            });
        if (!outcome.completed)
            return;
        if (target && library) {
            // The store's queries read a playlist's tracks under its lock.
            const std::shared_ptr<QELMediaStore> store = library->managedObjectContext();
            std::unique_lock<std::recursive_mutex> guard;
            if (store)
                guard = std::unique_lock<std::recursive_mutex>(store->lock());
            target->setTracks(outcome.tracks);
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, tracks = outcome.tracks] {
                if (generation != m_generation || !m_running)
                    return;
                m_running = false;
                emit finished(tracks);
            },
            Qt::QueuedConnection);
    });
}

MusicNotInLibraryReport::Outcome MusicNotInLibraryReport::compute(
    const QList<TrackDetailPtr>& allTracks, const QELITunesLibrary* index,
    const std::atomic<bool>& cancel, const std::function<void(qint64, qint64)>& progress)
{
    Outcome outcome;
    if (!index || !index->isLibraryReadSuccessful()) {
        outcome.completed = !cancel.load();
        return outcome;
    }
    const qint64 total = allTracks.size();
    // A few hundred progress calls for the whole run, not one per track.
    const qint64 step = std::max<qint64>(1, total / 200);
    qint64 counter = 1;
    for (const TrackDetailPtr& track : allTracks) {
        if (progress && (counter % step == 0 || counter == 1 || counter == total))
            progress(counter, total);
        ++counter;
        if (cancel.load())
            return {};
        if (!MusicView::isLocalTrack(track.get()))
            continue;
        if (index->IsTrackPresentWithTitleArtistAlbumGenreTotalTime(track->trackName, track->artist,
                                                                    track->album, track->genre)
            != 1)
            outcome.tracks << track;
    }
    outcome.completed = !cancel.load();
    return outcome;
}
