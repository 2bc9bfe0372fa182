// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoBadgeGeometry.h"

PhotoBadgeGeometry::Badges PhotoBadgeGeometry::badgesFor(double imageWidth, QSizeF favouriteSize,
                                                         QSizeF iCloudSize, bool isFavourite,
                                                         bool isICloudPlaceholder)
{
    Badges badges;
    const double base = imageWidth / 2 - favouriteSize.width() / 2;
    if (isFavourite) {
        const double x = isICloudPlaceholder ? base - favouriteSize.width() / 2 : base;
        badges.favourite = QRectF(x, 10, favouriteSize.width(), favouriteSize.height());
    }
    if (isICloudPlaceholder) {
        const double x = isFavourite ? base + iCloudSize.width() / 2 : base;
        badges.iCloud = QRectF(x, 10, iCloudSize.width(), iCloudSize.height());
    }
    return badges;
}

QRectF PhotoBadgeGeometry::fromBottomLeft(const QRectF& rect, double height)
{
    return QRectF(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
}
