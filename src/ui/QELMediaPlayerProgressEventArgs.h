#pragma once

#include <QString>
#include <QtGlobal>

// One progress tick of the preview player: times in milliseconds, the current
// item's names and the two formatted times. A null string means "not given".
class QELMediaPlayerProgressEventArgs {
public:
    QELMediaPlayerProgressEventArgs(qint64 currentTime, qint64 duration)
        : m_current(currentTime)
        , m_duration(duration)
    {
    }

    qint64 current() const { return m_current; }
    qint64 duration() const { return m_duration; }
    // Never set by the player: always 0.
    qint32 percentage() const { return m_percentage; }

    QString trackName() const { return m_trackName; }
    void setTrackName(const QString& s) { m_trackName = s; }
    QString artist() const { return m_artist; }
    void setArtist(const QString& s) { m_artist = s; }
    QString timeCurrent() const { return m_timeCurrent; }
    void setTimeCurrent(const QString& s) { m_timeCurrent = s; }
    QString timeRemaining() const { return m_timeRemaining; }
    void setTimeRemaining(const QString& s) { m_timeRemaining = s; }
    QString persistentID() const { return m_persistentID; }
    void setPersistentID(const QString& s) { m_persistentID = s; }

private:
    qint64 m_current = 0;
    qint64 m_duration = 0;
    qint32 m_percentage = 0;
    QString m_trackName;
    QString m_artist;
    QString m_timeCurrent;
    QString m_timeRemaining;
    QString m_persistentID;
};
