// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELPhotoBrowserModel.h"

#include <algorithm>

#include "PhotoOriginals.h"
#include "PlainText.h"
#include "QELPhotoThumbnailLoader.h"

QELPhotoBrowserModel::QELPhotoBrowserModel(QELPhotoThumbnailLoader* loader, QObject* parent)
    : QAbstractListModel(parent)
    , m_loader(loader)
{
    connect(m_loader, &QELPhotoThumbnailLoader::thumbnailsLoaded, this,
            &QELPhotoBrowserModel::thumbnailsLoaded);
}

void QELPhotoBrowserModel::setImages(const QList<ImageDetailPtr>& images,
                                     std::shared_ptr<QELDeviceImageLibraryReader> reader)
{
    beginResetModel();
    m_images = images;
    m_reader = std::move(reader);
    m_rowsOfImage.clear();
    for (int row = 0; row < m_images.size(); ++row)
        if (m_images[row] && m_images[row]->imageID)
            m_rowsOfImage[*m_images[row]->imageID].append(row);
    endResetModel();
}

QELBrowserItemProxy QELPhotoBrowserModel::item(int row) const
{
    return QELBrowserItemProxy::proxyWithImageDetailAndReader(m_images.value(row), m_reader,
                                                              m_loader);
}

int QELPhotoBrowserModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_images.size());
}

QVariant QELPhotoBrowserModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_images.size())
        return {};
    const ImageDetailPtr& image = m_images[index.row()];
    if (!image)
        return {};
    switch (role) {
    case Qt::DecorationRole: {
        const QImage thumbnail = item(index.row()).imageRepresentation();
        return thumbnail.isNull() ? QVariant() : QVariant(thumbnail);
    }
    case Qt::ToolTipRole:
        return PlainText::toolTip(image->fileName.isEmpty() ? image->title : image->fileName);
    case ImageUIDRole:
        return item(index.row()).imageUID();
    case FavoriteRole:
        return ImageDetail::isYes(image->isFavorite);
    case ICloudRole:
        return ImageDetail::isYes(image->isICloudPlaceholder);
    case IsVideoRole:
        return PhotoOriginals::isVideo(*image);
    default:
        return {};
    }
}

void QELPhotoBrowserModel::thumbnailsLoaded(const QList<qint64>& ids)
{
    int first = int(m_images.size());
    int last = -1;
    for (qint64 id : ids) {
        const auto rows = m_rowsOfImage.constFind(id);
        if (rows == m_rowsOfImage.constEnd())
            continue;
        for (int row : *rows) {
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    // One signal for the batch: the view repaints only what it shows.
    if (last >= first)
        emit dataChanged(index(first), index(last), {Qt::DecorationRole});
}
