// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect media FOLDER` run as a program over fixture folders.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "ITunesDBWriter.h"
#include "LibraryItdbFixture.h"
#include "MediaExtrasFixture.h"
#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "SQLiteFixtureWriter.h"
#include "ToolRun.h"

namespace {

ToolRun inspect(const QString& folder)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), {QStringLiteral("media"), folder});
}

QJsonObject trackWithID(const QJsonObject& json, const QString& id)
{
    for (const QJsonValue& t : json.value("tracks").toArray())
        if (t.toObject().value("persistentID").toString() == id)
            return t.toObject();
    return {};
}

QJsonObject playlistNamed(const QJsonObject& json, const QString& name)
{
    for (const QJsonValue& p : json.value("playlists").toArray())
        if (p.toObject().value("name").toString() == name)
            return p.toObject();
    return {};
}

QStringList texts(const QJsonArray& array)
{
    QStringList list;
    for (const QJsonValue& v : array)
        list.append(v.isNull() ? QStringLiteral("<null>") : v.toString());
    return list;
}

TEST(InspectTool, PrintsTheMediaLibraryOfAFolder)
{
    QTemporaryDir dir;
    MediaLibraryFixture f;
    MediaLibraryFixture::Item song;
    song.pid = -9000000000000000001LL;
    song.title = QString::fromUtf8("Déjà vu");
    song.artist = QStringLiteral("Band");
    song.album = QStringLiteral("Album");
    song.genre = QStringLiteral("Rock");
    song.location = QStringLiteral("a.mp3");
    song.durationMs = 215000;
    song.trackNumber = 4;
    song.discNumber = 1;
    song.year = 2009;
    MediaLibraryFixture::Item video = song;
    video.pid = 2;
    video.title = QStringLiteral("Clip");
    video.mediaKind = 2;
    video.location = QStringLiteral("v.m4v");
    MediaLibraryFixture::Item episode = song;
    episode.pid = 3;
    episode.title = QStringLiteral("Episode");
    episode.mediaKind = 4;
    f.items << song << video << episode;
    MediaLibraryFixture::Container list;
    list.pid = 40;
    list.name = QStringLiteral("Order");
    list.items = {3, -9000000000000000001LL, 3};
    f.containers << list;
    ASSERT_TRUE(f.write(dir.filePath("MediaLibrary.sqlitedb")));

    const ToolRun run = inspect(dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value("reader").toString(), "QELMediaLibraryMediaLibrarySQLiteDBReader");
    EXPECT_EQ(run.json().value("tracks").toArray().size(), 3);
    const QJsonObject t = trackWithID(run.json(), "-9000000000000000001");
    EXPECT_EQ(t.value("title").toString(), QString::fromUtf8("Déjà vu"));
    EXPECT_EQ(t.value("artist").toString(), "Band");
    EXPECT_EQ(t.value("albumArtist").toString(), "Band");
    EXPECT_EQ(t.value("album").toString(), "Album");
    EXPECT_EQ(t.value("genre").toString(), "Rock");
    EXPECT_EQ(t.value("durationMs").toInteger(), 215000);
    EXPECT_EQ(t.value("path").toString(), "iTunes_Control/Music/F00/a.mp3");
    EXPECT_EQ(t.value("mediaKind").toInteger(), 1);
    EXPECT_EQ(t.value("trackNumber").toInteger(), 4);
    EXPECT_EQ(t.value("discNumber").toInteger(), 1);
    EXPECT_EQ(t.value("year").toInteger(), 2009);
    EXPECT_TRUE(t.value("isRingtone").isNull());
    EXPECT_TRUE(t.value("isVoiceMemo").isNull());
    EXPECT_TRUE(t.value("hasVideo").isNull());
    EXPECT_EQ(trackWithID(run.json(), "2").value("hasVideo").toBool(), true);
    EXPECT_EQ(trackWithID(run.json(), "3").value("isPodcast").toBool(), true);

    QStringList names;
    for (const QJsonValue& p : run.json().value("playlists").toArray())
        names.append(p.toObject().value("name").toString());
    EXPECT_EQ(names, (QStringList{"Music", "All Videos", "Movies", "Podcasts", "Order"}));
    const QJsonObject order = playlistNamed(run.json(), "Order");
    EXPECT_EQ(order.value("persistentID").toString(), "40");
    EXPECT_EQ(order.value("kind").toString(), "plain");
    EXPECT_EQ(texts(order.value("trackIDs").toArray()),
              (QStringList{"3", "-9000000000000000001", "3"}));
    EXPECT_EQ(playlistNamed(run.json(), "Music").value("kind").toString(), "library");
}

TEST(InspectTool, ReadsALibraryItdbSetWithoutTouchingTheFolder)
{
    QTemporaryDir dir;
    LibraryItdbFixture f;
    LibraryItdbFixture::Item it;
    it.pid = 12;
    it.title = QStringLiteral("Old");
    it.location = QStringLiteral("o.mp3");
    f.items << it;
    LibraryItdbFixture::Container c;
    c.pid = 5;
    c.name = QStringLiteral("Mine");
    c.items = {12};
    f.containers << c;
    ASSERT_TRUE(f.write(dir.path()));
    const ToolRun run = inspect(dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value("reader").toString(), "QELMediaLibrarySQLiteReader");
    EXPECT_EQ(trackWithID(run.json(), "12").value("title").toString(), "Old");
    EXPECT_EQ(texts(playlistNamed(run.json(), "Mine").value("trackIDs").toArray()),
              QStringList{"12"});
    EXPECT_TRUE(QFile::exists(dir.filePath("Library.itdb")));
}

TEST(InspectTool, ReadsAnITunesCDBWithRingtonesAndVoiceMemos)
{
    QTemporaryDir dir;
    ITunesDBWriter w;
    for (quint32 id : {11u, 12u, 13u}) {
        ITunesDBWriter::Track t;
        t.id = id;
        t.title = QStringLiteral("Song %1").arg(id);
        t.path = QStringLiteral(":iPod_Control:Music:F01:S%1.m4a").arg(id);
        t.mediaKind = id == 13 ? 2 : 1;
        w.tracks << t;
    }
    ITunesDBWriter::Playlist plain;
    plain.title = QStringLiteral("Road");
    plain.items = {{13, 1}, {11, 1}, {12, 1}};
    ITunesDBWriter::Playlist genius = plain;
    genius.title = QStringLiteral("Genius pick");
    genius.dataObjects = 6;
    genius.items = {{12, 1}, {11, 1}};
    w.playlists << plain << genius;
    QFile cdb(dir.filePath("iTunesCDB"));
    ASSERT_TRUE(cdb.open(QIODevice::WriteOnly));
    cdb.write(ITunesDBWriter::toCDB(w.build()));
    cdb.close();
    ASSERT_TRUE(MediaExtrasFixture::writeRingtones(
        dir.filePath("Ringtones.plist"), {{"Bell.m4r", "GUID-BELL", "Bell", "", "", 900}}));
    ASSERT_TRUE(MediaExtrasFixture::writeRecordings(
        dir.filePath("Recordings.db"),
        {{"/var/mobile/Media/Recordings/m.m4a", 4, "Memo", 100, 4242}}));

    const ToolRun run = inspect(dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value("reader").toString(), "QELMediaLibraryITunesDBReader");
    EXPECT_EQ(trackWithID(run.json(), "11").value("path").toString(),
              "/iPod_Control/Music/F01/S11.m4a");
    EXPECT_EQ(trackWithID(run.json(), "13").value("hasVideo").toBool(), true);
    EXPECT_EQ(trackWithID(run.json(), "GUID-BELL").value("isRingtone").toBool(), true);
    EXPECT_EQ(trackWithID(run.json(), "GUID-BELL").value("durationMs").toInteger(), 900);
    EXPECT_EQ(trackWithID(run.json(), "4242").value("isVoiceMemo").toBool(), true);
    EXPECT_EQ(trackWithID(run.json(), "4242").value("path").toString(), "Recordings/m.m4a");

    QStringList names;
    for (const QJsonValue& p : run.json().value("playlists").toArray())
        names.append(p.toObject().value("name").toString());
    EXPECT_EQ(names,
              (QStringList{"Music", "All Videos", "Movies", "Ringtones", "Voice Memos",
                           "Genius pick", "Road"}));
    EXPECT_EQ(playlistNamed(run.json(), "Genius pick").value("kind").toString(), "genius");
    EXPECT_EQ(texts(playlistNamed(run.json(), "Genius pick").value("trackIDs").toArray()),
              (QStringList{"12", "11"}));
    EXPECT_EQ(texts(playlistNamed(run.json(), "Road").value("trackIDs").toArray()),
              (QStringList{"13", "11", "12"}));
    EXPECT_EQ(playlistNamed(run.json(), "Road").value("persistentID").toString(), "1");
    EXPECT_EQ(texts(playlistNamed(run.json(), "Ringtones").value("trackIDs").toArray()),
              QStringList{"GUID-BELL"});
    EXPECT_FALSE(QFile::exists(dir.filePath("iTunesDB.fromCDB")));
}

TEST(InspectTool, NothingReadableExitsTwoWithOneLine)
{
    QTemporaryDir dir;
    QFile junk(dir.filePath("MediaLibrary.sqlitedb"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("junk");
    junk.close();
    for (const QString& folder : {dir.path(), dir.filePath("missing")}) {
        const ToolRun run = inspect(folder);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

// The one line says which file was tried and what is wrong with it.
TEST(InspectTool, AFailedReadSaysWhichFileAndWhy)
{
    struct Case {
        const char* name;
        const char* file; // empty: nothing is written
        QByteArray bytes;
        QString sql; // when set, the file is an SQLite database of this schema
        QStringList says;
    };
    const QList<Case> cases = {
        {"nothing there",
         "",
         {},
         {},
         {"holds none of MediaLibrary.sqlitedb, Library.itdb, iTunesCDB or iTunesDB"}},
        {"not SQLite",
         "MediaLibrary.sqlitedb",
         QByteArray(4096, 'x'),
         {},
         {"MediaLibrary.sqlitedb: ", "not an SQLite database"}},
        {"a table missing",
         "MediaLibrary.sqlitedb",
         {},
         QStringLiteral("CREATE TABLE unrelated (x)"),
         {"MediaLibrary.sqlitedb: ", "no such table"}},
        {"a damaged iTunesDB",
         "iTunesDB",
         QByteArray("mhbd\x10\x00\x00\x00", 8),
         {},
         {"iTunesDB: "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        if (!c.sql.isEmpty()) {
            SQLiteFixtureWriter db(dir.filePath(QLatin1String(c.file)));
            db.exec(c.sql);
            ASSERT_TRUE(db.commit());
        } else if (*c.file) {
            QFile file(dir.filePath(QLatin1String(c.file)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.bytes);
        }
        const ToolRun run = inspect(dir.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        for (const QString& text : c.says)
            EXPECT_TRUE(run.err.contains(text.toUtf8())) << run.err.toStdString();
    }
}

} // namespace
