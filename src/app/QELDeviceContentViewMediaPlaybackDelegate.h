// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include "TrackDetail.h"

// What the Play button plays: views with media (music, voicemail) answer it.
class QELDeviceContentViewMediaPlaybackDelegate {
public:
    virtual ~QELDeviceContentViewMediaPlaybackDelegate() = default;

    // Whether this view answers mediaListForPlayback().
    virtual bool hasMediaListForPlayback() const { return false; }
    // The tracks to play; may be empty.
    virtual QList<TrackDetailPtr> mediaListForPlayback() { return {}; }
};
