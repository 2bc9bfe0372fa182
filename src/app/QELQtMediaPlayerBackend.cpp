#include "QELQtMediaPlayerBackend.h"

#include <QUrl>

QELQtMediaPlayerBackend::QELQtMediaPlayerBackend(QObject* parent)
    : QELMediaPlayerBackend(parent)
{
    m_player.setAudioOutput(&m_audio);
    connect(&m_player, &QMediaPlayer::mediaStatusChanged, this, &QELQtMediaPlayerBackend::handleStatus);
    connect(&m_player, &QMediaPlayer::errorOccurred, this, &QELQtMediaPlayerBackend::handleError);
}

void QELQtMediaPlayerBackend::setVideoOutput(QObject* output)
{
    m_player.setVideoOutput(output);
}

void QELQtMediaPlayerBackend::showVideoInWindowOfItsOwn()
{
    if (m_videoWindow)
        return;
    m_videoWindow = std::make_unique<QVideoWidget>();
    m_videoWindow->setWindowTitle(QStringLiteral("Orvane"));
    m_videoWindow->resize(640, 360);
    m_player.setVideoOutput(m_videoWindow.get());
    connect(&m_player, &QMediaPlayer::hasVideoChanged, m_videoWindow.get(), [this](bool video) {
        m_videoWindow->setVisible(video && !m_player.source().isEmpty());
    });
}

void QELQtMediaPlayerBackend::load(const QString& path)
{
    m_loading = true;
    m_player.setSource(QUrl::fromLocalFile(path));
}

void QELQtMediaPlayerBackend::unload()
{
    m_loading = false;
    m_player.stop();
    m_player.setSource(QUrl());
    if (m_videoWindow)
        m_videoWindow->hide();
}

bool QELQtMediaPlayerBackend::hasMovie() const
{
    return !m_player.source().isEmpty() && m_player.mediaStatus() != QMediaPlayer::InvalidMedia;
}

void QELQtMediaPlayerBackend::play() { m_player.play(); }
void QELQtMediaPlayerBackend::pause() { m_player.pause(); }
void QELQtMediaPlayerBackend::setVolume(float volume) { m_audio.setVolume(volume); }
float QELQtMediaPlayerBackend::volume() const { return m_audio.volume(); }

qint64 QELQtMediaPlayerBackend::currentTime() const
{
    return hasMovie() ? m_player.position() : 0;
}

qint64 QELQtMediaPlayerBackend::duration() const
{
    return hasMovie() ? m_player.duration() : 0;
}

void QELQtMediaPlayerBackend::handleStatus(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
        if (m_loading) {
            m_loading = false;
            emit loaded();
        }
        break;
    case QMediaPlayer::EndOfMedia:
        emit ended();
        break;
    case QMediaPlayer::InvalidMedia:
        if (m_loading) {
            m_loading = false;
            emit failed(m_player.errorString().isEmpty() ? tr("The file is not a playable audio or video file")
                                                         : m_player.errorString());
        }
        break;
    default:
        break;
    }
}

void QELQtMediaPlayerBackend::handleError(QMediaPlayer::Error error, const QString& text)
{
    if (error == QMediaPlayer::NoError)
        return;
    if (m_loading) {
        m_loading = false;
        emit failed(text);
    }
}
