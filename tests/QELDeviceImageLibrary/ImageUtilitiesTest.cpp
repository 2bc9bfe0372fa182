// SPDX-License-Identifier: GPL-3.0-or-later
// Raw thumbnail pixels, image files (EXIF orientation, HEIC) and the bytes
// that must never decode into anything.
#include <memory>

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "ImageDetail.h"
#include "PhotosTestSupport.h"
#include "QELImageUtilities.h"

namespace {

QByteArray words(int count, quint16 word)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        bytes.append(char(word & 0xFF));
        bytes.append(char(word >> 8));
    }
    return bytes;
}

struct Rgb565Case {
    quint16 word;
    QColor expected;
};

TEST(Rgb565, WordsBecomeTheShiftedComponents)
{
    const std::vector<Rgb565Case> cases = {
        {0xFFFF, QColor(248, 252, 248, 255)}, {0xF800, QColor(248, 0, 0, 255)},
        {0x001F, QColor(0, 0, 248, 255)},     {0x07E0, QColor(0, 252, 0, 255)},
        {0x0000, QColor(0, 0, 0, 255)},
    };
    for (const Rgb565Case& c : cases) {
        SCOPED_TRACE(c.word);
        const QImage image = QELImageUtilities::convertRGB565ToNSImageFromDataWithWidthAndHeight(
            words(4, c.word), 2, 2);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.pixelColor(1, 1), c.expected);
    }
}

TEST(Rgb565, AnOddWidthIsDecodedOneWiderFromExactlyItsBytes)
{
    const QByteArray bytes = words(40, 0xF800); // 8 x 5 words: 80 bytes
    const QImage image =
        QELImageUtilities::convertRGB565ToNSImageFromDataWithWidthAndHeight(bytes, 7, 5);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(8, 5));
    // One byte short of the padded picture: nothing, and nothing read past.
    EXPECT_TRUE(
        QELImageUtilities::convertRGB565ToNSImageFromDataWithWidthAndHeight(bytes.left(79), 7, 5)
            .isNull());
}

TEST(Rgb555, TheTopBitDoesNotChangeTheColour)
{
    const QImage a =
        QELImageUtilities::convertRGB555ToNSImageFromDataWithWidthAndHeight(words(4, 0x7FFF), 2, 2);
    const QImage b =
        QELImageUtilities::convertRGB555ToNSImageFromDataWithWidthAndHeight(words(4, 0xFFFF), 2, 2);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.pixel(0, 0), b.pixel(0, 0));
    EXPECT_EQ(QColor(a.pixel(0, 0)), QColor(255, 255, 255));
    const QImage red =
        QELImageUtilities::convertRGB555ToNSImageFromDataWithWidthAndHeight(words(4, 0x7C00), 2, 2);
    EXPECT_EQ(QColor(red.pixel(1, 0)), QColor(255, 0, 0));
}

struct ShortCase {
    const char* name;
    qint64 format;
    int width;
    int height;
    int bytes;
};

TEST(RawPixels, ShortOrSenselessInputGivesNoPicture)
{
    const std::vector<ShortCase> cases = {
        {"empty 555", 1, 4, 4, 0},           {"one byte short 555", 1, 4, 4, 31},
        {"one byte short 565", 2, 4, 4, 31}, {"odd width short", 1, 3, 2, 11},
        {"zero width", 1, 0, 4, 64},         {"negative height", 2, 4, -1, 64},
        {"huge size", 1, 60000, 60000, 64},  {"format 3", 3, 2, 2, 8},
    };
    for (const ShortCase& c : cases) {
        SCOPED_TRACE(c.name);
        ImageDetail detail;
        detail.imageFormat = c.format;
        detail.width = c.width;
        detail.height = c.height;
        EXPECT_TRUE(
            QELImageUtilities::getImageFromDataForImageDetail(QByteArray(c.bytes, '\x1f'), &detail)
                .isNull());
    }
    EXPECT_TRUE(QELImageUtilities::getImageFromDataForImageDetail(words(4, 1), nullptr).isNull());
}

TEST(RawPixels, PaddingIsCutFromBothSides)
{
    ImageDetail detail;
    detail.imageFormat = 1;
    detail.width = 140;
    detail.height = 140;
    detail.horizontalPadding = 2;
    detail.verticalPadding = 0;
    QByteArray bytes;
    // Column 0-1 and 140-141 red, the rest blue.
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 142; ++x)
            bytes += words(1, x < 2 || x >= 140 ? 0x7C00 : 0x001F);
    const QImage image = QELImageUtilities::getImageFromDataForImageDetail(bytes, &detail);
    ASSERT_EQ(image.size(), QSize(138, 140));
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(image.pixel(137, 139)), QColor(0, 0, 255));
}

TEST(ImageFiles, AJpegDecodesAndItsPaddingsAreCut)
{
    const QByteArray jpeg = PhotosTest::jpegBytes(QSize(40, 30), Qt::green);
    ImageDetail detail;
    EXPECT_EQ(QELImageUtilities::getImageFromDataForImageDetail(jpeg, &detail).size(),
              QSize(40, 30));
    detail.horizontalPadding = 5;
    detail.verticalPadding = 3;
    EXPECT_EQ(QELImageUtilities::getImageFromDataForImageDetail(jpeg, &detail).size(),
              QSize(30, 24));
    // The caller's format wins over the record's.
    detail.imageFormat = 1;
    EXPECT_EQ(QELImageUtilities::getImageFromDataForImageDetailWithFormat(jpeg, &detail, 0).size(),
              QSize(30, 24));
}

TEST(ImageFiles, ExifOrientationSixIsShownUpright)
{
    const QByteArray jpeg = PhotosTest::jpegWithOrientation(QSize(40, 20), 6);
    EXPECT_EQ(QELImageUtilities::exifOrientation(jpeg), 6);
    EXPECT_EQ(QELImageUtilities::imageFromFileData(jpeg).size(), QSize(20, 40));
    EXPECT_EQ(QELImageUtilities::exifOrientation(PhotosTest::jpegBytes(QSize(4, 4), Qt::red)),
              std::nullopt);
}

TEST(ImageFiles, DamagedFilesGiveNoPicture)
{
    const QByteArray jpeg = PhotosTest::jpegBytes(QSize(64, 64), Qt::blue);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"header only", jpeg.left(20)},
        {"text", QByteArray("not an image at all")},
        {"heif brand without boxes",
         QByteArray("\0\0\0\x18"
                    "ftypheic\0\0\0\0mif1heic",
                    24)},
        {"truncated heif", PhotosTest::heicBytes(QSize(32, 32)).left(200)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(QELImageUtilities::imageFromFileData(bytes).isNull());
    }
}

TEST(ImageFiles, HeicFromTheDeviceCameraDecodes)
{
    const QByteArray heic = PhotosTest::heicBytes(QSize(64, 48));
    ASSERT_FALSE(heic.isEmpty()) << "libheif could not encode";
    EXPECT_TRUE(QELImageUtilities::isHeifData(heic));
    const QImage image = QELImageUtilities::imageFromFileData(heic);
    ASSERT_EQ(image.size(), QSize(64, 48));
    const QColor centre = image.pixelColor(32, 24);
    EXPECT_GT(centre.red(), 180);
    EXPECT_LT(centre.blue(), 80);
}

TEST(SaveImage, WritesAJpegAndRefusesANullImage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.jpg"));
    EXPECT_FALSE(QELImageUtilities::SaveImage(QImage(), path));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QELImageUtilities::SaveImage(image, path));
    EXPECT_EQ(QImage(path).size(), QSize(8, 8));
}

} // namespace
