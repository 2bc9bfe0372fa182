// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicArtwork.h"

#include <limits>

#include "ImageDetail.h"
#include "QELArtworkITunesPurchases.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELImageUtilities.h"
#include "ThreadCheck.h"

namespace MusicArtwork {

namespace {

// A cover above this is no cover; a hostile size must not be read into memory.
constexpr qint64 kMaxArtworkBytes = qint64(64) << 20;

QImage readImageFile(const QELDeviceInterface& device, const QString& path)
{
    const qint64 size = fileSize(device, path);
    if (size <= 0 || size > kMaxArtworkBytes)
        return {};
    const std::optional<QByteArray> bytes =
        device.getDataContentsAtPathStartingAtPostisionForLength(path, 0, quint32(size));
    if (!bytes)
        return {};
    return QELImageUtilities::imageFromFileData(*bytes);
}

bool exists(const QELDeviceInterface& device, const QString& path)
{
    return !path.isEmpty() && device.fileExistsAtPath(path);
}

Result picture(Source source, const QImage& image)
{
    Result result;
    result.source = source;
    result.image = image;
    result.background = backgroundOf(image);
    return result;
}

} // namespace

qint64 fileSize(const QELDeviceInterface& device, const QString& path)
{
    const std::optional<QVariantMap> info = device.getFileInfo(path);
    if (!info)
        return 0;
    const QVariant size = info->contains(QStringLiteral("st_size"))
        ? info->value(QStringLiteral("st_size"))
        : info->value(QStringLiteral("NSFileSize"));
    bool ok = false;
    const qint64 value = size.toLongLong(&ok);
    return ok && value > 0 ? value : 0;
}

QColor backgroundOf(const QImage& image)
{
    if (image.isNull() || image.width() <= 20 || image.height() <= 2)
        return {};
    return image.pixelColor(20, 2);
}

Result forTrack(const TrackDetail& track, const QELDeviceInterface* device,
                const QELDeviceImageLibraryReader* artwork)
{
    assertNotOnGuiThread();
    if (isYes(track.isICloudStreaming) && !isYes(track.isAppleMusic)) {
        Result notice;
        notice.source = Source::ICloudNotice;
        notice.background = Qt::white;
        return notice;
    }
    ImageDetailPtr record;
    if (artwork) {
        if (track.artworkId)
            record = artwork->getImageDetailForId(track.artworkId);
        if (!record && !track.persistentID.isEmpty()) {
            bool ok = false;
            const qint64 id = track.persistentID.toLongLong(&ok);
            if (ok)
                record = artwork->getImageDetailForId(id);
        }
    }
    if (device) {
        if (exists(*device, track.artworkPath)) {
            const QImage image = readImageFile(*device, track.artworkPath);
            if (!image.isNull())
                return picture(Source::ArtworkPath, image);
        } else if (record && exists(*device, record->fullImagePath)) {
            const QImage image = readImageFile(*device, record->fullImagePath);
            if (!image.isNull())
                return picture(Source::FullImage, image);
        }
        if (record && exists(*device, record->thumbnailPath) && record->dataSize
            && *record->dataSize > 0 && *record->dataSize <= kMaxArtworkBytes) {
            const std::optional<QByteArray> bytes =
                device->getDataContentsAtPathStartingAtPostisionForLength(
                    record->thumbnailPath,
                    quint64(std::max<qint64>(0, record->thumbnailOffset.value_or(0))),
                    quint32(*record->dataSize));
            if (bytes) {
                const QImage image =
                    QELImageUtilities::getImageFromDataForImageDetail(*bytes, record.get());
                if (!image.isNull())
                    return picture(Source::RawThumbnail, image);
            }
        }
        const QString purchased =
            QELArtworkITunesPurchases::getArtworkForPurchasedFileName(track.path);
        if (exists(*device, purchased)) {
            const QImage image = readImageFile(*device, purchased);
            if (!image.isNull())
                return picture(Source::Purchased, image);
        }
    }
    Result none;
    none.background = Qt::white;
    return none;
}

Result forPlaylist(const Playlist& playlist, const QELDeviceInterface* device)
{
    assertNotOnGuiThread();
    if (!device || playlist.playlistImageRelativePath.isEmpty())
        return {};
    // The relative path comes from the device: it must stay below the folder.
    const QString relative = playlist.playlistImageRelativePath;
    if (relative.contains(QLatin1String("..")) || relative.startsWith(QLatin1Char('/')))
        return {};
    const QString path =
        QStringLiteral("/iTunes_Control/iTunes/Artwork/Originals/%1").arg(relative);
    if (!device->fileExistsAtPath(path))
        return {};
    const QImage image = readImageFile(*device, path);
    if (image.isNull())
        return {};
    return picture(Source::Playlist, image);
}

} // namespace MusicArtwork
