// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "ImageDetail.h"

// An album of the image store: the device's own, or one of the smart albums
// built from the images' flags. `id` is unset for the iCloud album.
struct Album {
    QString title;
    std::optional<qint64> kind;
    std::optional<qint64> id;
    std::vector<ImageDetailPtr> relationshipAssets;
};

using AlbumPtr = std::shared_ptr<Album>;

// An album as the album lists answer it: its attribute values only.
struct AlbumRecord {
    QString title;
    std::optional<qint64> kind;
    std::optional<qint64> id;
};
