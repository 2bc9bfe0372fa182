// SPDX-License-Identifier: GPL-3.0-or-later
// Thumbnails and full pictures read from the device on demand: raw records
// of the thumbnail files, thumbnails embedded in the photos' files, whole
// files (JPEG, HEIC), and several threads asking at once.
#include <thread>

#include <gtest/gtest.h>

#include <QColor>

#include "PhotosTestSupport.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELImageStore.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;
using PhotosDbFixture::Schema;
using PhotosTest::Library;

namespace {

const QString kThumbnails = QStringLiteral("PhotoData/Thumbnails/120x120.ithmb");

Asset square(qint64 pk, int index)
{
    Asset a;
    a.pk = pk;
    a.fileName = QStringLiteral("IMG_%1.JPG").arg(pk);
    a.thumbnailIndex = index;
    a.width = 1000;
    a.height = 1000;
    a.sortToken = double(pk);
    return a;
}

QByteArray records(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += PhotosDbFixture::ithmbRecord(120, quint16(0x001F)); // blue
    return bytes;
}

TEST(Thumbnails, TheLastRecordOfAThumbnailFileDecodes)
{
    Library library;
    library.deviceFile(kThumbnails, records(3));
    library.database(Schema{}, {square(1, 0), square(2, 2)});
    ASSERT_TRUE(library.read());
    for (qint64 id : {1, 2}) {
        SCOPED_TRACE(id);
        const QImage image = library.reader().getThumbnailImageFromDetail(library.image(id).get());
        ASSERT_EQ(image.size(), QSize(120, 120));
        EXPECT_EQ(QColor(image.pixel(60, 60)), QColor(0, 0, 255));
    }
}

TEST(Thumbnails, APortraitOriginalGetsWhiteBarsASquareOneNone)
{
    Library library;
    library.deviceFile(kThumbnails, records(2));
    Asset portrait = square(1, 0);
    portrait.width = 3000;
    portrait.height = 4000;
    Asset landscape = square(2, 1);
    landscape.width = 4000;
    landscape.height = 2000;
    library.database(Schema{}, {portrait, landscape, square(3, 1)});
    ASSERT_TRUE(library.read());
    const QImage p = library.reader().getThumbnailImageFromDetail(library.image(1).get());
    EXPECT_EQ(QColor(p.pixel(2, 60)), QColor(Qt::white));
    EXPECT_EQ(QColor(p.pixel(117, 60)), QColor(Qt::white));
    EXPECT_EQ(QColor(p.pixel(60, 2)), QColor(0, 0, 255));
    const QImage l = library.reader().getThumbnailImageFromDetail(library.image(2).get());
    EXPECT_EQ(QColor(l.pixel(60, 2)), QColor(Qt::white));
    EXPECT_EQ(QColor(l.pixel(2, 60)), QColor(0, 0, 255));
    const QImage s = library.reader().getThumbnailImageFromDetail(library.image(3).get());
    EXPECT_EQ(QColor(s.pixel(0, 0)), QColor(0, 0, 255));
}

struct EmbeddedCase {
    int orientation;
    QSize expected;
};

TEST(Thumbnails, AShortThumbnailFileFallsThroughToTheEmbeddedThumbnailTurnedByOrientation)
{
    const std::vector<EmbeddedCase> cases = {
        {1, {40, 20}}, {2, {40, 20}}, {3, {40, 20}}, {4, {40, 20}},
        {5, {40, 20}}, {6, {20, 40}}, {7, {40, 20}}, {8, {20, 40}},
    };
    for (const EmbeddedCase& c : cases) {
        SCOPED_TRACE(c.orientation);
        Library library;
        // The record of index 1 is cut short.
        library.deviceFile(kThumbnails, records(2).left(28828 + 1000));
        const QByteArray embedded = PhotosTest::jpegBytes(QSize(40, 20), Qt::red);
        library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_1.JPG"),
                           QByteArray(300, 'x') + embedded);
        Asset a = square(1, 1);
        a.orientation = c.orientation;
        a.embeddedOffset = 300;
        a.embeddedLength = embedded.size();
        library.database(Schema{}, {a});
        ASSERT_TRUE(library.read());
        EXPECT_EQ(library.reader().getThumbnailImageFromDetail(library.image(1).get()).size(),
                  c.expected);
    }
}

TEST(Thumbnails, WithoutThumbnailsTheFullPictureIsScaledDown)
{
    Library library;
    library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_1.JPG"),
                       PhotosTest::jpegBytes(QSize(400, 300), Qt::green));
    library.database(Schema{}, {square(1, 0), square(2, 0)});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.reader().getThumbnailImageFromDetail(library.image(1).get()).size(),
              QSize(100, 75));
    // Nothing anywhere: no picture.
    EXPECT_TRUE(library.reader().getThumbnailImageFromDetail(library.image(2).get()).isNull());
    EXPECT_TRUE(library.reader().getThumbnailImageFromDetail(nullptr).isNull());
}

TEST(FullPictures, JpegWithOrientationAndHeicDecode)
{
    Library library;
    library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_1.JPG"),
                       PhotosTest::jpegWithOrientation(QSize(60, 30), 6));
    const QByteArray heic = PhotosTest::heicBytes(QSize(64, 48));
    ASSERT_FALSE(heic.isEmpty());
    library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_2.HEIC"), heic);
    Asset h = square(2, 0);
    h.fileName = QStringLiteral("IMG_2.HEIC");
    library.database(Schema{}, {square(1, 0), h});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.reader().getFullImageFromDetail(library.image(1).get()).size(),
              QSize(30, 60));
    EXPECT_EQ(library.reader().getFullImageFromDetail(library.image(2).get()).size(),
              QSize(64, 48));
    // The shared record keeps its raw format.
    EXPECT_EQ(library.image(1)->imageFormat, 1);
}

TEST(FullPictures, AFailedSizeFallsBackToTheNextSizeOfTheImage)
{
    Library library;
    library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_1.JPG"),
                       PhotosTest::jpegBytes(QSize(50, 50), Qt::red));
    library.database(Schema{}, {square(1, 0)});
    ASSERT_TRUE(library.read());
    // A second size of the same image whose path sorts first and is missing.
    auto missing = std::make_shared<ImageDetail>();
    missing->imageID = 1;
    missing->fullImagePath = QStringLiteral("ZZZ/missing.JPG");
    library.reader().store()->addImage(missing);
    EXPECT_EQ(library.reader().getFullImageFromDetail(missing.get()).size(), QSize(50, 50));
}

TEST(FullPictures, FourThreadsAskAtOnce)
{
    Library library;
    library.deviceFile(kThumbnails, records(8));
    QList<Asset> assets;
    QList<qint64> members;
    for (int i = 1; i <= 8; ++i) {
        library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_%1.JPG").arg(i),
                           PhotosTest::jpegBytes(QSize(32 + i, 32), Qt::blue));
        assets << square(i, i - 1);
        members << i;
    }
    library.database(Schema{}, assets,
                     {AlbumRow{20, 2, "A", members}, AlbumRow{21, 2, "B", members}});
    ASSERT_TRUE(library.read());
    QELDeviceImagePhotosDbReader& reader = library.reader();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round)
                for (const ImageDetailPtr& image : reader.getAssetsForAlbumWithId(20 + (t % 2))) {
                    if (reader.getThumbnailImageFromDetail(image.get()).size() != QSize(120, 120))
                        ++failures;
                    if (reader.getFullImageFromDetail(image.get()).width() != 32 + *image->imageID)
                        ++failures;
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
