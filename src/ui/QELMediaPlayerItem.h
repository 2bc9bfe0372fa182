#pragma once

#include <QMetaType>
#include <QString>

// What the preview player needs of a track of the media store (or of a
// voicemail): its path, the two names it shows, and its identifier. For a
// device the path is relative to the device root; for local playback it is a
// full local path.
struct QELMediaPlayerItem {
    QString path;
    QString trackName;
    QString artist;
    QString persistentID;
};

Q_DECLARE_METATYPE(QELMediaPlayerItem)
