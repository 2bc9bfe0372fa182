// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QVariant>

#include "ImageDetail.h"

Q_DECLARE_METATYPE(ImageDetailPtr)

// The images of a photo copy or transfer as a job's item queue holds them,
// each with the album it was copied from: the folder a copy goes into
// follows that album, never the album some view listed the image through
// last.
namespace PhotoQueue {

struct Item {
    ImageDetailPtr image;
    // The album's folder name; empty: the copy's own folder.
    QString album;
};

// Items whose album is the name each image carries now.
QVariantList itemsOf(const QList<ImageDetailPtr>& images);
// Items of one album each: `albumOf` names it per image (none: no album).
QVariantList itemsOf(const QList<ImageDetailPtr>& images,
                     const QHash<const ImageDetail*, QString>& albumOf);
// The image of a queue item; null for an item of another kind.
ImageDetailPtr imageOf(const QVariant& item);
// The album of a queue item; empty for an item of another kind.
QString albumOf(const QVariant& item);

} // namespace PhotoQueue

Q_DECLARE_METATYPE(PhotoQueue::Item)
