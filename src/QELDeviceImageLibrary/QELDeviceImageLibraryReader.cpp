// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImageLibraryReader.h"

#include <algorithm>

#include <QDir>
#include <QPainter>
#include <QTransform>

#include "Locations.h"
#include "Log.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"
#include "QELImageUtilities.h"
#include "ThreadCheck.h"

namespace {

// Core Data sorts an unset value before every set one.
template <class T> int compareOptional(const std::optional<T>& a, const std::optional<T>& b)
{
    if (!a || !b)
        return int(a.has_value()) - int(b.has_value());
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

int compareDates(const QDateTime& a, const QDateTime& b)
{
    if (!a.isValid() || !b.isValid())
        return int(a.isValid()) - int(b.isValid());
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The size of a device file from its information: "st_size" over the file
// service, "NSFileSize" in disk mode.
qint64 sizeFromInfo(const std::optional<QVariantMap>& info)
{
    if (!info)
        return 0;
    if (info->contains(QStringLiteral("st_size")))
        return info->value(QStringLiteral("st_size")).toLongLong();
    return info->value(QStringLiteral("NSFileSize")).toLongLong();
}

} // namespace

QELDeviceImageLibraryReader::QELDeviceImageLibraryReader(const QString& directoryContent,
                                                         const QString& databaseFileName,
                                                         const QString& storeName)
    : m_directoryContent(directoryContent)
    , m_databaseFileName(databaseFileName)
    , m_storeName(storeName)
{
    const QString folder = Locations::temporaryFolder();
    // Without a private temporary folder the store lives in memory.
    const QString path =
        folder.isEmpty() || storeName.isEmpty() ? QString() : QDir(folder).filePath(storeName);
    m_store = QELImageStore::open(path);
    if (!m_store)
        qCWarning(lcOrvane) << "the image store" << storeName << "could not be set up";
}

QELDeviceImageLibraryReader::~QELDeviceImageLibraryReader() = default;

void QELDeviceImageLibraryReader::setLibraryDirectoryOnDevice(const QString& folder)
{
    std::lock_guard lock(m_pathMutex);
    m_libraryDirectoryOnDevice = folder;
}

QString QELDeviceImageLibraryReader::libraryDirectoryOnDevice() const
{
    std::lock_guard lock(m_pathMutex);
    return m_libraryDirectoryOnDevice;
}

QString QELDeviceImageLibraryReader::directoryContent() const
{
    std::lock_guard lock(m_pathMutex);
    return m_directoryContent;
}

void QELDeviceImageLibraryReader::close()
{
    std::lock_guard lock(m_pathMutex);
    m_directoryContent.clear();
}

void QELDeviceImageLibraryReader::sendProgress(const QString& text, std::optional<qint64> counter,
                                               std::optional<qint64> total) const
{
    if (QELDeviceImageLibraryEventProtocol* d = delegate())
        d->OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(text, counter.value_or(-1),
                                                                         total.value_or(-1));
}

ImageDetailPtr QELDeviceImageLibraryReader::getImageDetailForId(std::optional<qint64> id) const
{
    if (!id || !m_store)
        return nullptr;
    for (const ImageListPtr& list : m_store->listsWithPhotoID(*id)) {
        if (list->imageDetails.empty())
            continue;
        // The first of the tallest, as a stable sort on height answers it.
        ImageDetailPtr best;
        for (const ImageDetailPtr& detail : list->imageDetails)
            if (!best || compareOptional(detail->height, best->height) > 0)
                best = detail;
        return best;
    }
    return nullptr;
}

QList<AlbumRecord> QELDeviceImageLibraryReader::_getAlbumsOfKind(qint64 kind) const
{
    QList<AlbumRecord> records;
    if (!m_store)
        return records;
    for (const AlbumPtr& album : m_store->albums())
        if (album->kind == kind)
            records.append({album->title, album->kind, album->id});
    std::stable_sort(records.begin(), records.end(),
                     [](const AlbumRecord& a, const AlbumRecord& b) { return a.title < b.title; });
    return records;
}

QList<AlbumRecord> QELDeviceImageLibraryReader::getAlbumNames() const
{
    return _getAlbumsOfKind(6);
}
QList<AlbumRecord> QELDeviceImageLibraryReader::getFacesNames() const
{
    return _getAlbumsOfKind(15);
}
QList<AlbumRecord> QELDeviceImageLibraryReader::getEventNames() const
{
    return _getAlbumsOfKind(12);
}

QList<AlbumRecord> QELDeviceImageLibraryReader::getPhotoLibrary() const
{
    QList<AlbumRecord> records;
    const qint64 kinds[] = {1, 22, 504, 501, 500, 502, 506, 507, 503, 505, kHiddenAlbumKind};
    for (qint64 kind : kinds)
        records += _getAlbumsOfKind(kind);
    return records;
}

QList<AlbumRecord> QELDeviceImageLibraryReader::getStreamNames() const
{
    QList<AlbumRecord> records;
    if (!getAssetsForAlbumWithId(m_photoStreamAlbumId).isEmpty())
        records += _getAlbumsOfKind(20);
    records += _getAlbumsOfKind(24);
    return records;
}

QList<ImageDetailPtr> QELDeviceImageLibraryReader::_getAllAssets() const
{
    QList<ImageDetailPtr> all;
    if (!m_store)
        return all;
    for (const ImageDetailPtr& image : m_store->images())
        all.append(image);
    std::stable_sort(all.begin(), all.end(), [](const ImageDetailPtr& a, const ImageDetailPtr& b) {
        if (int c = compareOptional(a->sortToken, b->sortToken))
            return c < 0;
        if (int c = compareDates(a->dateCreated, b->dateCreated))
            return c < 0;
        return compareOptional(a->height, b->height) > 0;
    });
    QList<ImageDetailPtr> raw;
    for (const ImageDetailPtr& image : all)
        if (image->hasRawFormat())
            raw.append(image);
    if (!raw.isEmpty() && raw.first()->mhifReference) {
        const qint64 reference = *raw.first()->mhifReference;
        QList<ImageDetailPtr> sameSize;
        for (const ImageDetailPtr& image : raw)
            if (image->mhifReference == reference)
                sameSize.append(image);
        return sameSize;
    }
    return raw;
}

QList<ImageDetailPtr> QELDeviceImageLibraryReader::getAssetsForAlbumWithId(
    std::optional<qint64> albumId) const
{
    QList<ImageDetailPtr> result;
    if (!m_store)
        return result;
    if (albumId && (*albumId == m_photoStreamAlbumId || *albumId == m_cameraAlbumId)) {
        const bool stream = *albumId == m_photoStreamAlbumId;
        for (const ImageDetailPtr& image : m_store->images())
            if (ImageDetail::isYes(stream ? image->isFromStream : image->isFromCamera))
                result.append(image);
    } else {
        for (const AlbumPtr& album : m_store->albumsWithID(albumId)) {
            if (album->kind == 1) {
                // The library as the device shows it: never what the user
                // hid, and, in the album made for libraries without one of
                // their own (those that have a trash), not what waits there.
                const bool withoutTrash = album->id == kLibraryAlbumId;
                QList<ImageDetailPtr> library;
                for (const ImageDetailPtr& image : _getAllAssets())
                    if (!ImageDetail::isYes(image->isHidden)
                        && !(withoutTrash && image->dateTrashed.isValid()))
                        library.append(image);
                return library;
            }
            for (const ImageDetailPtr& image : album->relationshipAssets)
                result.append(image);
            for (const ImageDetailPtr& image : result)
                image->setSingleInstanceAlbumName(album->title);
        }
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const ImageDetailPtr& a, const ImageDetailPtr& b) {
                         if (int c = compareOptional(a->sortToken, b->sortToken))
                             return c > 0;
                         return compareDates(a->dateCreated, b->dateCreated) > 0;
                     });
    const bool trashAlbum = albumId && *albumId == m_trashedAlbumId;
    const bool hiddenAlbum = albumId && *albumId == m_hiddenAlbumId;
    QList<ImageDetailPtr> kept;
    for (const ImageDetailPtr& image : result)
        if (image->hasRawFormat() && (trashAlbum || !image->dateTrashed.isValid())
            && (trashAlbum || hiddenAlbum || !ImageDetail::isYes(image->isHidden)))
            kept.append(image);
    return kept;
}

qint64 QELDeviceImageLibraryReader::getAlbumKindFromTitle(const QString& title) const
{
    if (m_store)
        for (const AlbumPtr& album : m_store->albums())
            if (album->title == title)
                return album->kind.value_or(0);
    return 0;
}

bool QELDeviceImageLibraryReader::isLibraryEmpty() const { return _getAllAssets().isEmpty(); }

QImage QELDeviceImageLibraryReader::_rotateImage(const QImage& image, float degrees)
{
    if (image.isNull())
        return image;
    // Qt turns clockwise for positive angles (its y axis points down).
    return image.transformed(QTransform().rotate(-double(degrees)), Qt::SmoothTransformation);
}

QImage QELDeviceImageLibraryReader::rawThumbnail(const ImageDetail& detail) const
{
    QELDeviceInterface* device = deviceInterface();
    if (!device)
        return {};
    // Exactly the bytes the decoder takes: a read past the end of the file
    // answers nothing over the file service, which lost the last record.
    qint64 length = detail.dataSize.value_or(0);
    if (detail.hasRawFormat()) {
        qint64 width = detail.width.value_or(0) + detail.horizontalPadding.value_or(0);
        const qint64 height = detail.height.value_or(0) + detail.verticalPadding.value_or(0);
        width += width % 2;
        const qint64 needed = width * height * 2;
        if (needed > 0 && (length <= 0 || needed < length))
            length = needed;
    }
    if (length <= 0 || length > kMaxFullImageBytes)
        return {};
    const qint64 offset = detail.thumbnailOffset.value_or(0);
    if (offset < 0)
        return {};
    const std::optional<QByteArray> bytes =
        device->getDataContentsAtPathStartingAtPostisionForLength(detail.thumbnailPath,
                                                                  quint64(offset), quint32(length));
    if (!bytes)
        return {};
    QImage image = QELImageUtilities::getImageFromDataForImageDetail(*bytes, &detail);
    const qint64 ow = detail.originalWidth.value_or(0);
    const qint64 oh = detail.originalHeight.value_or(0);
    if (image.isNull() || ow <= 0 || oh <= 0 || ow == oh)
        return image;
    QImage painted = image.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&painted);
    const float w = float(painted.width());
    const float h = float(painted.height());
    if (ow < oh) {
        const float drawn = h * (float(ow) / float(oh));
        const float bar = (w - drawn) / 2;
        painter.fillRect(QRectF(0, 0, bar, h), Qt::white);
        painter.fillRect(QRectF(w - bar, 0, bar, h), Qt::white);
    } else {
        const float drawn = w * (float(oh) / float(ow));
        const float bar = (h - drawn) / 2;
        painter.fillRect(QRectF(0, 0, w, bar), Qt::white);
        painter.fillRect(QRectF(0, h - bar, w, bar), Qt::white);
    }
    painter.end();
    return painted;
}

QImage QELDeviceImageLibraryReader::embeddedThumbnail(const ImageDetail& detail) const
{
    QELDeviceInterface* device = deviceInterface();
    const qint64 length = detail.embeddedThumbnail->length.value_or(0);
    const qint64 offset = detail.embeddedThumbnail->offset.value_or(0);
    if (!device || length <= 0 || length > kMaxFullImageBytes || offset < 0)
        return {};
    const std::optional<QByteArray> bytes =
        device->getDataContentsAtPathStartingAtPostisionForLength(detail.fullImagePath,
                                                                  quint64(offset), quint32(length));
    if (!bytes || bytes->isEmpty())
        return {};
    QImage image = QELImageUtilities::imageFromFileData(*bytes);
    switch (detail.orientation.value_or(0)) {
    case 3:
        return _rotateImage(image, 180);
    case 6:
        return _rotateImage(image, -90);
    case 8:
        return _rotateImage(image, 90);
    default:
        return image;
    }
}

QImage QELDeviceImageLibraryReader::getThumbnailImageFromDetail(const ImageDetail* detail) const
{
    assertNotOnGuiThread();
    if (!detail)
        return {};
    // A stage without a picture falls through to the next, so the last
    // record of a thumbnail file or a missing one still shows something.
    if (!detail->thumbnailPath.isEmpty()) {
        QImage image = rawThumbnail(*detail);
        if (!image.isNull())
            return image;
    }
    if (detail->embeddedThumbnail && detail->embeddedThumbnail->length) {
        QImage image = embeddedThumbnail(*detail);
        if (!image.isNull())
            return image;
    }
    QELDeviceInterface* device = deviceInterface();
    if (detail->fullImagePath.isEmpty() || !device
        || !device->fileExistsAtPath(detail->fullImagePath))
        return {};
    const QImage full = getFullImageFromDetail(detail);
    if (full.isNull())
        return full;
    return full.scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage QELDeviceImageLibraryReader::getFullImageFromDetail(const ImageDetail* detail) const
{
    assertNotOnGuiThread();
    QELDeviceInterface* device = deviceInterface();
    if (!detail || !device || !m_store)
        return {};
    // Every stored size of the image; one without an id (artwork) is its only size.
    QList<const ImageDetail*> sizes;
    if (detail->imageID)
        for (const ImageDetailPtr& size : m_store->imagesWithID(*detail->imageID))
            sizes.append(size.get());
    if (sizes.isEmpty())
        sizes.append(detail);
    std::stable_sort(sizes.begin(), sizes.end(), [](const ImageDetail* a, const ImageDetail* b) {
        if (a->fullImagePath != b->fullImagePath)
            return a->fullImagePath > b->fullImagePath;
        return compareOptional(a->width, b->width) > 0;
    });
    for (const ImageDetail* size : sizes) {
        const QString path = size->fullImageAdjustedPath.isEmpty() ? size->fullImagePath
                                                                   : size->fullImageAdjustedPath;
        std::optional<QByteArray> bytes;
        // The whole file is an image file whatever format its thumbnail has.
        std::optional<qint64> format = size->imageFormat;
        if (!path.isEmpty()) {
            format = 0;
            const qint64 fileSize = sizeFromInfo(device->getFileInfo(path));
            if (fileSize > 0 && fileSize <= kMaxFullImageBytes)
                bytes = device->getDataContentsAtPathStartingAtPostisionForLength(
                    path, 0, quint32(fileSize));
        } else if (size->dataSize.value_or(0) > 0 && size->dataSize <= kMaxFullImageBytes
                   && size->thumbnailOffset.value_or(0) >= 0) {
            bytes = device->getDataContentsAtPathStartingAtPostisionForLength(
                size->thumbnailPath, quint64(size->thumbnailOffset.value_or(0)),
                quint32(*size->dataSize));
        }
        if (!bytes || bytes->isEmpty())
            continue;
        QImage image =
            QELImageUtilities::getImageFromDataForImageDetailWithFormat(*bytes, size, format);
        if (!image.isNull())
            return image;
    }
    return {};
}
