#pragma once

#include <QObject>
#include <QString>

// The component that decodes and plays one local audio or video file for the
// preview player. Loading is asynchronous: it ends in loaded() or failed().
class QELMediaPlayerBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens a local file; replaces the movie loaded before.
    virtual void load(const QString& path) = 0;
    // Removes the movie.
    virtual void unload() = 0;
    virtual bool hasMovie() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // 0.0 to 1.0.
    virtual void setVolume(float volume) = 0;
    virtual float volume() const = 0;
    // Milliseconds; 0 without a movie.
    virtual qint64 currentTime() const = 0;
    virtual qint64 duration() const = 0;

signals:
    void loaded();
    void failed(const QString& reason);
    void ended();
};
