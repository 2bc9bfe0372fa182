// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect artwork` and the Photo Database branch of `orvane-inspect
// photos`, run as a program over a device's files.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "ArtworkTestSupport.h"
#include "MediaLibraryFixture.h"
#include "PhotosTestSupport.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"
#include "ToolRun.h"

using ArtworkTest::Device;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments);
}

QJsonObject image(const char* id, QJsonValue width, QJsonValue height, QJsonValue format)
{
    return {{"id", id}, {"width", width}, {"height", height}, {"format", format}};
}

QJsonObject track(const char* persistentID, const char* artworkID)
{
    return {{"persistentID", persistentID}, {"artworkID", artworkID}};
}

TEST(InspectArtwork, PrintsEveryStoredSizeAndTrackOfAnArtworkDBInEachLayout)
{
    const QJsonArray images{
        image("101", 7, 5, 2),
        image("101", 10, 6, 1),
        image("101", 64, 64, 0),
        image("102", 8, 8, 2),
        image("103", 32, 32, 0),
        image("104", 4, 4, QJsonValue()),
        image("105", 16, 16, QJsonValue()),
        image("106", 7, 5, 2),
    };
    const QJsonArray tracks{track("1432778632", "101"), track("7", "102"),  track("8", "103"),
                            track("9", "104"),          track("10", "105"), track("11", "106")};
    for (const char* folder : {"iTunes_Control/Artwork", "iPod_Control/Artwork", ""}) {
        SCOPED_TRACE(folder);
        Device device;
        device.install(ArtworkTest::artworkSample(), QString::fromLatin1(folder),
                       QStringLiteral("ArtworkDB"));
        const QString png = device.copies() + QStringLiteral("/png");
        const ToolRun run =
            inspect({QStringLiteral("artwork"), device.root(), QStringLiteral("--png"), png});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(run.json().value("images").toArray(), images);
        EXPECT_EQ(run.json().value("tracks").toArray(), tracks);
        // Every size that decodes, as a PNG of its decoded size; the raw bytes
        // under an id of no known format give none, and say so.
        const std::pair<const char*, QSize> written[] = {
            {"101_7x5.png", {8, 5}}, {"101_10x6.png", {8, 6}},    {"101_64x64.png", {64, 64}},
            {"102_8x8.png", {8, 8}}, {"103_32x32.png", {32, 32}}, {"105_16x16.png", {16, 16}},
            {"106_7x5.png", {8, 5}},
        };
        QStringList expected;
        for (const auto& [name, size] : written) {
            expected << QString::fromLatin1(name);
            EXPECT_EQ(QImage(png + QLatin1Char('/') + QLatin1String(name)).size(), size) << name;
        }
        expected.sort();
        EXPECT_EQ(QDir(png).entryList(QDir::Files, QDir::Name), expected);
        EXPECT_TRUE(run.err.contains("104")) << run.err.constData();
    }
}

TEST(InspectArtwork, PrintsTheMediaLibrarysArtworkAndItsPicturesInEachLayout)
{
    const QByteArray small = PhotosTest::jpegBytes(QSize(20, 20), Qt::red);
    const QByteArray other = PhotosTest::jpegBytes(QSize(30, 30), Qt::blue);
    MediaLibraryFixture library;
    library.schema.artworkInfo = true;
    MediaLibraryFixture::Item item;
    item.pid = 4242424242424242LL;
    item.title = QStringLiteral("Song");
    item.location = QStringLiteral("S.mp3");
    item.artworkCacheID = 55;
    library.items = {item};
    library.artworkInfo = {{55, other.size(), small.size(), 3006}, {55, small.size(), 0, 3005}};
    for (const char* folder : {"iTunes_Control/iTunes/", ""}) {
        SCOPED_TRACE(folder);
        Device device;
        const QString where = QString::fromLatin1(folder);
        QDir().mkpath(device.root() + QLatin1Char('/') + where);
        ASSERT_TRUE(library.write(device.root() + QLatin1Char('/') + where
                                  + QStringLiteral("MediaLibrary.sqlitedb")));
        device.file(where + QStringLiteral("MediaLibrary-artwork.data"), small + other);
        const QString png = device.copies() + QStringLiteral("/png");
        const ToolRun run =
            inspect({QStringLiteral("artwork"), device.root(), QStringLiteral("--png"), png});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(run.json().value("images").toArray(),
                  (QJsonArray{image("4242424242424242", QJsonValue(), QJsonValue(), 0),
                              image("4242424242424242", QJsonValue(), QJsonValue(), 0)}));
        EXPECT_EQ(run.json().value("tracks").toArray(),
                  (QJsonArray{track("4242424242424242", "4242424242424242"),
                              track("4242424242424242", "4242424242424242")}));
        EXPECT_EQ(QImage(png + QStringLiteral("/4242424242424242_30x30.png")).size(),
                  QSize(30, 30));
        EXPECT_EQ(QImage(png + QStringLiteral("/4242424242424242_20x20.png")).size(),
                  QSize(20, 20));
    }
}

TEST(InspectArtwork, TheNewerSchemaADamagedFileAndNoDatabaseExitWithAReason)
{
    struct Case {
        const char* what;
        std::function<void(const Device&)> write;
        const char* reason;
    };
    const Case cases[] = {
        {"newer schema",
         [](const Device& d) {
             MediaLibraryFixture library;
             library.schema.artworkToken = true;
             library.write(d.root()
                           + QStringLiteral("/iTunes_Control/iTunes/MediaLibrary.sqlitedb"));
         },
         "newer"},
        {"damaged ArtworkDB",
         [](const Device& d) {
             d.file(QStringLiteral("iTunes_Control/Artwork/ArtworkDB"),
                    ArtworkTest::artworkSample().db.build().left(500));
         },
         "ArtworkDB"},
        {"nothing", [](const Device&) {}, "no MediaLibrary.sqlitedb or ArtworkDB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Device device;
        QDir().mkpath(device.root() + QStringLiteral("/iTunes_Control/iTunes"));
        c.write(device);
        const ToolRun run = inspect({QStringLiteral("artwork"), device.root()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(c.reason)) << run.err.constData();
    }
}

TEST(InspectPhotos, AnIPodsPhotoDatabaseIsReadByTheBinaryReader)
{
    Device device;
    device.install(ArtworkTest::photoSample(), QStringLiteral("Photos"),
                   QStringLiteral("Photo Database"));
    const ToolRun run = inspect({QStringLiteral("photos"), device.root()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject json = run.json();
    EXPECT_EQ(json.value("reader").toString(), QStringLiteral("QELDeviceImagePhotosBinaryReader"));
    const QJsonArray images = json.value("images").toArray();
    ASSERT_EQ(images.size(), 4);
    const QJsonObject first = images[0].toObject();
    EXPECT_EQ(first.value("id").toString(), QStringLiteral("1"));
    EXPECT_EQ(first.value("path").toString(),
              QStringLiteral("/Photos/Full Resolution/2008/IMG_0001.jpg"));
    EXPECT_EQ(first.value("kind").toString(), QStringLiteral("photo"));
    EXPECT_EQ(first.value("created").toString(), QStringLiteral("2018-01-28T16:01:00Z"));
    EXPECT_EQ(first.value("width").toInt(), 40);
    EXPECT_EQ(first.value("height").toInt(), 30);
    EXPECT_EQ(first.value("albums").toArray(),
              (QJsonArray{QStringLiteral("All Photos"), QStringLiteral("Trip")}));
    QStringList titles;
    for (const QJsonValue& album : json.value("albums").toArray())
        titles << album.toObject().value("title").toString();
    EXPECT_EQ(titles, (QStringList{"All Photos", "Trip", "Ann Lee", "Holiday", "Nothing here"}));
    const QJsonObject holiday = json.value("albums").toArray()[3].toObject();
    EXPECT_EQ(holiday.value("id").toString(), QStringLiteral("1003"));
    EXPECT_EQ(holiday.value("kind").toInt(), 6);
    EXPECT_EQ(holiday.value("imageIDs").toArray(), (QJsonArray{"4", "2"}));
}

} // namespace
