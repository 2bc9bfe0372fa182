// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

#include "QELITunesLibraryDelegate.h"
#include "WorkerThreads.h"

class MediaLibraryHost;

// The index of the computer's music library, as far as the device read needs
// it: a read of the library's XML file (found through the media library
// host) on a thread of its own that always ends with the read-complete event.
// It keeps only how many tracks the library lists; the track lookup of the
// music view comes with that view.
class QELITunesLibrary {
public:
    explicit QELITunesLibrary(std::shared_ptr<MediaLibraryHost> host);
    // Waits for running reads to end; the delegate must not block on this
    // thread meanwhile (see stop()).
    ~QELITunesLibrary();
    QELITunesLibrary(const QELITunesLibrary&) = delete;
    QELITunesLibrary& operator=(const QELITunesLibrary&) = delete;

    // Not owned.
    void setDelegate(QELITunesLibraryDelegate* delegate) { m_delegate.store(delegate); }
    QELITunesLibraryDelegate* delegate() const { return m_delegate.load(); }

    // Returns at once, never waiting for an earlier read (whose delegate may
    // be waiting for the calling thread); the read runs on a new thread and
    // ends by sending OnITunesLibraryLoadCompleteWithArguments to the
    // delegate from there. An earlier read that has not sent its event yet
    // no longer sends it.
    void startReadingITunesLibrary();
    // Ends the running reads without sending their events and waits for
    // their threads. Later reads may start again.
    void stop();

    bool isLibraryReadSuccessful() const { return m_isLibraryReadSuccessful.load(); }
    int trackCount() const { return m_trackCount.load(); }

private:
    void _threadedWorker(quint64 read);

    std::shared_ptr<MediaLibraryHost> m_host;
    std::atomic<QELITunesLibraryDelegate*> m_delegate{nullptr};
    std::atomic<bool> m_isLibraryReadSuccessful{false};
    // The number of the read whose event is still wanted; 0 after stop().
    std::atomic<quint64> m_currentRead{0};
    quint64 m_lastRead = 0;
    std::atomic<int> m_trackCount{0};
    std::mutex m_startMutex;
    WorkerThreads m_threads{QStringLiteral("A music library read")};
};
