// SPDX-License-Identifier: GPL-3.0-or-later
// The photo library reader over synthetic Photos.sqlite files of each schema
// generation, with the device's files in a folder read as a disk-mode volume.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "LocalizedStrings.h"
#include "PhotosTestSupport.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"
#include "SQLiteDamage.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;
using PhotosDbFixture::Schema;
using PhotosTest::Library;

namespace {

Asset photo(qint64 pk, const QString& name = QString())
{
    Asset a;
    a.pk = pk;
    a.fileName =
        name.isNull() ? QStringLiteral("IMG_%1.JPG").arg(pk, 4, 10, QLatin1Char('0')) : name;
    a.created = PhotosDbFixture::daysAgo(100);
    a.sortToken = double(pk);
    a.thumbnailIndex = int(pk);
    return a;
}

TEST(PhotosDbReader, WithoutADatabaseTheStoreIsEmptyAndNoEventIsSent)
{
    Library library;
    EXPECT_TRUE(library.read());
    EXPECT_FALSE(library.reader().databaseWasOpened());
    EXPECT_TRUE(library.reader().isLibraryEmpty());
    EXPECT_TRUE(library.delegate().events().isEmpty());
}

TEST(PhotosDbReader, EmptyTruncatedOrForeignFilesGiveAnEmptyLibrary)
{
    Library good;
    good.database(Schema{}, {photo(1), photo(2)});
    QFile file(good.databasePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"header cut", whole.left(50)},
        {"half the pages", whole.left(whole.size() / 2)},
        {"text", QByteArray("SQLite format 3 but not really")},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        Library library;
        ASSERT_TRUE(
            PhotosDbFixture::writeFile(library.copies(), QStringLiteral("Photos.sqlite"), bytes));
        EXPECT_TRUE(library.read());
        EXPECT_TRUE(library.reader().isLibraryEmpty());
        EXPECT_TRUE(library.reader().getPhotoLibrary().isEmpty());
    }
}

TEST(PhotosDbReader, OpensPhotosSqliteWhateverNameItIsGiven)
{
    Library library;
    library.database(Schema{}, {photo(1)});
    auto reader =
        QELDeviceImagePhotosDbReader::create(library.copies(), QStringLiteral("other.sqlite"));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->readImageDatabase());
    EXPECT_EQ(reader->store()->images().size(), 1u);
}

struct SchemaCase {
    const char* name;
    Schema schema;
};

Schema variant(const std::function<void(Schema&)>& change)
{
    Schema s;
    change(s);
    return s;
}

// Each schema the probes tell apart reads its photos; a flag whose column is
// absent stays unset.
TEST(PhotosDbReader, EverySchemaVariantReadsItsPhotos)
{
    const std::vector<SchemaCase> cases = {
        {"newest", Schema{}},
        {"no ZFAVORITE", variant([](Schema& s) { s.favorite = false; })},
        {"no ZKINDSUBTYPE", variant([](Schema& s) { s.kindSubtype = false; })},
        {"no ZTRASHEDDATE", variant([](Schema& s) { s.trashedDate = false; })},
        {"no ZDURATION", variant([](Schema& s) { s.duration = false; })},
        {"no ZAVALANCHEUUID", variant([](Schema& s) { s.avalancheUuid = false; })},
        {"HDR in the asset", variant([](Schema& s) { s.hdr = Schema::Hdr::Asset; })},
        {"no HDR", variant([](Schema& s) { s.hdr = Schema::Hdr::None; })},
        {"no capture device", variant([](Schema& s) { s.cameraCaptureDevice = false; })},
        {"no reverse location", variant([](Schema& s) { s.reverseLocation = false; })},
        {"no ZSORTTOKEN", variant([](Schema& s) { s.sortToken = false; })},
        {"ZASSET", variant([](Schema& s) { s.assetTable = QStringLiteral("ZASSET"); })},
        {"in the WAL", variant([](Schema& s) { s.assetsInWal = 2; })},
    };
    for (const SchemaCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        Asset a = photo(1);
        a.favorite = 1;
        a.hdr = 6;
        a.kindSubtype = 10;
        a.trashed = PhotosDbFixture::daysAgo(1);
        a.captureDevice = 1;
        a.reverseLocation = 1;
        library.database(c.schema, {a, photo(2), photo(3)});
        ASSERT_TRUE(library.read());
        ASSERT_EQ(library.reader().store()->images().size(), 3u);
        const ImageDetailPtr image = library.image(1);
        ASSERT_TRUE(image);
        const Schema& s = c.schema;
        EXPECT_EQ(image->isFavorite, s.favorite ? std::optional(true) : std::nullopt);
        EXPECT_EQ(image->isScreenshot, s.kindSubtype ? std::optional(true) : std::nullopt);
        EXPECT_EQ(image->isTrashed, std::optional(s.trashedDate));
        EXPECT_EQ(image->isPanoramic,
                  s.hdr != Schema::Hdr::None ? std::optional(true) : std::nullopt);
        EXPECT_EQ(image->isSelfie,
                  s.cameraCaptureDevice && s.reverseLocation ? std::optional(true) : std::nullopt);
        EXPECT_EQ(image->sortToken.has_value(), s.sortToken);
        EXPECT_EQ(image->fullImagePath, QStringLiteral("DCIM/100APPLE/IMG_0001.JPG"));
        EXPECT_EQ(image->originalWidth, 3024);
        EXPECT_EQ(image->originalHeight, 4032);
        EXPECT_EQ(image->imageFormat, 1);
        EXPECT_EQ(library.delegate().events().first().text, L("READINGMAINPHOTOLIBRARY"));
    }
}

struct RowCase {
    const char* name;
    Asset asset;
    std::function<void(const ImageDetail&)> check;
};

Asset with(Asset a, const std::function<void(Asset&)>& change)
{
    change(a);
    return a;
}

TEST(PhotosDbReader, RowsBecomeImagesByTheRules)
{
    Schema schema;
    schema.assetKind = true;
    const std::vector<RowCase> cases = {
        {"17 characters are cut to 16", photo(1, QStringLiteral("IMG_20160101_1.JPG")),
         [](const ImageDetail& d) {
             EXPECT_EQ(d.title, QStringLiteral("IMG_20160101_1.J"));
             EXPECT_EQ(d.fileName, QStringLiteral("IMG_20160101_1.JPG"));
         }},
        {"16 characters stay", photo(1, QStringLiteral("ABCDEFGHIJKL.JPG")),
         [](const ImageDetail& d) { EXPECT_EQ(d.title, QStringLiteral("ABCDEFGHIJKL.JPG")); }},
        {"non-ASCII names", photo(1, QStringLiteral("Été à Zürich ☀.heic")),
         [](const ImageDetail& d) {
             EXPECT_EQ(d.fileName, QStringLiteral("Été à Zürich ☀.heic"));
             EXPECT_EQ(d.title, QStringLiteral("Été à Zürich ☀.h"));
         }},
        {"IMG_0001.MOV is a video", photo(1, QStringLiteral("IMG_0001.MOV")),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, true); }},
        {"IMG_0001.Mov is a video", photo(1, QStringLiteral("IMG_0001.Mov")),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, true); }},
        {"a.mov.jpg is a video", photo(1, QStringLiteral("a.mov.jpg")),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, true); }},
        {"a long video name keeps its kind", photo(1, QStringLiteral("IMG_20160101_123456.mp4")),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, true); }},
        {"kind 1 is a video", with(photo(1, QStringLiteral("clip")), [](Asset& a) { a.kind = 1; }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, true); }},
        {"a photo is no video", photo(1),
         [](const ImageDetail& d) { EXPECT_EQ(d.isVideo, std::nullopt); }},
        {"29 days old is recent",
         with(photo(1), [](Asset& a) { a.created = PhotosDbFixture::daysAgo(29); }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isRecentlyAdded, true); }},
        {"31 days old is not",
         with(photo(1), [](Asset& a) { a.created = PhotosDbFixture::daysAgo(31); }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isRecentlyAdded, false); }},
        {"trashed keeps recent",
         with(photo(1),
              [](Asset& a) {
                  a.created = PhotosDbFixture::daysAgo(2);
                  a.trashed = PhotosDbFixture::daysAgo(1);
              }),
         [](const ImageDetail& d) {
             EXPECT_EQ(d.isRecentlyAdded, true);
             EXPECT_EQ(d.isTrashed, true);
             EXPECT_TRUE(d.dateTrashed.isValid());
         }},
        {"trashed 0 is not trashed", with(photo(1), [](Asset& a) { a.trashed = 0.0; }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isTrashed, false); }},
        {"DCIM deeper in is not the camera",
         with(photo(1), [](Asset& a) { a.directory = QStringLiteral("PhotoData/DCIM"); }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isFromCamera, false); }},
        {"an empty directory is not the camera",
         with(photo(1), [](Asset& a) { a.directory = QString(); }),
         [](const ImageDetail& d) {
             EXPECT_EQ(d.isFromCamera, false);
             EXPECT_EQ(d.fullImagePath, QStringLiteral("IMG_0001.JPG"));
         }},
        {"camera", photo(1), [](const ImageDetail& d) { EXPECT_EQ(d.isFromCamera, true); }},
        {"stream", with(photo(1), [](Asset& a) { a.savedType = 2; }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isFromStream, true); }},
        {"panorama by subtype", with(photo(1), [](Asset& a) { a.kindSubtype = 1; }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isPanoramic, true); }},
        {"capture device without location is no selfie",
         with(photo(1), [](Asset& a) { a.captureDevice = 1; }),
         [](const ImageDetail& d) { EXPECT_EQ(d.isSelfie, std::nullopt); }},
        {"embedded thumbnail",
         with(photo(1),
              [](Asset& a) {
                  a.embeddedOffset = 400;
                  a.embeddedLength = 900;
              }),
         [](const ImageDetail& d) {
             ASSERT_TRUE(d.embeddedThumbnail);
             EXPECT_EQ(d.embeddedThumbnail->offset, 400);
             EXPECT_EQ(d.embeddedThumbnail->length, 900);
             EXPECT_EQ(d.embeddedThumbnail->width, 160);
         }},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        library.database(schema, {c.asset});
        ASSERT_TRUE(library.read());
        const ImageDetailPtr image = library.image(c.asset.pk);
        ASSERT_TRUE(image);
        c.check(*image);
    }
}

TEST(PhotosDbReader, ACameraRowWithoutTheSelfieColumnIsNoSelfie)
{
    Schema schema;
    schema.reverseLocation = false;
    Library library;
    library.database(schema, {with(photo(1), [](Asset& a) {
                         a.captureDevice = 1;
                         a.reverseLocation = 1;
                     })});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.image(1)->isSelfie, std::nullopt);
}

struct GeometryCase {
    const char* name;
    QStringList files;
    QString path;
    qint64 side;
    qint64 dataSize;
};

TEST(PhotosDbReader, ThumbnailGeometryFollowsTheDevicesFiles)
{
    const std::vector<GeometryCase> cases = {
        {"240",
         {"PhotoData/Thumbnails/240x240.ithmb", "PhotoData/Thumbnails/120x120.ithmb"},
         "/PhotoData/Thumbnails/240x240.ithmb",
         240,
         115228},
        {"120",
         {"PhotoData/Thumbnails/120x120.ithmb", "PhotoData/Thumbnails/4031.ithmb"},
         "/PhotoData/Thumbnails/120x120.ithmb",
         120,
         28828},
        {"4031",
         {"PhotoData/Thumbnails/4031.ithmb", "PhotoData/Thumbnails/3309.ithmb"},
         "PhotoData/Thumbnails/4031.ithmb",
         120,
         28828},
        {"3309", {"PhotoData/Thumbnails/3309.ithmb"}, "PhotoData/Thumbnails/3309.ithmb", 64, 8220},
        {"none", {}, QString(), 0, 0},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        for (const QString& file : c.files)
            library.deviceFile(file);
        Asset a = photo(3);
        library.database(Schema{}, {a});
        ASSERT_TRUE(library.read());
        const ImageDetailPtr image = library.image(3);
        EXPECT_EQ(image->thumbnailPath, c.path);
        if (c.side == 0) {
            EXPECT_EQ(image->width, std::nullopt);
            EXPECT_EQ(image->dataSize, std::nullopt);
            EXPECT_EQ(image->thumbnailOffset, 0);
        } else {
            EXPECT_EQ(image->width, c.side);
            EXPECT_EQ(image->height, c.side);
            EXPECT_EQ(image->dataSize, c.dataSize);
            EXPECT_EQ(image->thumbnailOffset, 3 * c.dataSize);
        }
    }
}

TEST(PhotosDbReader, AnIndexBeyondFourGiBKeepsItsOffset)
{
    Library library;
    library.deviceFile(QStringLiteral("PhotoData/Thumbnails/240x240.ithmb"));
    library.database(Schema{}, {with(photo(1), [](Asset& a) { a.thumbnailIndex = 40000; })});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.image(1)->thumbnailOffset, qint64(40000) * 115228);
}

struct EditCase {
    const char* name;
    bool adjusted;
    QList<QPair<QString, qint64>> files; // device files and their sizes
    QString expected;
    bool keepsEmbedded;
};

TEST(PhotosDbReader, EditedOrMissingPhotosTakeTheRightFile)
{
    const QString original = QStringLiteral("DCIM/100APPLE/IMG_0001.JPG");
    const QString render = QStringLiteral(
        "/PhotoData/Mutations/DCIM/100APPLE/IMG_0001/Adjustments/FullSizeRender.jpg");
    const std::vector<EditCase> cases = {
        {"edit with FullSizeRender.jpg",
         true,
         {{original, 10}, {render.mid(1), 10}},
         render,
         false},
        {"edit without a render keeps the original", true, {{original, 10}}, original, true},
        {"present and unedited", false, {{original, 10}, {render.mid(1), 10}}, original, true},
        {"missing, the metadata folder names it",
         false,
         {{"PhotoData/Metadata/DCIM/100APPLE/IMG_0001.JPG", 1},
          {"PhotoData/Metadata/DCIM/100APPLE/big.JPG", 500}},
         "/PhotoData/Metadata/DCIM/100APPLE/IMG_0001.JPG",
         false},
        {"missing, the first largest metadata file",
         false,
         {{"PhotoData/Metadata/DCIM/100APPLE/a.JPG", 50},
          {"PhotoData/Metadata/DCIM/100APPLE/b.JPG", 900},
          {"PhotoData/Metadata/DCIM/100APPLE/c.JPG", 900}},
         "",
         false},
        {"missing, only empty metadata files",
         false,
         {{"PhotoData/Metadata/DCIM/100APPLE/a.JPG", 0}},
         original,
         true},
        {"missing, the stored preview",
         false,
         {{"PhotoData/Thumbnails/V2/DCIM/100APPLE/IMG_0001.JPG/5003.jpg", 10}},
         "/PhotoData/Thumbnails/V2/DCIM/100APPLE/IMG_0001.JPG/5003.jpg",
         false},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Library library;
        for (const auto& [path, size] : c.files)
            library.deviceFile(path, QByteArray(int(size), 'j'));
        Asset a = photo(1);
        a.adjusted = c.adjusted;
        a.embeddedLength = 100;
        library.database(Schema{}, {a});
        ASSERT_TRUE(library.read());
        const ImageDetailPtr image = library.image(1);
        if (QByteArray(c.name).contains("first largest")) {
            // The device lists in its own order; the first of the two largest wins.
            const QStringList listing =
                library.device().directoryContents("/PhotoData/Metadata/DCIM/100APPLE").value();
            const QString first =
                listing.indexOf("b.JPG") < listing.indexOf("c.JPG") ? "b.JPG" : "c.JPG";
            EXPECT_EQ(image->fullImagePath, "/PhotoData/Metadata/DCIM/100APPLE/" + first);
        } else {
            EXPECT_EQ(image->fullImagePath, c.expected);
        }
        EXPECT_EQ(image->embeddedThumbnail.has_value(), c.keepsEmbedded);
    }
}

TEST(PhotosDbReader, AMetadataFileBeyondTwoGiBIsTheLargest)
{
    Library library;
    library.deviceFile(QStringLiteral("PhotoData/Metadata/DCIM/100APPLE/small.JPG"),
                       QByteArray(50, 'j'));
    library.deviceFile(QStringLiteral("PhotoData/Metadata/DCIM/100APPLE/huge.MOV"));
    QFile huge(library.deviceRoot() + QStringLiteral("/PhotoData/Metadata/DCIM/100APPLE/huge.MOV"));
    ASSERT_TRUE(huge.resize(qint64(3) << 30)); // sparse: no disk is used
    library.database(Schema{}, {photo(1)});
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.image(1)->fullImagePath,
              QStringLiteral("/PhotoData/Metadata/DCIM/100APPLE/huge.MOV"));
}

TEST(PhotosDbReader, AnUnmanagedAdjustmentCountsAsAnEdit)
{
    Schema schema;
    schema.unmanagedAdjustment = true;
    Library library;
    library.deviceFile(QStringLiteral("DCIM/100APPLE/IMG_0001.JPG"));
    library.deviceFile(QStringLiteral(
        "PhotoData/Mutations/DCIM/100APPLE/IMG_0001/Adjustments/FullSizeRender.jpg"));
    library.database(schema, {with(photo(1), [](Asset& a) { a.unmanaged = 4; })});
    ASSERT_TRUE(library.read());
    EXPECT_TRUE(library.image(1)->fullImagePath.endsWith(QLatin1String("FullSizeRender.jpg")));
}

TEST(PhotosDbReader, ManyPhotosCostAFewDeviceCalls)
{
    Library library;
    library.deviceFile(QStringLiteral("PhotoData/Thumbnails/240x240.ithmb"));
    QList<Asset> assets;
    for (int i = 1; i <= 300; ++i) {
        Asset a = photo(i);
        a.directory = QStringLiteral("DCIM/%1APPLE").arg(100 + i % 3);
        library.deviceFile(a.directory + QLatin1Char('/') + a.fileName);
        assets << a;
    }
    library.database(Schema{}, assets);
    ASSERT_TRUE(library.read());
    EXPECT_EQ(library.reader().store()->images().size(), 300u);
    EXPECT_LE(library.reader().deviceCallCount(), 10);
}

TEST(PhotosDbReader, AFailedSaveAnswersNo)
{
    Library library;
    library.database(Schema{}, {photo(1)});
    auto reader = QELDeviceImagePhotosDbReader::create(library.copies());
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->store()->run(QStringLiteral("DROP TABLE ImageDetail")));
    EXPECT_FALSE(reader->readImageDatabase());
}

TEST(PhotosDbReader, ASecondReaderOfTheSameStoreStartsEmpty)
{
    Library library;
    library.database(Schema{}, {photo(1), photo(2)});
    ASSERT_TRUE(library.read());
    auto second = QELDeviceImagePhotosDbReader::create(QDir::tempPath() + "/nothing-here");
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->readImageDatabase());
    EXPECT_TRUE(second->store()->images().empty());
    EXPECT_EQ(library.reader().store()->images().size(), 2u);
}

// A damaged page in the middle of the assets: the read ends and says the
// library is damaged, rather than showing what it got through
// as the whole library.
TEST(PhotosDbReader, ADamagedAssetTableEndsTheReadWithItsReason)
{
    PhotosTest::Library library;
    QList<PhotosDbFixture::Asset> assets;
    for (int i = 1; i <= 600; ++i) {
        PhotosDbFixture::Asset a;
        a.pk = i;
        a.fileName = QStringLiteral("IMG_%1_with_a_name_long_enough_to_fill_pages.JPG").arg(i);
        assets << a;
    }
    library.database(PhotosDbFixture::Schema{}, assets);
    // Both tables of the asset statement, whichever the join reads in order.
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(library.databasePath(), "ZGENERICASSET"));
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(library.databasePath(), "ZADDITIONALASSETATTRIBUTES"));
    EXPECT_TRUE(library.read());
    EXPECT_TRUE(library.reader().readError().startsWith(
        QStringLiteral("this database is damaged: the photo library's assets could not be read")))
        << library.reader().readError().toStdString();
    // A whole library reads without one.
    PhotosTest::Library whole;
    whole.database(PhotosDbFixture::Schema{}, assets.mid(0, 3));
    EXPECT_TRUE(whole.read());
    EXPECT_TRUE(whole.reader().readError().isEmpty());
}

} // namespace
