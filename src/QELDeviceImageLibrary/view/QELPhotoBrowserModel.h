// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QAbstractListModel>
#include <QHash>
#include <QList>

#include "ImageDetail.h"
#include "QELBrowserItemProxy.h"

class QELDeviceImageLibraryReader;
class QELPhotoThumbnailLoader;

// The photo browser's rows: one per image of the selected albums, in order,
// an image listed by two of them once for each. The picture of a row is its
// thumbnail once the loader has it; the model itself never reads. Main
// thread.
class QELPhotoBrowserModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { ImageUIDRole = Qt::UserRole + 1, FavoriteRole, ICloudRole, IsVideoRole };

    QELPhotoBrowserModel(QELPhotoThumbnailLoader* loader, QObject* parent = nullptr);

    void setImages(const QList<ImageDetailPtr>& images,
                   std::shared_ptr<QELDeviceImageLibraryReader> reader);
    const QList<ImageDetailPtr>& images() const { return m_images; }
    // The row's item, as the browser asks it.
    QELBrowserItemProxy item(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void thumbnailsLoaded(const QList<qint64>& ids);

    QELPhotoThumbnailLoader* m_loader;
    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
    QList<ImageDetailPtr> m_images;
    // imageID to the rows that show it.
    QHash<qint64, QList<int>> m_rowsOfImage;
};
