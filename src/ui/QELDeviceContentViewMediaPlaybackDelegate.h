// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>

#include "QELMediaPlayerItem.h"
#include "TrackDetail.h"

// What the Play button plays: views with media (music, voicemail) answer it.
class QELDeviceContentViewMediaPlaybackDelegate {
public:
    virtual ~QELDeviceContentViewMediaPlaybackDelegate() = default;

    // Whether this view answers mediaListForPlayback().
    virtual bool hasMediaListForPlayback() const { return false; }
    // The tracks to play; may be empty.
    virtual QList<TrackDetailPtr> mediaListForPlayback() { return {}; }
    // True when the list's paths are local files (voicemail): the player plays
    // them in place, and Play while playing stops and empties the queue
    // instead of pausing. False for the device's own media (music).
    virtual bool mediaListIsLocal() const { return false; }
    // The music view marks the track the preview plays; none once the queue ends.
    virtual void SetCurrentlyPlayingTrackDetail(const std::optional<QELMediaPlayerItem>& track)
    {
        Q_UNUSED(track);
    }
};
