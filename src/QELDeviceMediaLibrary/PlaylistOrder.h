// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackDetail.h"

#include <QString>

#include <memory>

// The position of one track in one playlist that keeps the device's order.
struct PlaylistOrder {
    QString containerPID;
    QString persistentID;
    qint64 index = 0;
    TrackDetailPtr relationshipTrack;   // none when no track of the store has the id
};

using PlaylistOrderPtr = std::shared_ptr<PlaylistOrder>;
