// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELImageUtilities.h"

#include <memory>

#include <libheif/heif.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include "AtomicFile.h"
#include "ImageDetail.h"
#include "Log.h"

namespace {

// Pictures larger than this are refused before decoding: a hostile header
// must not make us allocate gigabytes.
constexpr qint64 kMaxPixels = qint64(16384) * 16384;

bool rawSizeUsable(const QByteArray& data, int& width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    if (width % 2 != 0)
        ++width;
    const qint64 needed = qint64(width) * height * 2;
    return qint64(width) * height <= kMaxPixels && data.size() >= needed;
}

quint16 wordAt(const uchar* bytes, qint64 index)
{
    return quint16(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

template <auto Free> struct HeifDeleter {
    template <class P> void operator()(P* p) const noexcept
    {
        if (p)
            Free(p);
    }
};

} // namespace

bool QELImageUtilities::SaveImage(const QImage& image, const QString& path)
{
    if (image.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    if (!writer.write(image))
        return false;
    return writeFileAtomically(path, bytes);
}

QImage QELImageUtilities::convertRGB555ToNSImageFromDataWithWidthAndHeight(const QByteArray& data,
                                                                           int width, int height)
{
    if (!rawSizeUsable(data, width, height))
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint16 w = wordAt(bytes, qint64(y) * width + x);
            // Each 5-bit component onto 0-255, as the platform scales it.
            const auto scale = [](int c) { return (c << 3) | (c >> 2); };
            line[x] = qRgb(scale((w >> 10) & 0x1F), scale((w >> 5) & 0x1F), scale(w & 0x1F));
        }
    }
    return image;
}

QImage QELImageUtilities::convertRGB565ToNSImageFromDataWithWidthAndHeight(const QByteArray& data,
                                                                           int width, int height)
{
    if (!rawSizeUsable(data, width, height))
        return {};
    QImage image(width, height, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const quint16 w = wordAt(bytes, qint64(y) * width + x);
            line[4 * x] = uchar(((w >> 11) & 0x1F) << 3);
            line[4 * x + 1] = uchar(((w >> 5) & 0x3F) << 2);
            line[4 * x + 2] = uchar((w & 0x1F) << 3);
            line[4 * x + 3] = 255;
        }
    }
    return image;
}

QImage QELImageUtilities::removePaddingFromImageHorizontalPaddingVerticalPadding(
    const QImage& image, int horizontalPadding, int verticalPadding)
{
    const int width = image.width() - 2 * horizontalPadding;
    const int height = image.height() - 2 * verticalPadding;
    if (image.isNull() || horizontalPadding < 0 || verticalPadding < 0 || width <= 0 || height <= 0)
        return image;
    return image.copy(horizontalPadding, verticalPadding, width, height);
}

QImage QELImageUtilities::getImageFromDataForImageDetail(const QByteArray& data,
                                                         const ImageDetail* detail)
{
    if (!detail)
        return {};
    return getImageFromDataForImageDetailWithFormat(data, detail, detail->imageFormat);
}

QImage QELImageUtilities::getImageFromDataForImageDetailWithFormat(
    const QByteArray& data, const ImageDetail* detail, std::optional<qint64> imageFormat)
{
    if (!detail || data.isEmpty())
        return {};
    const qint64 hPad = detail->horizontalPadding.value_or(0);
    const qint64 vPad = detail->verticalPadding.value_or(0);
    const qint64 width = detail->width.value_or(0) + hPad;
    const qint64 height = detail->height.value_or(0) + vPad;
    const auto fits = [](qint64 v) { return v > 0 && v <= 65536; };
    QImage image;
    const qint64 format = imageFormat.value_or(0);
    if (format == 1 || format == 2) {
        if (!fits(width) || !fits(height))
            return {};
        image = format == 1
            ? convertRGB555ToNSImageFromDataWithWidthAndHeight(data, int(width), int(height))
            : convertRGB565ToNSImageFromDataWithWidthAndHeight(data, int(width), int(height));
    } else if (format == 0) {
        if (!imageFormat && !looksLikeImageFile(data))
            return {};
        image = imageFromFileData(data);
    } else {
        return {};
    }
    if (image.isNull() || (hPad == 0 && vPad == 0) || hPad > 65536 || vPad > 65536)
        return image;
    return removePaddingFromImageHorizontalPaddingVerticalPadding(image, int(hPad), int(vPad));
}

bool QELImageUtilities::looksLikeImageFile(const QByteArray& data)
{
    if (isHeifData(data))
        return true;
    for (const QByteArray& magic :
         {QByteArray("\xff\xd8\xff"), QByteArray("\x89PNG\r\n\x1a\n"), QByteArray("GIF87a"),
          QByteArray("GIF89a"), QByteArray("BM"), QByteArray("II*\0", 4), QByteArray("MM\0*", 4)})
        if (data.startsWith(magic))
            return true;
    return data.size() >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP";
}

bool QELImageUtilities::isHeifData(const QByteArray& data)
{
    if (data.size() < 12 || data.mid(4, 4) != "ftyp")
        return false;
    const QByteArray brand = data.mid(8, 4);
    for (const char* known :
         {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif"})
        if (brand == known)
            return true;
    return false;
}

QImage QELImageUtilities::imageFromFileData(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    // libheif applies the container's own rotation, which is what HEIC
    // photos carry in place of an EXIF orientation.
    if (isHeifData(data))
        return decodeHeif(data);
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return {};
    QImage image = reader.read();
    if (image.isNull())
        qCDebug(lcOrvane) << "image bytes did not decode:" << reader.errorString();
    return image;
}

std::optional<int> QELImageUtilities::exifOrientation(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return std::nullopt;
    const QImageIOHandler::Transformations t = reader.transformation();
    // The EXIF values in the order of Qt's transformation flags.
    switch (int(t)) {
    case QImageIOHandler::TransformationNone:
        return data.contains("Exif") ? std::optional<int>(1) : std::nullopt;
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return std::nullopt;
    }
}

QImage QELImageUtilities::decodeHeif(const QByteArray& data)
{
    std::unique_ptr<heif_context, HeifDeleter<&heif_context_free>> context(heif_context_alloc());
    if (!context)
        return {};
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                  size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok) {
        qCDebug(lcOrvane) << "HEIF bytes did not open:" << error.message;
        return {};
    }
    heif_image_handle* rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    std::unique_ptr<heif_image_handle, HeifDeleter<&heif_image_handle_release>> handle(rawHandle);
    if (error.code != heif_error_Ok || !handle)
        return {};
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxPixels)
        return {};
    heif_image* rawImage = nullptr;
    error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGBA, nullptr);
    std::unique_ptr<heif_image, HeifDeleter<&heif_image_release>> decoded(rawImage);
    if (error.code != heif_error_Ok || !decoded) {
        qCDebug(lcOrvane) << "HEIF image did not decode:" << error.message;
        return {};
    }
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int outWidth = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int outHeight = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!pixels || outWidth <= 0 || outHeight <= 0 || stride < outWidth * 4)
        return {};
    // A deep copy: the planes go with the heif image.
    return QImage(pixels, outWidth, outHeight, stride, QImage::Format_RGBA8888).copy();
}
