// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QMetaType>
#include <QString>

#include "TrackDetail.h"

// One item of the transfer into the music library: a device track, and the
// library playlist to put it in (empty: none). The item does not keep the
// track alive: a track gone by its turn fails its item.
struct QELTransferMusicItemDetail {
    QELTransferMusicItemDetail() = default;
    explicit QELTransferMusicItemDetail(const TrackDetailPtr& track)
        : trackDetail(track)
    {
    }

    std::weak_ptr<TrackDetail> trackDetail;
    QString playlistName;
};

Q_DECLARE_METATYPE(QELTransferMusicItemDetail)
