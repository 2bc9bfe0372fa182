#include "QELMediaPlayer.h"

#include <chrono>
#include <thread>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

#include "Clock.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "Log.h"
#include "MediaPreviewCache.h"
#include "QELMediaPlayerDelegate.h"
#include "QELMediaPlayerProgressEventArgs.h"
#include "QELMediaPlayerSource.h"
#include "QELQtMediaPlayerBackend.h"
#include "QELTimeFormatter.h"

namespace {
constexpr int kProgressIntervalMs = 1000;
} // namespace

// One copy of a device file into the cache. Its cancel flag is its own: it
// never touches another copy or the device's copy jobs. Shared by the player
// and the worker thread, which the player joins before it goes.
struct QELMediaPlayer::CacheJob {
    QELMediaPlayerItem item;
    quint64 generation = 0;
    std::atomic<bool> cancel{false};
    // Set when the copy is cancelled to be made again from the start.
    bool restartWhenDone = false;
};

QELMediaPlayer::QELMediaPlayer(std::shared_ptr<QELMediaPlayerSource> deviceInterface,
                               std::unique_ptr<QELMediaPlayerBackend> backend, QObject* parent)
    : QObject(parent)
    , m_deviceInterface(std::move(deviceInterface))
    , m_backend(std::move(backend))
    , m_timeFormatter([](qint64 ms) { return QELTimeFormatter().stringForObjectValue(ms); })
{
    if (!m_backend) {
        auto qt = std::make_unique<QELQtMediaPlayerBackend>();
        qt->showVideoInWindowOfItsOwn();
        m_backend = std::move(qt);
    }
    connect(m_backend.get(), &QELMediaPlayerBackend::loaded, this,
            &QELMediaPlayer::handleMovieLoaded);
    connect(m_backend.get(), &QELMediaPlayerBackend::failed, this,
            &QELMediaPlayer::handleMovieFailed);
    connect(m_backend.get(), &QELMediaPlayerBackend::ended, this,
            &QELMediaPlayer::_moviePlayComplete);
    connect(&m_playBackProgressTimer, &QTimer::timeout, this,
            &QELMediaPlayer::_progressTimerWorker);
}

QELMediaPlayer::~QELMediaPlayer()
{
    if (m_cacheJob)
        m_cacheJob->cancel = true;
    // The copy thread calls into the device interface, which its owner may
    // destroy as soon as the player is gone. The thread never waits for this one.
    m_cacheThreads.stopAndJoinAll();
}

void QELMediaPlayer::setDeviceInterface(std::shared_ptr<QELMediaPlayerSource> deviceInterface)
{
    m_deviceInterface = std::move(deviceInterface);
}

bool QELMediaPlayer::isIOSDevice() const
{
    return m_deviceInterface && m_deviceInterface->connectedDeviceOperatingSystem() == 1;
}

void QELMediaPlayer::status(const QString& first, const QString& second)
{
    if (m_delegate)
        m_delegate->OnStatusInformationEventAndSecondLine(first, second);
}

QString QELMediaPlayer::cachePathForDevicePath(const QString& devicePath)
{
    return mediaPreviewCachePath(devicePath);
}

void QELMediaPlayer::setPlayQueue(const QList<QELMediaPlayerItem>& queue)
{
    m_playQueue = queue;
    ++m_queueGeneration;
}

void QELMediaPlayer::clearPlayQueueWithStop(bool stopPlayback)
{
    if (stopPlayback) {
        stop();
        m_playBackProgressTimer.stop();
        if (m_delegate)
            m_delegate->OnPlaybackQueueCompleted();
    }
    m_currentTrackDetail.reset();
    m_cachedTrackDetail.reset();
    m_cachedPath.clear();
    m_playQueue.clear();
    ++m_queueGeneration;
    // A copy still running belongs to the old queue: it is cut short, and its
    // completion (which still reports the end of caching) starts nothing.
    if (m_cacheJob)
        m_cacheJob->cancel = true;
}

void QELMediaPlayer::play()
{
    if (m_currentTrackDetail)
        m_backend->play();
    else
        _playNextItemInQueue();
    m_isPlaying = true;
}

void QELMediaPlayer::pause()
{
    m_isPlaying = false;
    m_backend->pause();
}

void QELMediaPlayer::next()
{
    stop();
    _playNextItemInQueue();
}

void QELMediaPlayer::stop()
{
    m_backend->pause();
    m_backend->unload();
    m_waitingForMovie = false;
    m_currentTrackDetail.reset();
    m_isPlaying = false;
    if (isIOSDevice() && !m_isPlayingLocal && !m_currentPlaybackPath.isEmpty())
        QFile::remove(m_currentPlaybackPath);
}

void QELMediaPlayer::setPlaybackVolume(double volume)
{
    m_playbackVolume = volume;
    if (m_backend->hasMovie())
        m_backend->setVolume(static_cast<float>(volume / 100.0));
}

std::optional<QELMediaPlayerItem> QELMediaPlayer::_getNextItemFromQueue()
{
    if (m_playQueue.isEmpty())
        return std::nullopt;
    return m_playQueue.takeFirst();
}

void QELMediaPlayer::_playNextItemInQueue()
{
    if (!m_cachedTrackDetail && m_playQueue.isEmpty()) {
        m_currentTrackDetail.reset();
        m_isPlaying = false;
        m_playBackProgressTimer.stop();
        if (m_delegate)
            m_delegate->OnPlaybackQueueCompleted();
        return;
    }

    QString file;
    if (m_isPlayingLocal) {
        m_currentTrackDetail = _getNextItemFromQueue();
        if (m_currentTrackDetail)
            file = m_currentTrackDetail->path;
    } else if (isIOSDevice()) {
        if (!m_cachedTrackDetail) {
            m_cachedPath.clear();
            status(L("PREPARINGTOPLAY"), L("PLEASEWAIT"));
            if (auto item = _getNextItemFromQueue())
                _cacheNextItem(*item);
            return;
        }
        if (m_cacheJob) {
            status(L("PREPARINGTOPLAY"), L("PLEASEWAIT"));
            _cancelCurrentCacheOperation();
            return;
        }
        file = m_cachedPath;
        m_currentTrackDetail = m_cachedTrackDetail;
        m_cachedTrackDetail.reset();
    } else {
        m_currentTrackDetail = _getNextItemFromQueue();
        const QString mountPoint =
            m_deviceInterface ? m_deviceInterface->standardDeviceBasePath() : QString();
        if (m_currentTrackDetail && !mountPoint.isEmpty()) {
            // The device's path is confined to the mount point.
            const QString root = QDir::cleanPath(mountPoint);
            const QString joined =
                QDir::cleanPath(root + QLatin1Char('/') + m_currentTrackDetail->path);
            if (joined.startsWith(root + QLatin1Char('/'))) {
                file = joined;
            } else {
                qCWarning(lcOrvane)
                    << "Preview: a track path leaves the device's folder; not played";
                status(L("ERRORPLAYING"), QString());
            }
        }
    }
    if (!file.isEmpty())
        _startPlaybackOfFile(file);
}

void QELMediaPlayer::_cacheNextItem(const QELMediaPlayerItem& item)
{
    auto job = std::make_shared<CacheJob>();
    job->item = item;
    job->generation = m_queueGeneration;
    m_cacheJob = job;
    m_cachedTrackDetail = item;
    if (m_delegate)
        m_delegate->OnCachingStatusEvent(true);

    const QString path = cachePathForDevicePath(item.path);
    std::shared_ptr<QELMediaPlayerSource> source = m_deviceInterface;
    QPointer<QELMediaPlayer> self(this);
    m_cacheThreads.start([self, job, source, path] {
        bool ok = false;
        if (source && !path.isEmpty()) {
            QFile::remove(path);
            ok = source->copyFileFromDeviceAtToLocalPath(job->item.path, path, job->cancel);
            if (!ok || job->cancel)
                QFile::remove(path);
        }
        const QString result = ok && !job->cancel ? path : QString();
        QMetaObject::invokeMethod(
            self.data(),
            [self, job, result] {
                if (self)
                    self->_cacheFinished(job, result);
                else if (!result.isEmpty())
                    QFile::remove(result);
            },
            Qt::QueuedConnection);
        // No receiver left: the copy is not wanted any more.
        if (!self && !result.isEmpty())
            QFile::remove(result);
    });
}

void QELMediaPlayer::_cacheFinished(const std::shared_ptr<CacheJob>& job, const QString& path)
{
    if (job != m_cacheJob) {
        // A newer copy replaced this one: its file is not wanted.
        if (!path.isEmpty())
            QFile::remove(path);
        return;
    }
    m_cacheJob.reset();
    if (m_delegate)
        m_delegate->OnCachingStatusEvent(false);
    if (job->generation != m_queueGeneration) {
        // The queue was cleared or replaced meanwhile: start nothing of it.
        if (!path.isEmpty())
            QFile::remove(path);
        return;
    }
    if (job->restartWhenDone) {
        // Cancelled to be copied again from the start; that copy starts it.
        if (!path.isEmpty())
            QFile::remove(path);
        _cacheNextItem(job->item);
        return;
    }
    _cacheComplete(path);
}

void QELMediaPlayer::_cacheComplete(const QString& path)
{
    if (path.isEmpty()) {
        stop();
        // Forget the item that failed, so that the next play moves on.
        m_cachedTrackDetail.reset();
        m_cachedPath.clear();
        status(L("ERRORPLAYING"), QString());
        return;
    }
    m_cachedPath = path;
    if (!m_currentTrackDetail) {
        m_currentTrackDetail = m_cachedTrackDetail;
        m_cachedTrackDetail.reset();
        _startPlaybackOfFile(path);
    }
}

void QELMediaPlayer::_cancelCurrentCacheOperation()
{
    if (!m_cacheJob)
        return;
    m_cacheJob->restartWhenDone = true;
    m_cacheJob->cancel = true;
}

void QELMediaPlayer::_startPlaybackOfFile(const QString& path)
{
    m_waitingForMovie = true;
    m_backend->load(path);
    m_currentPlaybackPath = path;
    if (isIOSDevice() && !m_isPlayingLocal && !m_playQueue.isEmpty() && !m_cacheJob) {
        if (auto item = _getNextItemFromQueue())
            _cacheNextItem(*item);
    }
}

void QELMediaPlayer::handleMovieLoaded()
{
    if (!m_waitingForMovie)
        return;
    m_waitingForMovie = false;
    if (m_playbackVolume)
        m_backend->setVolume(static_cast<float>(*m_playbackVolume / 100.0));
    m_backend->play();
    m_isPlaying = true;
    if (!m_playBackProgressTimer.isActive())
        m_playBackProgressTimer.start(Clock::scaledMs(kProgressIntervalMs));
    if (m_delegate && m_currentTrackDetail)
        m_delegate->OnStartPlaybackEventWithTrackDetails(*m_currentTrackDetail);
}

void QELMediaPlayer::handleMovieFailed(const QString& reason)
{
    m_waitingForMovie = false;
    qCWarning(lcOrvane).noquote() << m_currentPlaybackPath;
    qCWarning(lcOrvane).noquote() << QStringLiteral("Playback failure - %1").arg(reason);
    m_backend->unload();
    status(L("ERRORPLAYING"), L("REASONFORPLAYBACKFAILURE").arg(reason));
}

void QELMediaPlayer::_moviePlayComplete()
{
    if (!m_currentPlaybackPath.isEmpty() && isIOSDevice() && !m_isPlayingLocal)
        QFile::remove(m_currentPlaybackPath);
    m_currentTrackDetail.reset();
    _playNextItemInQueue();
}

void QELMediaPlayer::_progressTimerWorker()
{
    const qint64 current = m_backend->hasMovie() ? m_backend->currentTime() : 0;
    const qint64 duration = m_backend->hasMovie() ? m_backend->duration() : 0;
    QELMediaPlayerProgressEventArgs args(current, duration);
    if (m_currentTrackDetail) {
        args.setTrackName(m_currentTrackDetail->trackName);
        args.setArtist(m_currentTrackDetail->artist);
        args.setPersistentID(m_currentTrackDetail->persistentID);
    }
    if (m_timeFormatter) {
        args.setTimeCurrent(m_timeFormatter(current));
        args.setTimeRemaining(m_timeFormatter(std::max<qint64>(0, duration - current)));
    }
    if (m_delegate)
        m_delegate->OnPlaybackProgress(args);
}
