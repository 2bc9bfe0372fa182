// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoQueue.h"

QVariantList PhotoQueue::itemsOf(const QList<ImageDetailPtr>& images)
{
    QVariantList items;
    items.reserve(images.size());
    for (const ImageDetailPtr& image : images)
        items.append(
            QVariant::fromValue(Item{image, image ? image->singleInstanceAlbumName() : QString()}));
    return items;
}

QVariantList PhotoQueue::itemsOf(const QList<ImageDetailPtr>& images,
                                 const QHash<const ImageDetail*, QString>& albumOf)
{
    QVariantList items;
    items.reserve(images.size());
    for (const ImageDetailPtr& image : images)
        items.append(QVariant::fromValue(Item{image, albumOf.value(image.get())}));
    return items;
}

ImageDetailPtr PhotoQueue::imageOf(const QVariant& item)
{
    if (item.canConvert<Item>())
        return item.value<Item>().image;
    return item.canConvert<ImageDetailPtr>() ? item.value<ImageDetailPtr>() : nullptr;
}

QString PhotoQueue::albumOf(const QVariant& item)
{
    return item.canConvert<Item>() ? item.value<Item>().album : QString();
}
