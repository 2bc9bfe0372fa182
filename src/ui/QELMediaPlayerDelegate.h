#pragma once

#include <QString>

#include "QELMediaPlayerItem.h"

class QELMediaPlayerProgressEventArgs;

// How the preview player reports to its owner. Every event arrives on the main thread.
class QELMediaPlayerDelegate {
public:
    virtual ~QELMediaPlayerDelegate() = default;
    // The queue ran out, or it was cleared with stop.
    virtual void OnPlaybackQueueCompleted() = 0;
    // Every progress tick (once a second, also while paused and between items).
    virtual void OnPlaybackProgress(const QELMediaPlayerProgressEventArgs& progress) = 0;
    // Preparing to play, playback errors; the second line may be null.
    virtual void OnStatusInformationEventAndSecondLine(const QString& firstLine,
                                                       const QString& secondLine) = 0;
    // True when a copy of the next item from the device starts, false when it ends.
    virtual void OnCachingStatusEvent(bool caching) = 0;
    // A file has started playing.
    virtual void OnStartPlaybackEventWithTrackDetails(const QELMediaPlayerItem& item) = 0;
};
