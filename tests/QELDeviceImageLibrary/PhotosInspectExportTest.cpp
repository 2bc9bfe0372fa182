// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect photos FOLDER --export DIR`: the JSON as without it, and
// every image once in DIR as the photo copy job writes it.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "PhotosDbFixture.h"

using PhotosDbFixture::AlbumRow;
using PhotosDbFixture::Asset;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

TEST(InspectPhotosExport, CopiesEveryImageOnceAsTheCopyJobDoes)
{
    QTemporaryDir dir;
    const QString root = dir.filePath("device");
    const QString out = dir.filePath("out");
    QList<Asset> assets;
    const QStringList names = {"IMG_20160101_123456.JPG", "IMG_0002.Mov", "IMG_0003.JPG",
                               "IMG_0001.HEIC", "IMG_0001.HEIC"};
    const QStringList folders = {"100APPLE", "100APPLE", "100APPLE", "100APPLE", "101APPLE"};
    for (int i = 0; i < names.size(); ++i) {
        Asset a;
        a.pk = i + 1;
        a.fileName = names[i];
        a.directory = "DCIM/" + folders[i];
        a.sortToken = i + 1;
        a.adjusted = i == 2;
        assets << a;
        if (i != 2) {
            ASSERT_TRUE(PhotosDbFixture::writeFile(root, "DCIM/" + folders[i] + "/" + names[i],
                                                   "original " + QByteArray::number(i)));
        }
    }
    ASSERT_TRUE(PhotosDbFixture::writeFile(root, "DCIM/100APPLE/IMG_0003.JPG", "unedited"));
    ASSERT_TRUE(PhotosDbFixture::writeFile(
        root, "PhotoData/Mutations/DCIM/100APPLE/IMG_0003/Adjustments/FullSizeRender.jpg",
        "the edit"));
    // An album whose hostile title must not matter: the export lists no album.
    ASSERT_TRUE(PhotosDbFixture::write(root + "/PhotoData/Photos.sqlite", PhotosDbFixture::Schema{},
                                       assets, {AlbumRow{7, 2, "../../escape", {1, 2}}}));

    QProcess tool;
    tool.start(QStringLiteral(ORVANE_INSPECT_PATH), {"photos", root, "--export", out});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    const QJsonObject json = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    EXPECT_EQ(json.value("images").toArray().size(), 5);

    EXPECT_EQ(filesBelow(out),
              (QStringList{"IMG_0001 (1).HEIC", "IMG_0001.HEIC", "IMG_0002.Mov", "IMG_0003.jpg",
                           "IMG_20160101_123456.JPG"}));
    EXPECT_EQ(readFile(out + "/IMG_20160101_123456.JPG"), QByteArray("original 0"));
    EXPECT_EQ(readFile(out + "/IMG_0002.Mov"), QByteArray("original 1"));
    EXPECT_EQ(readFile(out + "/IMG_0003.jpg"), QByteArray("the edit"));
    EXPECT_EQ(readFile(out + "/IMG_0001.HEIC"), QByteArray("original 3"));
    EXPECT_EQ(readFile(out + "/IMG_0001 (1).HEIC"), QByteArray("original 4"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("escape")));
}
