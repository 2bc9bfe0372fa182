#pragma once

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QVideoWidget>

#include <memory>

#include "QELMediaPlayerBackend.h"

// The player's backend on Qt Multimedia (GStreamer on Linux).
class QELQtMediaPlayerBackend : public QELMediaPlayerBackend {
    Q_OBJECT
public:
    explicit QELQtMediaPlayerBackend(QObject* parent = nullptr);

    // Where video is shown (a QVideoWidget or a video sink); audio plays without one.
    void setVideoOutput(QObject* output);
    QObject* videoOutput() const { return m_player.videoOutput(); }
    // Video shows in a window of the backend's own, open while a movie with
    // a picture is loaded.
    void showVideoInWindowOfItsOwn();

    void load(const QString& path) override;
    void unload() override;
    bool hasMovie() const override;
    void play() override;
    void pause() override;
    void setVolume(float volume) override;
    float volume() const override;
    qint64 currentTime() const override;
    qint64 duration() const override;

private:
    void handleStatus(QMediaPlayer::MediaStatus status);
    void handleError(QMediaPlayer::Error error, const QString& text);

    std::unique_ptr<QVideoWidget> m_videoWindow;
    QMediaPlayer m_player;
    QAudioOutput m_audio;
    bool m_loading = false;
};
