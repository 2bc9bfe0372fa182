#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "QELMediaPlayerItem.h"
#include "WorkerThreads.h"

class QELMediaPlayerBackend;
class QELMediaPlayerDelegate;
class QELMediaPlayerSource;

// The preview player of the device's audio and video (music tracks,
// voicemails). It plays a queue of items, reaching each file by where it lives:
// an iOS device's file is first copied into the program's temporary folder on
// a worker thread (and while one item plays the next is copied ahead), a
// disk-mode iPod's file plays in place under its mount point, and local items
// play from their own path. It reports to its delegate on the main thread.
// The public operations are for the main thread only.
class QELMediaPlayer : public QObject {
    Q_OBJECT
public:
    // `backend` defaults to Qt Multimedia, showing video in a window of its own.
    explicit QELMediaPlayer(std::shared_ptr<QELMediaPlayerSource> deviceInterface,
        std::unique_ptr<QELMediaPlayerBackend> backend = nullptr, QObject* parent = nullptr);
    // Cancels the copy ahead and waits for its thread, so the device
    // interface may go right after the player.
    ~QELMediaPlayer() override;

    QELMediaPlayerDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELMediaPlayerDelegate* delegate) { m_delegate = delegate; }
    std::shared_ptr<QELMediaPlayerSource> deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(std::shared_ptr<QELMediaPlayerSource> deviceInterface);
    QELMediaPlayerBackend* backend() const { return m_backend.get(); }

    // Turns milliseconds into the elapsed and remaining texts of the progress
    // ticks; QELTimeFormatter's clock times unless another is set.
    void setTimeFormatter(std::function<QString(qint64)> formatter) { m_timeFormatter = std::move(formatter); }

    void setPlayQueue(const QList<QELMediaPlayerItem>& queue);
    void clearPlayQueueWithStop(bool stop);
    void play();
    void pause();
    void next();
    void stop();
    // 0 to 100; applied to the movie at once and to every later one.
    void setPlaybackVolume(double volume);

    bool IsPlaying() const { return m_isPlaying; }
    const std::optional<QELMediaPlayerItem>& currentTrackDetail() const { return m_currentTrackDetail; }
    bool isPlayingLocal() const { return m_isPlayingLocal; }
    void setIsPlayingLocal(bool local) { m_isPlayingLocal = local; }

    // State for tests and diagnostics.
    int queueLength() const { return static_cast<int>(m_playQueue.size()); }
    const std::optional<QELMediaPlayerItem>& cachedTrackDetail() const { return m_cachedTrackDetail; }
    QString cachedPath() const { return m_cachedPath; }
    bool isCaching() const { return m_cacheJob != nullptr; }
    QString currentPlaybackPath() const { return m_currentPlaybackPath; }
    const QTimer& progressTimer() const { return m_playBackProgressTimer; }

    // The local file a cache copy of `devicePath` goes to: in the program's
    // temporary folder, named by the time, keeping the file's extension.
    static QString cachePathForDevicePath(const QString& devicePath);

    // One progress tick (the timer's action).
    void _progressTimerWorker();

private:
    struct CacheJob;

    bool isIOSDevice() const;
    std::optional<QELMediaPlayerItem> _getNextItemFromQueue();
    void _playNextItemInQueue();
    void _cacheNextItem(const QELMediaPlayerItem& item);
    void _cacheFinished(const std::shared_ptr<CacheJob>& job, const QString& path);
    void _cacheComplete(const QString& path);
    void _cancelCurrentCacheOperation();
    void _startPlaybackOfFile(const QString& path);
    void _moviePlayComplete();
    void handleMovieLoaded();
    void handleMovieFailed(const QString& reason);
    void status(const QString& first, const QString& second);

    std::shared_ptr<QELMediaPlayerSource> m_deviceInterface;
    std::unique_ptr<QELMediaPlayerBackend> m_backend;
    QELMediaPlayerDelegate* m_delegate = nullptr;
    std::function<QString(qint64)> m_timeFormatter;

    std::optional<QELMediaPlayerItem> m_currentTrackDetail;
    bool m_isPlaying = false;
    bool m_isPlayingLocal = false;
    QList<QELMediaPlayerItem> m_playQueue;
    QTimer m_playBackProgressTimer;
    std::optional<QELMediaPlayerItem> m_cachedTrackDetail;
    QString m_cachedPath;
    std::shared_ptr<CacheJob> m_cacheJob;
    std::optional<double> m_playbackVolume;
    QString m_currentPlaybackPath;
    bool m_waitingForMovie = false;
    // Counts queue replacements, so that a copy made for an earlier queue starts nothing.
    quint64 m_queueGeneration = 0;
    // The copy-ahead threads; joined before the player's members go.
    WorkerThreads m_cacheThreads{QStringLiteral("A preview copy")};
};
