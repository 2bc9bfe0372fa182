// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMetaType>
#include <QVariant>

#include "ImageDetail.h"

Q_DECLARE_METATYPE(ImageDetailPtr)

// The images of a photo copy or transfer as a job's item queue holds them.
namespace PhotoQueue {

QVariantList itemsOf(const QList<ImageDetailPtr>& images);
// The image of a queue item; null for an item of another kind.
ImageDetailPtr imageOf(const QVariant& item);

} // namespace PhotoQueue
