// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QDateTime>

#include "ImageDetail.h"

// One artwork or photo entry of a binary database or of the media library,
// grouping the stored sizes of one picture.
struct ImageList {
    std::optional<qint64> photoID;
    std::optional<qint64> songID;
    std::optional<qint64> rating;
    QDateTime date;
    std::optional<qint64> sourceByteSize;
    std::vector<ImageDetailPtr> imageDetails;
};

using ImageListPtr = std::shared_ptr<ImageList>;
