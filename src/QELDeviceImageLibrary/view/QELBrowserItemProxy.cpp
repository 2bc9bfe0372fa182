// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBrowserItemProxy.h"

#include "QELPhotoThumbnailLoader.h"

QELBrowserItemProxy::QELBrowserItemProxy(ImageDetailPtr detail,
                                         std::shared_ptr<QELDeviceImageLibraryReader> reader,
                                         QELPhotoThumbnailLoader* loader)
    : m_reader(std::move(reader))
    , m_imageDetail(std::move(detail))
    , m_loader(loader)
{
}

QELBrowserItemProxy QELBrowserItemProxy::proxyWithImageDetailAndReader(
    ImageDetailPtr detail, std::shared_ptr<QELDeviceImageLibraryReader> reader,
    QELPhotoThumbnailLoader* loader)
{
    return QELBrowserItemProxy(std::move(detail), std::move(reader), loader);
}

const std::optional<IKBBrowserItem>& QELBrowserItemProxy::target()
{
    if (!m_item && m_imageDetail && m_imageDetail->imageID)
        m_item.emplace(QString::number(*m_imageDetail->imageID));
    return m_item;
}

QString QELBrowserItemProxy::imageUID() const
{
    if (m_item && !m_item->imageUID().isEmpty())
        return m_item->imageUID();
    if (m_imageDetail && m_imageDetail->imageID)
        return QString::number(*m_imageDetail->imageID);
    return QString();
}

QImage QELBrowserItemProxy::IKImageRepresentationWithType(const QString& type)
{
    return type == imageRepresentationType() ? imageRepresentation() : QImage();
}

QImage QELBrowserItemProxy::imageRepresentation()
{
    if (!target() || !m_loader)
        return QImage();
    return m_loader->thumbnail(m_imageDetail);
}

bool QELBrowserItemProxy::isFavorite() const
{
    return m_imageDetail && ImageDetail::isYes(m_imageDetail->isFavorite);
}

bool QELBrowserItemProxy::isICloudPlaceholder() const
{
    return m_imageDetail && ImageDetail::isYes(m_imageDetail->isICloudPlaceholder);
}
