// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "QELITunesLibraryDelegate.h"

class MediaLibraryHost;

// The index of the computer's music library, as far as the device read needs
// it: a read of the library's XML file (found through the media library
// host) on a thread of its own that always ends with the read-complete event.
// It keeps only how many tracks the library lists; the track lookup of the
// music view comes with that view.
class QELITunesLibrary {
public:
    explicit QELITunesLibrary(std::shared_ptr<MediaLibraryHost> host);
    // Waits for a running read to end; the delegate must not block on this
    // thread meanwhile (see stop()).
    ~QELITunesLibrary();
    QELITunesLibrary(const QELITunesLibrary&) = delete;
    QELITunesLibrary& operator=(const QELITunesLibrary&) = delete;

    // Not owned.
    void setDelegate(QELITunesLibraryDelegate* delegate) { m_delegate.store(delegate); }
    QELITunesLibraryDelegate* delegate() const { return m_delegate.load(); }

    // Returns at once; the read runs on a new thread and ends by sending
    // OnITunesLibraryLoadCompleteWithArguments to the delegate from there.
    // A read still running is waited for first.
    void startReadingITunesLibrary();
    // Ends a running read without sending its event and waits for its thread.
    void stop();

    bool isLibraryReadSuccessful() const { return m_isLibraryReadSuccessful.load(); }
    int trackCount() const { return m_trackCount.load(); }

private:
    void _threadedWorker();

    std::shared_ptr<MediaLibraryHost> m_host;
    std::atomic<QELITunesLibraryDelegate*> m_delegate{nullptr};
    std::atomic<bool> m_isLibraryReadSuccessful{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_trackCount{0};
    std::mutex m_threadMutex;
    std::thread m_thread;
};
