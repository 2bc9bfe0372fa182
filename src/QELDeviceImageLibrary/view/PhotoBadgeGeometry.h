// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QRectF>
#include <QSizeF>

// Where a thumbnail's favourite and iCloud badges go, in the thumbnail's
// coordinates from its bottom left corner: centred 10 points above the
// bottom edge, side by side (the favourite on the left) when there are two.
namespace PhotoBadgeGeometry {

struct Badges {
    std::optional<QRectF> favourite;
    std::optional<QRectF> iCloud;
};

Badges badgesFor(double imageWidth, QSizeF favouriteSize, QSizeF iCloudSize, bool isFavourite,
                 bool isICloudPlaceholder);

// A rectangle from bottom-left coordinates into the top-left ones of a
// picture `height` high.
QRectF fromBottomLeft(const QRectF& rect, double height);

} // namespace PhotoBadgeGeometry
