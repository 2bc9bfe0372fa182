// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>
#include <QString>

class ImageDetail;

// Bytes read for an image of the image store turned into a picture: raw
// 16-bit thumbnail pixels (RGB555, RGB565) or a whole image file. Class
// operations only, any thread; none throws, and bad or short bytes give a
// null image, never a read past their end.
class QELImageUtilities {
public:
    // Writes the image as a JPEG file, replacing the file only once the new
    // one is whole. False for a null image or a failed write.
    static bool SaveImage(const QImage& image, const QString& path);
    // An odd width is decoded one pixel wider (its rows carry that pixel).
    static QImage convertRGB555ToNSImageFromDataWithWidthAndHeight(const QByteArray& data,
                                                                   int width, int height);
    static QImage convertRGB565ToNSImageFromDataWithWidthAndHeight(const QByteArray& data,
                                                                   int width, int height);
    // Takes the horizontal padding off the left and right edges and the
    // vertical padding off the top and bottom; a padding that leaves nothing
    // answers the image unchanged.
    static QImage removePaddingFromImageHorizontalPaddingVerticalPadding(const QImage& image,
                                                                         int horizontalPadding,
                                                                         int verticalPadding);
    // Decodes by the detail's format, size and paddings. Bytes of a detail
    // without a format are decoded as an image file only when they begin as
    // one: a size the database names by an id of no known format may hold raw
    // pixels, which some loose image readers would take for a picture.
    static QImage getImageFromDataForImageDetail(const QByteArray& data, const ImageDetail* detail);
    // The same with the format given by the caller in place of the detail's
    // (none: an image file), so a shared detail is never changed to decode.
    static QImage getImageFromDataForImageDetailWithFormat(const QByteArray& data,
                                                           const ImageDetail* detail,
                                                           std::optional<qint64> imageFormat);
    // An image file of any format Qt reads, or HEIC/HEIF, shown upright by its
    // EXIF orientation.
    static QImage imageFromFileData(const QByteArray& data);
    // The EXIF orientation (1-8) of an image file; none when it has none.
    static std::optional<int> exifOrientation(const QByteArray& data);
    // Whether the bytes begin as an image file: JPEG, PNG, GIF, BMP, TIFF,
    // WebP or HEIF.
    static bool looksLikeImageFile(const QByteArray& data);
    // Whether the bytes are a HEIF container (HEIC photos of iOS 11 and later).
    static bool isHeifData(const QByteArray& data);

private:
    static QImage decodeHeif(const QByteArray& data);
};
