// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of the binary image databases, read from their .ithmb files
// on the device and decoded: RGB565 and RGB555 words with odd widths and
// padding, image files of their own, ids of no known format, and .ithmb
// files shorter than their database says.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "ArtworkTestSupport.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELImageStore.h"
#include "QELImageUtilities.h"

using ArtworkTest::Device;

namespace {

ImageDetailPtr sizeOf(const QELDeviceImageLibraryReader& reader, qint64 id, qint64 correlation)
{
    for (const ImageDetailPtr& image : reader.store()->imagesWithID(id))
        if (image->mhifReference == correlation)
            return image;
    return nullptr;
}

std::unique_ptr<QELDeviceImageArtworkDBReader> readArtwork(const Device& device)
{
    auto reader = QELDeviceImageArtworkDBReader::create(device.copies());
    reader->setDeviceInterface(device.interface());
    reader->setLibraryDirectoryOnDevice(QStringLiteral("/iTunes_Control/Artwork/"));
    EXPECT_TRUE(reader->readImageDatabase()) << reader->failureReason().toStdString();
    return reader;
}

TEST(ArtworkPictures, EachSizeDecodesFromItsFile)
{
    Device device;
    device.install(ArtworkTest::artworkSample(), QStringLiteral("iTunes_Control/Artwork"),
                   QStringLiteral("ArtworkDB"));
    const auto reader = readArtwork(device);
    struct Case {
        const char* what;
        qint64 id, correlation;
        QSize size; // empty: no picture
        QColor colour;
    };
    const Case cases[] = {
        // 7 wide is stored and decoded 8 wide.
        {"RGB565", 101, 1093, {8, 5}, QColor(248, 0, 0)},
        {"RGB565, the file's last record", 106, 1093, {8, 5}, QColor(0, 0, 248)},
        // 10 + 2 wide, two columns of padding taken off each side.
        {"RGB555 with padding", 101, 3005, {8, 6}, QColor(0, 255, 0)},
        {"RGB565 white", 102, 1005, {8, 8}, QColor(248, 252, 248)},
        // No raw thumbnail: the file of its own, scaled for a thumbnail.
        {"image file", 103, 4005, {100, 100}, QColor(Qt::yellow)},
        {"unknown id, raw bytes", 104, 1027, {}, QColor()},
        {"unknown id, JPEG bytes", 105, 1027, {16, 16}, QColor(Qt::magenta)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ImageDetailPtr detail = sizeOf(*reader, c.id, c.correlation);
        ASSERT_NE(detail, nullptr);
        const QImage image = reader->getThumbnailImageFromDetail(detail.get());
        if (c.size.isEmpty()) {
            EXPECT_TRUE(image.isNull());
            continue;
        }
        ASSERT_EQ(image.size(), c.size);
        const QColor centre(image.pixel(c.size.width() / 2, c.size.height() / 2));
        EXPECT_NEAR(centre.red(), c.colour.red(), 8);
        EXPECT_NEAR(centre.green(), c.colour.green(), 8);
        EXPECT_NEAR(centre.blue(), c.colour.blue(), 8);
        // Padding columns are gone: the edges carry the picture's colour.
        const QColor edge(image.pixel(0, 0));
        EXPECT_NEAR(edge.green(), c.colour.green(), 8);
    }
    // The full picture of an image is its file of its own.
    const QImage full = reader->getFullImageFromDetail(sizeOf(*reader, 101, 1093).get());
    EXPECT_EQ(full.size(), QSize(64, 64));
    // A track's artwork as the music view asks for it, decoded from its bytes.
    const ImageDetailPtr artwork = reader->getImageDetailForId(101);
    ASSERT_NE(artwork, nullptr);
    EXPECT_EQ(reader->getFullImageFromDetail(artwork.get()).size(), QSize(64, 64));
}

TEST(ArtworkPictures, ShortOrMissingFilesAndHostileSizesGiveNoPicture)
{
    ArtworkTest::Sample sample = ArtworkTest::artworkSample();
    // The second record is cut off, the padded file is missing.
    sample.files[QStringLiteral("F1093_1.ithmb")].truncate(100);
    sample.files.remove(QStringLiteral("F3005_1.ithmb"));
    ArtworkDBWriter::Image huge;
    huge.id = 200;
    ArtworkDBWriter::Picture p;
    p.name = QStringLiteral(":F1005_1.ithmb");
    p.width = p.height = 65535;
    p.size = 0xFFFFFFF0u;
    p.offset = 0xFFFFFF00u;
    huge.pictures << p;
    sample.db.images << huge;
    Device device;
    device.install(sample, QStringLiteral("iTunes_Control/Artwork"), QStringLiteral("ArtworkDB"));
    const auto reader = readArtwork(device);
    const std::pair<qint64, qint64> sizes[] = {{106, 1093}, {101, 3005}, {200, 1093}};
    for (const auto& [id, correlation] : sizes) {
        SCOPED_TRACE(id);
        const ImageDetailPtr detail = sizeOf(*reader, id, correlation);
        ASSERT_NE(detail, nullptr);
        EXPECT_TRUE(reader->getThumbnailImageFromDetail(detail.get()).isNull());
    }
    // The whole first record is still there.
    EXPECT_EQ(reader->getThumbnailImageFromDetail(sizeOf(*reader, 101, 1093).get()).size(),
              QSize(8, 5));
}

TEST(ArtworkPictures, BytesOfNoKnownFormatAreAnImageFileOnlyWhenTheyBeginAsOne)
{
    ImageDetail detail;
    detail.width = 4;
    detail.height = 4;
    const QByteArray raw =
        ArtworkDBWriter::pixels(4, 4, [](int, int) { return 0x4D42; }); // "BM..."
    const QByteArray words = ArtworkDBWriter::pixels(4, 4, [](int, int) { return 0x1234; });
    EXPECT_TRUE(QELImageUtilities::getImageFromDataForImageDetail(words, &detail).isNull());
    EXPECT_TRUE(QELImageUtilities::getImageFromDataForImageDetail(raw, &detail).isNull());
    EXPECT_FALSE(QELImageUtilities::looksLikeImageFile(words));
    // Format 0 says the bytes are a file; the decoder still has to take them.
    detail.imageFormat = 0;
    EXPECT_TRUE(QELImageUtilities::getImageFromDataForImageDetail(words, &detail).isNull());
}

TEST(PhotoDatabasePictures, ThumbnailsAndFullPicturesOfThePhotos)
{
    Device device;
    device.install(ArtworkTest::photoSample(), QStringLiteral("Photos"),
                   QStringLiteral("Photo Database"));
    auto reader = QELDeviceImagePhotosBinaryReader::create(device.copies());
    ASSERT_NE(reader, nullptr);
    reader->setDeviceInterface(device.interface());
    reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
    ASSERT_TRUE(reader->readImageDatabase()) << reader->failureReason().toStdString();
    for (qint64 id = 1; id <= 4; ++id) {
        SCOPED_TRACE(id);
        const ImageDetailPtr thumbnail = sizeOf(*reader, id, 1024);
        ASSERT_NE(thumbnail, nullptr);
        EXPECT_EQ(thumbnail->thumbnailPath, QStringLiteral("/Photos/Thumbs/F1024_1.ithmb"));
        const QImage small = reader->getThumbnailImageFromDetail(thumbnail.get());
        ASSERT_EQ(small.size(), QSize(4, 4));
        EXPECT_EQ(QColor(small.pixel(1, 1)), QColor(0, 252, 0));
        const ImageDetailPtr full = sizeOf(*reader, id, 1);
        ASSERT_NE(full, nullptr);
        EXPECT_EQ(full->fullImagePath,
                  QStringLiteral("/Photos/Full Resolution/2008/IMG_000%1.jpg").arg(id));
        // The whole file, whichever size is asked for.
        EXPECT_EQ(reader->getFullImageFromDetail(thumbnail.get()).size(), QSize(40, 30));
    }
}

} // namespace
