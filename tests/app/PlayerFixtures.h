#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <QString>
#include <QStringList>

#include "QELMediaPlayerBackend.h"
#include "QELMediaPlayerDelegate.h"
#include "QELMediaPlayerProgressEventArgs.h"
#include "QELMediaPlayerSource.h"

// Writes a mono 16-bit PCM WAV file of `ms` milliseconds (a quiet tone).
bool writeWav(const QString& path, int ms, int rate = 8000);

// A device whose files live in a local folder. Copies run in small blocks and
// honour their cancel flag; a copy of a chosen device path can be held until
// released, to catch the player while it copies.
class LocalFolderSource : public QELMediaPlayerSource {
public:
    LocalFolderSource(const QString& root, int os)
        : m_root(root)
        , m_os(os)
    {
    }

    int connectedDeviceOperatingSystem() const override { return m_os; }
    QString standardDeviceBasePath() const override { return m_os == 0 ? m_root : QString(); }
    bool copyFileFromDeviceAtToLocalPath(
        const QString& devicePath, const QString& localPath, const std::atomic<bool>& cancel) override;

    // Holds copies of `devicePath` until release(); empty holds nothing.
    void hold(const QString& devicePath);
    void release();
    bool waitUntilHeld(int timeoutMs);
    // Whether a copy is held right now.
    bool isHolding() const;
    void failCopiesOf(const QString& devicePath);

    QStringList copied() const;        // device paths, one per copy started
    int cancelledCopies() const { return m_cancelled; }

private:
    QString m_root;
    int m_os;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QString m_hold;
    QString m_fail;
    bool m_held = false;
    QStringList m_copied;
    std::atomic<int> m_cancelled{0};
};

// A movie backend for the queue logic: a file "loads" when it exists and starts
// with "RIFF"; times and the end are set by the test.
class FakeMovieBackend : public QELMediaPlayerBackend {
public:
    void load(const QString& path) override;
    void unload() override { m_loaded.clear(); m_playing = false; }
    bool hasMovie() const override { return !m_loaded.isEmpty(); }
    void play() override { m_playing = true; }
    void pause() override { m_playing = false; }
    void setVolume(float volume) override { m_volume = volume; }
    float volume() const override { return m_volume; }
    qint64 currentTime() const override { return hasMovie() ? m_current : 0; }
    qint64 duration() const override { return hasMovie() ? m_duration : 0; }

    void finish() { emit ended(); }
    QString loadedPath() const { return m_loaded; }
    bool playing() const { return m_playing; }
    qint64 m_current = 1500;
    qint64 m_duration = 61000;

private:
    QString m_loaded;
    bool m_playing = false;
    float m_volume = 1.0f;
};

// Records every player event.
struct PlayerEvents : QELMediaPlayerDelegate {
    int completed = 0;
    std::vector<QELMediaPlayerProgressEventArgs> ticks;
    QStringList statusLines;           // "first|second"
    std::vector<bool> caching;
    QStringList started;               // track names

    void OnPlaybackQueueCompleted() override { ++completed; }
    void OnPlaybackProgress(const QELMediaPlayerProgressEventArgs& p) override { ticks.push_back(p); }
    void OnStatusInformationEventAndSecondLine(const QString& a, const QString& b) override
    {
        statusLines << a + QLatin1Char('|') + b;
    }
    void OnCachingStatusEvent(bool c) override { caching.push_back(c); }
    void OnStartPlaybackEventWithTrackDetails(const QELMediaPlayerItem& item) override { started << item.trackName; }
};
