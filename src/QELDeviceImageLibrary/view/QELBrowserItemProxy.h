// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QImage>
#include <QString>

#include "IKBBrowserItem.h"
#include "ImageDetail.h"

class QELDeviceImageLibraryReader;
class QELPhotoThumbnailLoader;

// One row of the photo browser as the browser asks it: its unique id (the
// image's id, the same for every row of one image, so the thumbnail cache
// serves repeats), its picture and its badges. It never reads the device:
// the picture is the thumbnail loader's cached one, asked for when missing.
// Main thread.
class QELBrowserItemProxy {
public:
    QELBrowserItemProxy(ImageDetailPtr detail, std::shared_ptr<QELDeviceImageLibraryReader> reader,
                        QELPhotoThumbnailLoader* loader);
    static QELBrowserItemProxy proxyWithImageDetailAndReader(
        ImageDetailPtr detail, std::shared_ptr<QELDeviceImageLibraryReader> reader,
        QELPhotoThumbnailLoader* loader = nullptr);

    // The item, made on first use; none for an image without an id.
    const std::optional<IKBBrowserItem>& target();
    // The image's id as decimal text; empty without one.
    QString imageUID() const;
    static QString imageRepresentationType() { return QStringLiteral("QImage"); }
    // The thumbnail when it is loaded; a null image (and a load asked for)
    // before, or for any other representation type.
    QImage IKImageRepresentationWithType(const QString& type);
    QImage imageRepresentation();
    QString imageTitle() const { return QString(); }

    bool isFavorite() const;
    bool isICloudPlaceholder() const;
    const ImageDetailPtr& imageDetail() const { return m_imageDetail; }

private:
    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
    std::optional<IKBBrowserItem> m_item;
    ImageDetailPtr m_imageDetail;
    QELPhotoThumbnailLoader* m_loader = nullptr;
};
