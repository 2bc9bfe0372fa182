// SPDX-License-Identifier: GPL-3.0-or-later
// The Library.itdb set: items with their locations and statistics, containers
// and their members.
#include <functional>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "LibraryItdbFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibrarySQLiteReader.h"

namespace {

using Item = LibraryItdbFixture::Item;
using Container = LibraryItdbFixture::Container;

Item item(qint64 pid, const char* title)
{
    Item it;
    it.pid = pid;
    it.title = QString::fromUtf8(title);
    it.artist = QStringLiteral("Artist");
    it.album = QStringLiteral("Album");
    it.location = QStringLiteral("T%1.mp3").arg(pid);
    return it;
}

Container container(qint64 pid, const char* name, QList<qint64> items)
{
    Container c;
    c.pid = pid;
    c.name = QString::fromUtf8(name);
    c.items = items;
    return c;
}

struct ItdbRead {
    bool ok = false;
    bool libraryLeft = true;
    std::shared_ptr<QELMediaStore> store;
    RecordingDelegate events;
    TrackDetailPtr track(const char* id) const { return store->firstTrackWithPersistentID(QString::fromLatin1(id)); }
    PlaylistPtr playlist(const char* name) const
    {
        for (const PlaylistPtr& p : store->playlists())
            if (p->name == QString::fromUtf8(name))
                return p;
        return nullptr;
    }
    QStringList playlistNames() const
    {
        return namesOf(QList<PlaylistPtr>(store->playlists().begin(), store->playlists().end()));
    }
};

std::unique_ptr<ItdbRead> readItdb(const LibraryItdbFixture& f)
{
    auto result = std::make_unique<ItdbRead>();
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(f.write(dir.path(), &error)) << error.toStdString();
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibrarySQLiteReader>(dir.path());
    reader->setDelegate(&result->events);
    result->ok = reader->readMediaLibrary();
    result->store = reader->managedObjectContext();
    result->libraryLeft = QFileInfo::exists(dir.filePath(QStringLiteral("Library.itdb")));
    return result;
}

struct ItdbCase {
    const char* what;
    std::function<void(LibraryItdbFixture&)> build;
    std::function<void(const ItdbRead&)> check;
};

class LibraryItdbCases : public ::testing::TestWithParam<ItdbCase> {};

TEST_P(LibraryItdbCases, Read)
{
    LibraryItdbFixture f;
    GetParam().build(f);
    auto r = readItdb(f);
    ASSERT_TRUE(r->ok);
    EXPECT_FALSE(r->libraryLeft);
    EXPECT_EQ(r->events.completions, QList<bool>{true});
    GetParam().check(*r);
}

const ItdbCase kItdbCases[] = {
    {"attributes, 64-bit id, truncated time and size, location joined",
     [](LibraryItdbFixture& f) { Item a = item(-7000000000LL, "Song"); a.totalTimeMs = 1234.9; a.fileSize = 5000000000.7; a.genre = "Jazz";
         a.trackNumber = 3; a.discNumber = 2; a.discCount = 2; a.year = 1999; a.composer = "Comp"; a.descriptionLong = "Long"; a.albumArtist = "AA";
         f.items << a; },
     [](const ItdbRead& r) { const TrackDetail& t = *r.track("-7000000000"); EXPECT_EQ(t.duration, 1234); EXPECT_EQ(t.fileSize, 5000000000LL);
         EXPECT_EQ(t.genre, "Jazz"); EXPECT_EQ(t.trackNumber, 3); EXPECT_EQ(t.discNumber, 2); EXPECT_EQ(t.year, 1999);
         EXPECT_EQ(t.composer, "Comp"); EXPECT_EQ(t.descriptionLong, "Long"); EXPECT_EQ(t.album_artist, "AA");
         EXPECT_EQ(t.path, "iTunes_Control/Music/F00/T-7000000000.mp3"); EXPECT_EQ(t.hasVideo, false); }},
    {"video flags, and m4v only when no flag is set",
     [](LibraryItdbFixture& f) { Item v = item(1, "MV"); v.isMusicVideo = 1; Item m = item(2, "Clip"); m.location = "clip.m4v"; f.items << v << m << item(3, "Song"); },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->hasVideo, true); EXPECT_EQ(r.track("2")->hasVideo, true); EXPECT_EQ(r.track("3")->hasVideo, false); }},
    {"without is_tv_show: no video flag and no m4v test",
     [](LibraryItdbFixture& f) { f.tvShowColumn = false; Item v = item(1, "MV"); v.isMovie = 1; Item m = item(2, "Clip"); m.location = "clip.m4v"; f.items << v << m; },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->hasVideo, std::nullopt); EXPECT_EQ(r.track("2")->hasVideo, std::nullopt); }},
    {"podcast and iTunes U; voice memo",
     [](LibraryItdbFixture& f) { Item u = item(1, "Lecture"); u.isPodcast = 1; u.isITunesU = 1; Item v = item(2, "Memo"); v.isVoiceMemo = 1; f.items << u << v; },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->isPodcast, false); EXPECT_EQ(r.track("1")->isITunesU, true); EXPECT_EQ(r.track("2")->isVoiceMemo, true); }},
    {"protected kind text",
     [](LibraryItdbFixture& f) { Item p = item(1, "Bought"); p.kindID = "Protected AAC audio file"; f.items << p << item(2, "Free"); },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->trackProtection, 1); EXPECT_EQ(r.track("2")->trackProtection, std::nullopt); EXPECT_EQ(r.track("2")->kindID, 1); }},
    {"statistics from Dynamic.itdb",
     [](LibraryItdbFixture& f) { Item s = item(1, "Song"); s.dateCreated = 86400; s.playCount = 7; s.userRating = 80; f.items << s; },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->dateCreated, QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC)); EXPECT_EQ(r.track("1")->playCount, 7);
         EXPECT_EQ(r.track("1")->userRating, 80); EXPECT_FALSE(r.track("1")->datePlayed.isValid()); }},
    {"without Dynamic.itdb: no statistics, still read",
     [](LibraryItdbFixture& f) { f.dynamicDatabase = false; Item s = item(1, "Song"); s.playCount = 7; f.items << s; },
     [](const ItdbRead& r) { EXPECT_EQ(r.track("1")->playCount, std::nullopt); }},
    {"no location row: no path",
     [](LibraryItdbFixture& f) { Item s = item(1, "Song"); s.basePath = QString(); f.items << s; },
     [](const ItdbRead& r) { EXPECT_TRUE(r.track("1")->path.isNull()); }},
    {"containers: primary, hidden and folder skipped; empty kept; genius wins over limited; kind 20",
     [](LibraryItdbFixture& f) { f.items << item(1, "One") << item(2, "Two"); f.primaryContainer = 100;
         Container hidden = container(101, "Hidden", {1}); hidden.hidden = true; Container folder = container(102, "Folder", {1}); folder.folder = true;
         Container genius = container(103, "Genius", {1}); genius.genius = true; genius.limited = true;
         Container bag = container(104, "Purchased", {2}); bag.distinguishedKind = 20; bag.dynamic = true;
         Container limited = container(106, "Limited", {2}); limited.limited = true;
         f.containers << container(100, "Library", {1, 2}) << hidden << folder << genius << bag << container(105, "Empty", {}) << limited; },
     [](const ItdbRead& r) { EXPECT_EQ(r.playlistNames(), (QStringList{"Genius", "Purchased", "Empty", "Limited"}));
         EXPECT_EQ(r.playlist("Genius")->smartIsGenius, true); EXPECT_EQ(r.playlist("Genius")->smartIsDynamic, std::nullopt);
         EXPECT_EQ(r.playlist("Purchased")->playlistIconName, "cat_shappong_bag"); EXPECT_EQ(r.playlist("Purchased")->isLibraryType, true);
         EXPECT_EQ(r.playlist("Limited")->smartIsDynamic, true); EXPECT_TRUE(r.playlist("Empty")->tracks().isEmpty()); }},
    {"members in physical order with order rows",
     [](LibraryItdbFixture& f) { f.items << item(1, "One") << item(2, "Two") << item(3, "Three"); f.containers << container(200, "Mine", {3, 1, 3}); },
     [](const ItdbRead& r) { QStringList order; for (const auto& o : r.store->ordersForContainer("200")) order << o->persistentID;
         EXPECT_EQ(order, (QStringList{"3", "1", "3"})); EXPECT_EQ(r.playlist("Mine")->tracks().size(), 2);
         EXPECT_EQ(r.store->ordersForContainer("200").at(0)->relationshipTrack, r.track("3")); }},
    {"members found by name: a name with quotes still finds its tracks",
     [](LibraryItdbFixture& f) { f.membersByName = true; f.items << item(1, "One"); f.containers << container(300, "Say \"hi\" ' --", {1}); },
     [](const ItdbRead& r) { ASSERT_TRUE(r.playlist("Say \"hi\" ' --")); EXPECT_EQ(r.playlist("Say \"hi\" ' --")->tracks().size(), 1); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, LibraryItdbCases, ::testing::ValuesIn(kItdbCases));

TEST(LibraryItdbReader, MissingLocationsDatabaseFailsWithoutEventAndKeepsLibrary)
{
    QTemporaryDir dir;
    LibraryItdbFixture f;
    f.items << item(1, "One");
    ASSERT_TRUE(f.write(dir.path()));
    QFile::remove(dir.filePath("Locations.itdb"));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibrarySQLiteReader>(dir.path());
    RecordingDelegate events;
    reader->setDelegate(&events);
    EXPECT_FALSE(reader->readMediaLibrary());
    EXPECT_TRUE(events.completions.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("Library.itdb")));
}

} // namespace
