// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect photos` run as a program over a device's files.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "PhotosDbFixture.h"
#include "ToolRun.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;
using PhotosDbFixture::Schema;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments);
}

QList<Asset> assets()
{
    Asset photo;
    photo.pk = 1;
    photo.fileName = QStringLiteral("IMG_20160101_123456.JPG");
    photo.created = 500000000; // 2016-11-05T00:53:20Z
    photo.sortToken = 1;
    photo.width = 4032;
    photo.height = 3024;
    Asset video;
    video.pk = 2;
    video.fileName = QStringLiteral("IMG_0002.Mov");
    video.created = 500000100;
    video.sortToken = 2;
    Asset edited;
    edited.pk = 3;
    edited.fileName = QStringLiteral("IMG_0003.JPG");
    edited.created = 500000200;
    edited.sortToken = 3;
    edited.adjusted = true;
    edited.favorite = 1;
    return {photo, video, edited};
}

struct InspectCase {
    const char* name;
    Schema schema;
};

TEST(InspectPhotos, PrintsImagesAndAlbumsOfEachGeneration)
{
    std::vector<InspectCase> cases;
    cases.push_back({"ZGENERICASSET", Schema{}});
    Schema modern;
    modern.assetTable = QStringLiteral("ZASSET");
    modern.membershipTables = {};
    modern.entityMembership = true;
    modern.assetsInWal = 2;
    cases.push_back({"ZASSET with its rows in the WAL", modern});
    for (const InspectCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("device"));
        QString error;
        ASSERT_TRUE(PhotosDbFixture::write(
            root + QStringLiteral("/PhotoData/Photos.sqlite"), c.schema, assets(),
            {AlbumRow{7, 2, QStringLiteral("Trip"), {1, 3}},
             AlbumRow{8, 1552, QStringLiteral("Library"), {1, 2, 3}}},
            &error))
            << qPrintable(error);
        for (const char* file :
             {"DCIM/100APPLE/IMG_20160101_123456.JPG", "DCIM/100APPLE/IMG_0002.Mov",
              "DCIM/100APPLE/IMG_0003.JPG",
              "PhotoData/Mutations/DCIM/100APPLE/IMG_0003/Adjustments/FullSizeRender.jpg"})
            ASSERT_TRUE(PhotosDbFixture::writeFile(root, QLatin1String(file), "bytes"));
        const ToolRun run = inspect({QStringLiteral("photos"), root});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        const QJsonObject json = run.json();
        EXPECT_EQ(json.value("reader").toString(), QStringLiteral("QELDeviceImagePhotosDbReader"));
        const QJsonArray images = json.value("images").toArray();
        ASSERT_EQ(images.size(), 3);
        const QJsonObject first = images[0].toObject();
        EXPECT_EQ(first.value("id").toString(), QStringLiteral("1"));
        EXPECT_EQ(first.value("fileName").toString(), QStringLiteral("IMG_20160101_123456.JPG"));
        EXPECT_EQ(first.value("path").toString(),
                  QStringLiteral("DCIM/100APPLE/IMG_20160101_123456.JPG"));
        EXPECT_EQ(first.value("kind").toString(), QStringLiteral("photo"));
        EXPECT_EQ(first.value("created").toString(), QStringLiteral("2016-11-05T00:53:20Z"));
        EXPECT_EQ(first.value("width").toInt(), 4032);
        EXPECT_EQ(first.value("height").toInt(), 3024);
        EXPECT_EQ(first.value("albums").toArray(),
                  (QJsonArray{QStringLiteral("All Photos"), QStringLiteral("Trip")}));
        EXPECT_EQ(images[1].toObject().value("kind").toString(), QStringLiteral("video"));
        EXPECT_EQ(
            images[2].toObject().value("path").toString(),
            QStringLiteral(
                "/PhotoData/Mutations/DCIM/100APPLE/IMG_0003/Adjustments/FullSizeRender.jpg"));

        const QJsonArray albums = json.value("albums").toArray();
        QStringList titles;
        for (const QJsonValue& a : albums)
            titles << a.toObject().value("title").toString();
        EXPECT_EQ(titles, (QStringList{"All Photos", "Videos", "Favorite", "Trip"}));
        EXPECT_EQ(albums[0].toObject().value("imageIDs").toArray(), (QJsonArray{"1", "2", "3"}));
        EXPECT_EQ(albums[0].toObject().value("kind").toInt(), 1);
        EXPECT_EQ(albums[3].toObject().value("id").toString(), QStringLiteral("7"));
        EXPECT_EQ(albums[3].toObject().value("imageIDs").toArray(), (QJsonArray{"3", "1"}));
    }
}

TEST(InspectPhotos, TheICloudAlbumHasNoId)
{
    QTemporaryDir dir;
    Schema schema;
    schema.cloudMasterTable = true;
    QList<Asset> rows = assets();
    rows[0].directory = QStringLiteral("PhotoData/CPLAssets");
    rows[0].originalFileName = QStringLiteral("Original.HEIC");
    ASSERT_TRUE(PhotosDbFixture::write(dir.filePath("Photos.sqlite"), schema, rows, {}));
    const ToolRun run = inspect({QStringLiteral("photos"), dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    bool found = false;
    for (const QJsonValue& a : run.json().value("albums").toArray()) {
        const QJsonObject album = a.toObject();
        if (album.value("kind").toInt() != 500)
            continue;
        found = true;
        EXPECT_TRUE(album.value("id").isNull());
        EXPECT_EQ(album.value("imageIDs").toArray(), (QJsonArray{"1"}));
    }
    EXPECT_TRUE(found);
}

TEST(InspectPhotos, ExitsTwoWhenNoLibraryOpens)
{
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"no database", QByteArray()},
        {"empty", QByteArray("")},
        {"truncated", QByteArray("SQLite format 3\0\x10\0", 19)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        if (QByteArray(name) != "no database") {
            ASSERT_TRUE(PhotosDbFixture::writeFile(
                dir.path(), QStringLiteral("PhotoData/Photos.sqlite"), bytes));
        }
        const ToolRun run = inspect({QStringLiteral("photos"), dir.path()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
}

} // namespace
