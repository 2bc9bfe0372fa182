// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoQueue.h"

QVariantList PhotoQueue::itemsOf(const QList<ImageDetailPtr>& images)
{
    QVariantList items;
    items.reserve(images.size());
    for (const ImageDetailPtr& image : images)
        items.append(QVariant::fromValue(image));
    return items;
}

ImageDetailPtr PhotoQueue::imageOf(const QVariant& item)
{
    return item.canConvert<ImageDetailPtr>() ? item.value<ImageDetailPtr>() : nullptr;
}
