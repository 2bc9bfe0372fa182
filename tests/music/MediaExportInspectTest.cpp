// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect media FOLDER --export DIR [--playlist NAME]` over a
// device's file system: the tracks copied as the Copy-to-Mac job copies them.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "AudioFixture.h"
#include "MediaLibraryFixture.h"
#include "Plist.h"
#include "ToolRun.h"

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH),
                   QStringList{QStringLiteral("media")} + arguments);
}

// A device's file system: the media database and the files it names, one
// of them missing.
QString makeDevice(const QString& root)
{
    MediaLibraryFixture library;
    MediaLibraryFixture::Item one;
    one.pid = 11;
    one.title = QStringLiteral("First");
    one.artist = QStringLiteral("Band");
    one.album = QStringLiteral("Record");
    one.trackNumber = 1;
    one.location = QStringLiteral("AAAA.mp3");
    MediaLibraryFixture::Item two = one;
    two.pid = 12;
    two.title = QStringLiteral("Second");
    two.trackNumber = 2;
    two.location = QStringLiteral("BBBB.m4a");
    MediaLibraryFixture::Item gone = one;
    gone.pid = 13;
    gone.title = QStringLiteral("Gone");
    gone.trackNumber = 3;
    gone.location = QStringLiteral("CCCC.mp3");
    library.items = {one, two, gone};
    MediaLibraryFixture::Container list;
    list.pid = 50;
    list.name = QStringLiteral("Road & <Trip>");
    list.items = {12, 11};
    library.containers = {list};
    QDir().mkpath(root + QStringLiteral("/iTunes_Control/iTunes"));
    QString error;
    EXPECT_TRUE(library.write(root + QStringLiteral("/iTunes_Control/iTunes/MediaLibrary.sqlitedb"),
                              &error))
        << error.toStdString();
    const QString music = root + QStringLiteral("/iTunes_Control/Music/F00/");
    QDir().mkpath(music);
    EXPECT_TRUE(
        AudioFixture::writeFile(music + QStringLiteral("AAAA.mp3"), AudioFixture::silentMp3()));
    EXPECT_TRUE(
        AudioFixture::writeFile(music + QStringLiteral("BBBB.m4a"), AudioFixture::minimalM4a()));
    return root;
}

QStringList texts(const QJsonArray& array)
{
    QStringList list;
    for (const QJsonValue& value : array)
        list << value.toString();
    return list;
}

} // namespace

TEST(MediaExportInspect, CopiesEveryTrackAndCountsTheOnesThatFailed)
{
    QTemporaryDir dir;
    const QString device = makeDevice(dir.filePath(QStringLiteral("device")));
    const QString out = dir.filePath(QStringLiteral("out"));
    const ToolRun run = inspect({device, QStringLiteral("--export"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value(QStringLiteral("tracks")).toArray().size(), 3);
    const QJsonObject exported = run.json().value(QStringLiteral("export")).toObject();
    EXPECT_EQ(exported.value(QStringLiteral("copied")).toInt(), 2);
    EXPECT_EQ(exported.value(QStringLiteral("failed")).toInt(), 1);
    QStringList files = texts(exported.value(QStringLiteral("files")).toArray());
    files.sort();
    EXPECT_EQ(files, (QStringList{"Band/Record/1-First.mp3", "Band/Record/2-Second.m4a"}));
    for (const QString& file : files)
        EXPECT_TRUE(QFileInfo(out + QLatin1Char('/') + file).isFile());
}

TEST(MediaExportInspect, APlaylistIsCopiedInItsOrderWithItsPlaylistFile)
{
    QTemporaryDir dir;
    const QString device = makeDevice(dir.filePath(QStringLiteral("device")));
    const QString out = dir.filePath(QStringLiteral("out"));
    const ToolRun run = inspect({device, QStringLiteral("--export"), out,
                                 QStringLiteral("--playlist"), QStringLiteral("Road & <Trip>")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject exported = run.json().value(QStringLiteral("export")).toObject();
    EXPECT_EQ(exported.value(QStringLiteral("copied")).toInt(), 2);
    EXPECT_EQ(exported.value(QStringLiteral("failed")).toInt(), 0);
    EXPECT_EQ(
        texts(exported.value(QStringLiteral("files")).toArray()),
        (QStringList{"Band/Record/2-Second.m4a", "Band/Record/1-First.mp3", "Road & _Trip_.xml"}));
    const QVariantMap playlist =
        Plist::readFile(out + QStringLiteral("/Road & _Trip_.xml")).toMap();
    QList<qint64> ids;
    for (const QVariant& item : playlist.value(QStringLiteral("Playlists"))
                                    .toList()
                                    .value(0)
                                    .toMap()
                                    .value(QStringLiteral("Playlist Items"))
                                    .toList())
        ids << item.toMap().value(QStringLiteral("Track ID")).toLongLong();
    EXPECT_EQ(ids, (QList<qint64>{12, 11}));
}

TEST(MediaExportInspect, RefusesWhatItCannotExport)
{
    QTemporaryDir dir;
    const QString device = makeDevice(dir.filePath(QStringLiteral("device")));
    const struct {
        const char* name;
        QStringList arguments;
    } cases[] = {
        {"no such playlist",
         {device, QStringLiteral("--export"), dir.filePath(QStringLiteral("o1")),
          QStringLiteral("--playlist"), QStringLiteral("Nope")}},
        {"playlist without export",
         {device, QStringLiteral("--playlist"), QStringLiteral("Road & <Trip>")}},
        {"a folder of copies holds no tracks",
         {device + QStringLiteral("/iTunes_Control/iTunes"), QStringLiteral("--export"),
          dir.filePath(QStringLiteral("o2"))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = inspect(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith("orvane-inspect: ")) << run.err.toStdString();
    }
}

TEST(MediaExportInspect, ADeviceFolderWithoutExportIsListedOnly)
{
    QTemporaryDir dir;
    const QString device = makeDevice(dir.filePath(QStringLiteral("device")));
    const ToolRun run = inspect({device});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value(QStringLiteral("tracks")).toArray().size(), 3);
    EXPECT_FALSE(run.json().contains(QStringLiteral("export")));
}
