// SPDX-License-Identifier: GPL-3.0-or-later
// Which database the media library reads, the iTunesCDB conversion, and what
// is added after a successful read.
#include <functional>

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include "ITunesDBWriter.h"
#include "LibraryItdbFixture.h"
#include "MediaExtrasFixture.h"
#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryITunesCDBConvertor.h"

namespace {

QByteArray iTunesDBWithTitle(const char* title, quint32 id)
{
    ITunesDBWriter w;
    ITunesDBWriter::Track t;
    t.id = id;
    t.title = QString::fromLatin1(title);
    t.path = QStringLiteral(":iPod_Control:Music:F00:x.mp3");
    w.tracks << t;
    ITunesDBWriter::Playlist p;
    p.title = QStringLiteral("Device list");
    p.items = {{id, 1}};
    w.playlists << p;
    return w.build();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

MediaLibraryFixture sqliteLibrary()
{
    MediaLibraryFixture f;
    MediaLibraryFixture::Item it;
    it.pid = 5;
    it.title = QStringLiteral("From SQLite");
    it.location = QStringLiteral("s.mp3");
    f.items << it;
    return f;
}

struct Read {
    bool ok = false;
    QString reader;
    QStringList titles;
    QStringList playlists;
    QList<bool> completions;
};

Read readFolder(const QString& folder)
{
    QELDeviceMediaLibrary library(folder);
    RecordingDelegate events;
    library.setDelegate(&events);
    Read r;
    r.ok = library.readMediaLibrary();
    r.reader = library.readerName();
    for (const TrackDetailPtr& t : library.getAllTracks())
        r.titles << t->trackName;
    r.playlists = namesOf(library.playlists());
    r.completions = events.completions;
    return r;
}

TEST(ReaderChoice, SQLiteLibraryWinsAndTheCDBIsNotConverted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(sqliteLibrary().write(dir.filePath("MediaLibrary.sqlitedb")));
    write(dir.filePath("iTunesCDB"), ITunesDBWriter::toCDB(iTunesDBWithTitle("From CDB", 9)));
    const Read r = readFolder(dir.path());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reader, "QELMediaLibraryMediaLibrarySQLiteDBReader");
    EXPECT_EQ(r.titles, QStringList{"From SQLite"});
    EXPECT_FALSE(QFile::exists(QELMediaLibraryITunesCDBConvertor::convertedPathFor(dir.filePath("iTunesCDB"))));
}

TEST(ReaderChoice, ConvertedCDBIsReadAndTheDevicesITunesDBStays)
{
    QTemporaryDir dir;
    write(dir.filePath("MediaLibrary.sqlitedb"), "broken");
    write(dir.filePath("iTunesCDB"), ITunesDBWriter::toCDB(iTunesDBWithTitle("From CDB", 9)));
    const QByteArray own = iTunesDBWithTitle("Device's own", 8);
    write(dir.filePath("iTunesDB"), own);
    const Read r = readFolder(dir.path());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reader, "QELMediaLibraryITunesDBReader");
    EXPECT_EQ(r.titles, QStringList{"From CDB"});
    EXPECT_EQ(contents(dir.filePath("iTunesDB")), own);
    EXPECT_EQ(r.completions, QList<bool>{true});
}

TEST(ReaderChoice, UnconvertibleCDBFallsBackToTheITunesDB)
{
    for (const QByteArray& cdb : {QByteArray("notmhbd-at-all"), iTunesDBWithTitle("x", 1).left(104) + QByteArray(300, 'z')}) {
        QTemporaryDir dir;
        write(dir.filePath("iTunesCDB"), cdb);
        write(dir.filePath("iTunesDB"), iTunesDBWithTitle("Device's own", 8));
        const Read r = readFolder(dir.path());
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.titles, QStringList{"Device's own"});
        EXPECT_EQ(r.completions, QList<bool>{true});
    }
}

TEST(ReaderChoice, CDBConversionRoundTripAndBadMagic)
{
    QTemporaryDir dir;
    const QByteArray db = iTunesDBWithTitle("Round trip", 3);
    write(dir.filePath("iTunesCDB"), ITunesDBWriter::toCDB(db));
    ASSERT_TRUE(QELMediaLibraryITunesCDBConvertor::ConvertITunesCDBToITunesDB(dir.filePath("iTunesCDB")));
    EXPECT_EQ(contents(QELMediaLibraryITunesCDBConvertor::convertedPathFor(dir.filePath("iTunesCDB"))), db);
    write(dir.filePath("bad"), "xxxx1234");
    EXPECT_FALSE(QELMediaLibraryITunesCDBConvertor::ConvertITunesCDBToITunesDB(dir.filePath("bad"), dir.filePath("out")));
    EXPECT_FALSE(QFile::exists(dir.filePath("out")));
}

TEST(ReaderChoice, RingtonesVoiceMemosAndKindPlaylistsFollowASuccessfulRead)
{
    QTemporaryDir dir;
    write(dir.filePath("iTunesDB"), iTunesDBWithTitle("Song", 4));
    ASSERT_TRUE(MediaExtrasFixture::writeRingtones(dir.filePath("Ringtones.plist"), {{"Bell.m4r", "G1", "Bell", "", "", 1000}}));
    ASSERT_TRUE(MediaExtrasFixture::writeRecordings(dir.filePath("Recordings.db"), {{"/var/mobile/Media/Recordings/a.m4a", 2, "Memo", 10, 77}}));
    const Read r = readFolder(dir.path());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.playlists, (QStringList{"Music", "Ringtones", "Voice Memos", "Device list"}));
    EXPECT_TRUE(r.titles.contains("Bell"));
    EXPECT_TRUE(r.titles.contains("Memo"));
}

TEST(ReaderChoice, AFailedReadAddsNothingAndReportsOnce)
{
    QTemporaryDir dir;
    write(dir.filePath("iTunesDB"), "mhbd but nothing else");
    ASSERT_TRUE(MediaExtrasFixture::writeRingtones(dir.filePath("Ringtones.plist"), {{"Bell.m4r", "G1", "Bell", "", "", 1000}}));
    const Read r = readFolder(dir.path());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.playlists.isEmpty());
    EXPECT_EQ(r.completions, QList<bool>{false});
    const Read nothing = readFolder(dir.filePath("empty-subfolder-that-is-missing"));
    EXPECT_TRUE(nothing.completions.isEmpty());
}

// Cancels the read as soon as the reader reports its first progress.
class CancellingDelegate : public RecordingDelegate {
public:
    QELDeviceMediaLibrary* library = nullptr;
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override
    {
        RecordingDelegate::OnDeviceMediaLibraryReadProgressEvent(progress);
        if (library && progressLines.size() == 3)
            library->cancel();
    }
};

TEST(ReaderChoice, CancelledSQLiteReadSucceedsAndTheAdditionsFollow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(sqliteLibrary().write(dir.filePath("MediaLibrary.sqlitedb")));
    write(dir.filePath("iTunesDB"), iTunesDBWithTitle("Never read", 4));
    ASSERT_TRUE(MediaExtrasFixture::writeRingtones(dir.filePath("Ringtones.plist"), {{"Bell.m4r", "G1", "Bell", "", "", 1000}}));
    QELDeviceMediaLibrary library(dir.path());
    CancellingDelegate events;
    events.library = &library;
    library.setDelegate(&events);
    EXPECT_TRUE(library.readMediaLibrary());
    EXPECT_EQ(library.readerName(), "QELMediaLibraryMediaLibrarySQLiteDBReader");
    EXPECT_EQ(namesOf(library.playlists()), QStringList{"Ringtones"});
    EXPECT_EQ(events.completions, QList<bool>{true});
}

// A device that leaves during the read: the disconnect path cancels and
// closes the library from whatever thread it runs on, here from inside the
// reader's own progress event, at every event the reader sends.
class ClosingDelegate : public RecordingDelegate {
public:
    QELDeviceMediaLibrary* library = nullptr;
    int closeAtProgress = 0;
    void OnDeviceMediaLibraryReadProgressEvent(const QString& progress) override
    {
        RecordingDelegate::OnDeviceMediaLibraryReadProgressEvent(progress);
        if (library && progressLines.size() == closeAtProgress) {
            library->cancel();
            library->close();
        }
    }
};

struct ReaderFolder {
    const char* reader;
    std::function<void(const QString& folder)> write;
};

class CloseDuringRead : public ::testing::TestWithParam<ReaderFolder> {};

TEST_P(CloseDuringRead, StoreStaysOpenUntilTheReadEndsAtEveryProgressEvent)
{
    QTemporaryDir dir;
    GetParam().write(dir.path());
    ASSERT_TRUE(MediaExtrasFixture::writeRingtones(dir.filePath("Ringtones.plist"), {{"Bell.m4r", "G1", "Bell", "", "", 1000}}));

    int events = 0;
    {
        QELDeviceMediaLibrary library(dir.path());
        RecordingDelegate counting;
        library.setDelegate(&counting);
        ASSERT_TRUE(library.readMediaLibrary());
        ASSERT_EQ(library.readerName(), GetParam().reader);
        events = counting.progressLines.size();
        library.close();
    }
    ASSERT_GT(events, 0);
    for (int at = 1; at <= events; ++at) {
        SCOPED_TRACE(at);
        QELDeviceMediaLibrary library(dir.path());
        ClosingDelegate closing;
        closing.library = &library;
        closing.closeAtProgress = at;
        library.setDelegate(&closing);
        EXPECT_FALSE(library.readMediaLibrary());
        EXPECT_EQ(closing.completions, QList<bool>{false});
        EXPECT_EQ(library.managedObjectContext(), nullptr);
        EXPECT_TRUE(library.getAllTracks().isEmpty());
        EXPECT_TRUE(library.playlists().isEmpty());
        EXPECT_FALSE(library.readMediaLibrary());
    }
}

LibraryItdbFixture itdbLibrary()
{
    LibraryItdbFixture f;
    LibraryItdbFixture::Item it;
    it.pid = 7;
    it.title = QStringLiteral("From Library.itdb");
    it.location = QStringLiteral("T7.mp3");
    f.items << it;
    LibraryItdbFixture::Container c;
    c.pid = 70;
    c.name = QStringLiteral("Device list");
    c.items = {7};
    f.containers << c;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    EachReader, CloseDuringRead,
    ::testing::Values(
        ReaderFolder{"QELMediaLibraryMediaLibrarySQLiteDBReader",
                     [](const QString& folder) { ASSERT_TRUE(sqliteLibrary().write(folder + "/MediaLibrary.sqlitedb")); }},
        ReaderFolder{"QELMediaLibrarySQLiteReader", [](const QString& folder) { ASSERT_TRUE(itdbLibrary().write(folder)); }},
        ReaderFolder{"QELMediaLibraryITunesDBReader",
                     [](const QString& folder) { write(folder + "/iTunesDB", iTunesDBWithTitle("Song", 4)); }},
        ReaderFolder{"QELMediaLibraryITunesDBReader", [](const QString& folder) {
                         write(folder + "/iTunesCDB", ITunesDBWriter::toCDB(iTunesDBWithTitle("From CDB", 9)));
                     }}));

} // namespace
