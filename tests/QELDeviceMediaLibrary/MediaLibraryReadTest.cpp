// SPDX-License-Identifier: GPL-3.0-or-later
// The media library's read: which database wins, damaged databases, and the
// one read-complete event.
#include <functional>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "LibraryItdbFixture.h"
#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"

namespace {

MediaLibraryFixture oneSongLibrary(const char* title)
{
    MediaLibraryFixture f;
    MediaLibraryFixture::Item it;
    it.pid = 77;
    it.title = QString::fromUtf8(title);
    it.location = QStringLiteral("a.mp3");
    // Enough rows that a file cut in half loses pages the query needs.
    f.items << it;
    for (int i = 0; i < 400; ++i) {
        MediaLibraryFixture::Item filler = it;
        filler.pid = 1000 + i;
        filler.title = QStringLiteral("Filler %1 with a longer title to fill pages").arg(i);
        filler.artist = QStringLiteral("Artist %1").arg(i);
        f.items << filler;
    }
    return f;
}

LibraryItdbFixture oneSongItdb()
{
    LibraryItdbFixture f;
    LibraryItdbFixture::Item it;
    it.pid = 88;
    it.title = QStringLiteral("From itdb");
    it.location = QStringLiteral("b.mp3");
    f.items << it;
    return f;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Outcome {
    bool ok;
    QString reader;
    QStringList titles;
    QList<bool> completions;
};

Outcome readFolder(const QString& folder)
{
    QELDeviceMediaLibrary library(folder);
    RecordingDelegate events;
    library.setDelegate(&events);
    Outcome o;
    o.ok = library.readMediaLibrary();
    o.reader = library.readerName();
    for (const TrackDetailPtr& t : library.getAllTracks())
        o.titles.append(t->trackName);
    o.completions = events.completions;
    library.close();
    return o;
}

TEST(MediaLibraryRead, CurrentDatabaseWinsAndReportsOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(oneSongLibrary("Current").write(dir.filePath("MediaLibrary.sqlitedb")));
    ASSERT_TRUE(oneSongLibrary("Backup copy").write(dir.filePath("MediaLibrary.sqlitedb.bak")));
    ASSERT_TRUE(oneSongItdb().write(dir.path()));
    const Outcome o = readFolder(dir.path());
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.reader, "QELMediaLibraryMediaLibrarySQLiteDBReader");
    EXPECT_TRUE(o.titles.contains("Current"));
    EXPECT_EQ(o.completions, QList<bool>{true});
    EXPECT_TRUE(QFile::exists(dir.filePath("Library.itdb")));
}

TEST(MediaLibraryRead, DamagedCurrentDatabaseFallsBackToTheBackupCopy)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath("MediaLibrary.sqlitedb"), QByteArray("not a database at all"));
    ASSERT_TRUE(oneSongLibrary("Backup copy").write(dir.filePath("MediaLibrary.sqlitedb.bak")));
    const Outcome o = readFolder(dir.path());
    EXPECT_TRUE(o.ok);
    EXPECT_TRUE(o.titles.contains("Backup copy"));
    EXPECT_EQ(o.completions, QList<bool>{true});
}

TEST(MediaLibraryRead, EmptyBackupCopyIsSkippedForLibraryItdb)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath("MediaLibrary.sqlitedb.bak"), QByteArray());
    ASSERT_TRUE(oneSongItdb().write(dir.path()));
    const Outcome o = readFolder(dir.path());
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.reader, "QELMediaLibrarySQLiteReader");
    EXPECT_EQ(o.titles, QStringList{"From itdb"});
}

TEST(MediaLibraryRead, MissingFolderSendsNoEvent)
{
    const Outcome o = readFolder(QStringLiteral("/nonexistent/orvane/folder"));
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.completions.isEmpty());
}

TEST(MediaLibraryRead, AfterCloseAReadAnswersNo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(oneSongLibrary("Current").write(dir.filePath("MediaLibrary.sqlitedb")));
    QELDeviceMediaLibrary library(dir.path());
    ASSERT_TRUE(library.readMediaLibrary());
    const QList<TrackDetailPtr> tracks = library.getAllTracks();
    library.close();
    EXPECT_FALSE(library.readMediaLibrary());
    EXPECT_TRUE(library.getAllTracks().isEmpty());
    EXPECT_EQ(tracks.front()->trackName, "Current"); // still valid after close
}

TEST(MediaLibraryRead, TrackWithoutTitleIsListedUnderItsFileName)
{
    QTemporaryDir dir;
    MediaLibraryFixture f;
    MediaLibraryFixture::Item untitled;
    untitled.pid = 5;
    untitled.location = QStringLiteral("Rec 2019-04-01.wav");
    MediaLibraryFixture::Item noPath; // nothing to copy and nothing to name it by
    noPath.pid = 6;
    noPath.location = QString();
    f.items << untitled << noPath;
    ASSERT_TRUE(f.write(dir.filePath("MediaLibrary.sqlitedb")));
    const Outcome o = readFolder(dir.path());
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.titles, QStringList{"Rec 2019-04-01"});
}

// Damaged databases: each read ends cleanly, with one event, never a crash.
struct DamageCase {
    const char* what;
    std::function<void(const QString& folder)> make;
    bool mayRead; // a cut that spares every page the queries need may still read
};

class DamagedDatabases : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedDatabases, FailCleanly)
{
    QTemporaryDir dir;
    GetParam().make(dir.path());
    const Outcome o = readFolder(dir.path());
    EXPECT_EQ(o.completions.size(), 1);
    if (!GetParam().mayRead) {
        EXPECT_FALSE(o.ok);
    }
    EXPECT_EQ(o.completions.value(0), o.ok);
}

QByteArray validLibraryBytes()
{
    QTemporaryDir dir;
    EXPECT_TRUE(oneSongLibrary("x").write(dir.filePath("m")));
    return readBytes(dir.filePath("m"));
}

const DamageCase kDamageCases[] = {
    {"empty MediaLibrary.sqlitedb",
     [](const QString& d) { writeBytes(d + "/MediaLibrary.sqlitedb", {}); }, false},
    {"garbage MediaLibrary.sqlitedb",
     [](const QString& d) { writeBytes(d + "/MediaLibrary.sqlitedb", QByteArray(5000, '\xa5')); },
     false},
    {"SQLite header only",
     [](const QString& d) {
         writeBytes(d + "/MediaLibrary.sqlitedb", validLibraryBytes().left(100));
     },
     false},
    {"first page only",
     [](const QString& d) {
         writeBytes(d + "/MediaLibrary.sqlitedb", validLibraryBytes().left(4096));
     },
     false},
    {"cut in half",
     [](const QString& d) {
         const QByteArray b = validLibraryBytes();
         writeBytes(d + "/MediaLibrary.sqlitedb", b.left(b.size() / 2));
     },
     true},
    {"pages overwritten",
     [](const QString& d) {
         QByteArray b = validLibraryBytes();
         for (qsizetype i = 4096; i < b.size(); i += 7)
             b[i] = '\xff';
         writeBytes(d + "/MediaLibrary.sqlitedb", b);
     },
     true},
    {"a database of other tables",
     [](const QString& d) {
         ASSERT_TRUE(LibraryItdbFixture().write(d));
         QFile::rename(d + "/Library.itdb", d + "/MediaLibrary.sqlitedb");
         QFile::remove(d + "/Locations.itdb");
         QFile::remove(d + "/Dynamic.itdb");
     },
     false},
    {"empty Library.itdb",
     [](const QString& d) {
         writeBytes(d + "/Library.itdb", {});
         writeBytes(d + "/Locations.itdb", {});
     },
     false},
    {"garbage Library.itdb set",
     [](const QString& d) {
         writeBytes(d + "/Library.itdb", QByteArray(3000, 'x'));
         writeBytes(d + "/Locations.itdb", QByteArray(3000, 'y'));
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Files, DamagedDatabases, ::testing::ValuesIn(kDamageCases));

} // namespace
