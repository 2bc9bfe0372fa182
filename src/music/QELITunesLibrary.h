// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QString>
#include <QVariant>

#include "QELITunesLibraryDelegate.h"
#include "WorkerThreads.h"

class MediaLibraryHost;

// The index of the computer's music library: a read of the library's XML file
// (found through the media library host) on a thread of its own that always
// ends with the read-complete event, and the question the music view asks for
// every track it shows: is this track in the library already?
//
// The index lives in memory. A read builds a new one aside and swaps it in at
// its end, so questions never wait for a read (they are answered from the
// last complete index meanwhile); reads themselves run one after the other.
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
    // The same read on the calling thread (a worker), for an answer that must
    // see what the library holds now: a transfer may have made or changed it
    // since the last read. True when the library was read.
    bool readITunesLibraryNow();
    // Ends the running reads without sending their events and waits for
    // their threads. Later reads may start again.
    void stop();

    bool isLibraryReadSuccessful() const { return m_isLibraryReadSuccessful.load(); }
    // The library this index reads; the transfer into it goes through the same.
    std::shared_ptr<MediaLibraryHost> host() const { return m_host; }
    int trackCount() const { return m_trackCount.load(); }

    // 0 not in the library, 1 there, 2 there only as a track the library
    // holds remotely ("Track Type" "Remote"). Each given text (a null one is
    // not given) must equal the entry's "Name", "Artist" and "Album" ignoring
    // letter case (not accents); the first such entry of the file decides.
    // Genre and total time are not compared. Any thread; never waits.
    int IsTrackPresentWithTitleArtistAlbumGenreTotalTime(
        const QString& title, const QString& artist, const QString& album,
        const QString& genre = QString(), const QVariant& totalTime = QVariant()) const;

    struct Index;
    // Reads a library file into an index; null, with the reason, when the file
    // is no property list or has no "Tracks". Any thread.
    static std::shared_ptr<const Index> readIndex(const QString& file, QString* why);

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
    // One read at a time: a second waits on its own thread for the first.
    std::mutex m_readMutex;
    mutable std::mutex m_indexMutex; // guards m_index, held only to swap or copy it
    std::shared_ptr<const Index> m_index;
    WorkerThreads m_threads{QStringLiteral("A music library read")};
};
