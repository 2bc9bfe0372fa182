// SPDX-License-Identifier: GPL-3.0-or-later
// The binary iTunesDB: track records, data objects, sections and playlists.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ITunesDBWriter.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryITunesDBReader.h"

namespace {

using Track = ITunesDBWriter::Track;
using Playlist_ = ITunesDBWriter::Playlist;

Track song(quint32 id, const char* title)
{
    Track t;
    t.id = id;
    t.title = QString::fromUtf8(title);
    t.artist = QStringLiteral("Artist");
    t.album = QStringLiteral("Album");
    t.path = QStringLiteral(":iPod_Control:Music:F00:T%1.mp3").arg(id);
    return t;
}

Playlist_ list(const char* title, QList<quint32> ids, quint32 dataObjects = 3)
{
    Playlist_ p;
    p.title = QString::fromUtf8(title);
    p.dataObjects = dataObjects;
    for (quint32 id : ids)
        p.items.append({id, 1});
    return p;
}

struct DBRead {
    bool ok = false;
    std::shared_ptr<QELMediaStore> store;
    RecordingDelegate events;
    TrackDetailPtr track(const char* id) const
    {
        return store->firstTrackWithPersistentID(QString::fromLatin1(id));
    }
    PlaylistPtr playlist(const QString& name) const
    {
        for (const PlaylistPtr& p : store->playlists())
            if (p->name == name)
                return p;
        return nullptr;
    }
    QStringList playlistNames() const
    {
        return namesOf(QList<PlaylistPtr>(store->playlists().begin(), store->playlists().end()));
    }
    QStringList order(const QString& container) const
    {
        QStringList ids;
        for (const PlaylistOrderPtr& o : store->ordersForContainer(container))
            ids << o->persistentID;
        return ids;
    }
};

std::unique_ptr<DBRead> readBytes(const QByteArray& bytes)
{
    auto r = std::make_unique<DBRead>();
    QTemporaryDir dir;
    QFile file(dir.filePath("iTunesDB"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibraryITunesDBReader>(
        dir.path());
    reader->setDelegate(&r->events);
    r->ok = reader->readMediaLibrary();
    r->store = reader->managedObjectContext();
    return r;
}

TEST(ITunesDBReader, ReadsTrackRecordsAndTheirDataObjects)
{
    ITunesDBWriter w;
    Track full = song(101, "Ünïcode title");
    full.genre = QStringLiteral("Jazz");
    full.composer = QStringLiteral("Composer");
    full.descriptionLong = QStringLiteral("Long text");
    full.albumArtist = QStringLiteral("Album Artist");
    full.podcastURL = QByteArray("http://example.com/feed.xml");
    full.rating = 80;
    full.dateAdded = 3600;
    full.lastPlayed = 0xFFFFFFFF;
    full.fileSize = 4000000000u;
    full.durationMs = 215000;
    full.trackNumber = 3;
    full.trackCount = 12;
    full.year = 1999;
    full.bitRate = 256;
    full.playCount = 9;
    full.mediaKind = 64;
    full.artworkID = 777;
    full.extraTypes = {7, 16, 6};
    Track old = song(102, "Old header");
    old.headerLength = 244;
    old.mediaKind = 2;
    old.artworkID = 55; // beyond a 244-byte header: never read
    Track shortest = song(104, "Shortest header");
    shortest.headerLength = 156;
    shortest.mediaKind = 2;
    Track podcast = song(103, "Episode");
    podcast.mediaKind = 4;
    w.tracks = {full, old, podcast, shortest};
    auto r = readBytes(w.build());
    ASSERT_TRUE(r->ok);
    ASSERT_EQ(r->store->tracks().size(), 4u);

    const TrackDetail& t = *r->track("101");
    EXPECT_EQ(t.songID, 101);
    EXPECT_EQ(t.trackName, QString::fromUtf8("Ünïcode title"));
    EXPECT_EQ(t.path, "/iPod_Control/Music/F00/T101.mp3");
    EXPECT_EQ(t.album, "Album");
    EXPECT_EQ(t.artist, "Artist");
    EXPECT_EQ(t.genre, "Jazz");
    EXPECT_EQ(t.composer, "Composer");
    EXPECT_EQ(t.descriptionLong, "Long text");
    EXPECT_EQ(t.album_artist, "Album Artist");
    EXPECT_EQ(t.podcastShowURL, "http://example.com/feed.xml");
    EXPECT_EQ(t.userRating, 80);
    EXPECT_EQ(t.dateCreated, QDateTime(QDate(1904, 1, 1), QTime(1, 0), Qt::UTC));
    EXPECT_EQ(t.datePlayed,
              QDateTime(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC).addSecs(4294967295LL));
    EXPECT_EQ(t.datePlayed.date().year(), 2040);
    EXPECT_EQ(t.fileSize, 4000000000LL);
    EXPECT_EQ(t.duration, 215000);
    EXPECT_EQ(t.trackNumber, 3);
    EXPECT_EQ(t.trackCount, 12);
    EXPECT_EQ(t.year, 1999);
    EXPECT_EQ(t.bitRate, 256);
    EXPECT_EQ(t.playCount, 9);
    EXPECT_EQ(t.mediaKind, 64);
    EXPECT_EQ(t.hasVideo, true);
    EXPECT_EQ(t.isTVShow, true);
    EXPECT_EQ(t.artworkId, 777);

    const TrackDetail& o = *r->track("102");
    EXPECT_EQ(o.trackName, "Old header"); // data objects found after the 244-byte header
    EXPECT_EQ(o.mediaKind, 2);            // the kind is inside a 244-byte header too
    EXPECT_EQ(o.hasVideo, true);
    EXPECT_EQ(o.artworkId, std::nullopt);
    const TrackDetail& oldest = *r->track("104");
    EXPECT_EQ(oldest.trackName, "Shortest header");
    EXPECT_EQ(oldest.mediaKind, std::nullopt);
    EXPECT_EQ(oldest.hasVideo, std::nullopt);
    EXPECT_FALSE(o.dateCreated.isValid());
    EXPECT_EQ(r->track("103")->isPodcast, true);
    EXPECT_EQ(r->events.completions, QList<bool>{true});
}

TEST(ITunesDBReader, SkipsOtherSectionsAndReadsTrackSectionsOfType6)
{
    ITunesDBWriter w;
    w.trackSectionType = 6;
    w.extraSectionTypes = {2, 4, 5};
    w.tracks = {song(1, "One"), song(2, "Two")};
    w.playlists = {list("After skipped sections", {2, 1})};
    auto r = readBytes(w.build());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->store->tracks().size(), 2u);
    ASSERT_TRUE(r->playlist("After skipped sections"));
    EXPECT_EQ(r->order(r->playlist("After skipped sections")->containerPID),
              (QStringList{"2", "1"}));
}

TEST(ITunesDBReader, ReadsPlaylistsByKind)
{
    ITunesDBWriter w;
    w.tracks = {song(1, "One"), song(2, "Two"), song(3, "Three")};
    Playlist_ master = list("Library", {1, 2, 3});
    master.master = true;
    Playlist_ withNonMember = list("Plain", {3, 1, 2});
    withNonMember.items[1].member = 0;
    const QString nbsp = QStringLiteral("iTunes") + QChar(0x00A0) + QStringLiteral("U");
    Playlist_ iTunesU = list("", {2});
    iTunesU.title = nbsp;
    w.playlists = {master,
                   list("Empty", {}),
                   withNonMember,
                   list("Mix", {1}, 4),
                   list("Smart", {2}, 5),
                   list("Genius", {3}, 6),
                   list("Odd kind", {1}, 7),
                   iTunesU,
                   list("iTunes U", {1})};
    auto r = readBytes(w.build());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->playlistNames(),
              (QStringList{"Library", "Plain", "Smart", "Genius", "Odd kind", nbsp, "iTunes U"}));

    const PlaylistPtr lib = r->playlist("Library");
    EXPECT_TRUE(lib->isMaster);
    EXPECT_TRUE(lib->tracks().isEmpty());
    EXPECT_TRUE(r->order(lib->containerPID).isEmpty());
    EXPECT_EQ(lib->containerPID, "1");

    const PlaylistPtr plain = r->playlist("Plain");
    EXPECT_EQ(plain->containerPID, "3"); // the dropped "Empty" still took number 2
    EXPECT_EQ(idsOf(plain->tracks()),
              (QStringList{"1", "2", "3"})); // 0 at offset 28, but it names a track
    EXPECT_EQ(r->order("3"), (QStringList{"3", "1", "2"}));
    EXPECT_EQ(plain->playlistIconName, "cat_playlist");

    EXPECT_EQ(r->playlist("Smart")->smartIsDynamic, true);
    EXPECT_EQ(r->playlist("Genius")->smartIsGenius, true);
    EXPECT_EQ(r->playlist("Genius")->playlistIconName, "cat_genius_selection");
    const PlaylistPtr odd = r->playlist("Odd kind");
    EXPECT_TRUE(odd->playlistIconName.isEmpty());
    EXPECT_EQ(odd->smartIsDynamic, std::nullopt);
    EXPECT_EQ(odd->smartIsGenius, std::nullopt);

    EXPECT_TRUE(r->playlist(nbsp)->isHidden);
    EXPECT_EQ(r->track("2")->isITunesU, true);
    EXPECT_EQ(r->track("2")->mediaKind, 4);
    EXPECT_FALSE(r->playlist("iTunes U")->isHidden);
    EXPECT_EQ(r->track("1")->isITunesU, std::nullopt);
    EXPECT_EQ(r->events.playlistNames.count(QString()), 7);
    EXPECT_TRUE(r->events.playlistNames.contains("Empty"));
}

TEST(ITunesDBReader, SmartPlaylistsOfOtherIPodWritersKeepTheirTracks)
{
    ITunesDBWriter w;
    w.tracks = {song(1, "One"), song(2, "Two"), song(3, "Three")};
    Playlist_ master = list("Library", {1, 2, 3});
    master.master = true;
    Playlist_ smart = list("Recently added", {3, 1}, 4);
    smart.objectTypes = {50, 51, 100};
    for (ITunesDBWriter::Item& item : smart.items)
        item.member = 0; // these writers leave offset 28 empty
    w.playlists = {master, smart, list("Mix", {2}, 4)};
    auto r = readBytes(w.build());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->playlistNames(), (QStringList{"Library", "Recently added"}));
    const PlaylistPtr kept = r->playlist("Recently added");
    EXPECT_EQ(kept->smartIsDynamic, true);
    EXPECT_EQ(kept->smartIsMix, std::nullopt);
    EXPECT_EQ(kept->playlistIconName, "cat_smart_playlist");
    EXPECT_EQ(idsOf(kept->tracks()).size(), 2);
    EXPECT_EQ(r->order(kept->containerPID), (QStringList{"3", "1"}));
}

TEST(ITunesDBReader, PlaylistsAreReadFromTheTypeTwoSectionWhenThereIsNoTypeThree)
{
    struct Case {
        const char* what;
        QList<quint32> sections;
    };
    const Case cases[] = {
        {"type 2 only, as older databases have", {2}},
        {"type 3 then type 2: read once, from type 3", {3, 2}},
        {"type 2 then type 3: read once, from type 3", {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ITunesDBWriter w;
        w.tracks = {song(1, "One"), song(2, "Two")};
        Playlist_ master = list("Library", {1, 2});
        master.master = true;
        w.playlists = {master, list("Road", {2, 1})};
        w.playlistSectionTypes = c.sections;
        auto r = readBytes(w.build());
        ASSERT_TRUE(r->ok);
        EXPECT_EQ(r->playlistNames(), (QStringList{"Library", "Road"}));
        ASSERT_TRUE(r->playlist("Road"));
        EXPECT_EQ(r->order(r->playlist("Road")->containerPID), (QStringList{"2", "1"}));
        EXPECT_EQ(r->events.completions, QList<bool>{true});
    }
}

TEST(ITunesDBReader, PlaylistItemsJoinByOffset28OrByNamingATrack)
{
    using Item = ITunesDBWriter::Item;
    constexpr quint32 kGroupHeader = 256;
    const quint32 added = 0xD5A3B2C1; // iTunes writes the time the item was added
    struct Case {
        const char* what;
        QList<Item> items;
        QStringList tracks;
        QStringList order;
    };
    const std::vector<Case> cases = {
        {"iTunes writes a time at offset 28",
         {{2, added}, {1, added}, {9, added}},
         {"1", "2"},
         {"2", "1", "9"}},
        {"other writers leave offset 28 at 0",
         {{3, 0}, {1, 0}, {2, 0}},
         {"1", "2", "3"},
         {"3", "1", "2"}},
        {"0 at offset 28 and no such track", {{9, 0}, {2, 0}}, {"2"}, {"9", "2"}},
        {"podcast group headers never join",
         {{1, added, kGroupHeader}, {2, 0}, {3, 0, kGroupHeader}, {4, added}},
         {"2", "4"},
         {"1", "2", "3", "4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ITunesDBWriter w;
        w.tracks = {song(1, "One"), song(2, "Two"), song(3, "Three"), song(4, "Four")};
        Playlist_ master = list("Library", {1, 2, 3, 4});
        master.master = true;
        Playlist_ tested = list("Tested", {});
        tested.items = c.items;
        w.playlists = {master, tested};
        auto r = readBytes(w.build());
        ASSERT_TRUE(r->ok);
        const PlaylistPtr playlist = r->playlist("Tested");
        ASSERT_TRUE(playlist);
        QStringList ids = idsOf(playlist->tracks());
        ids.sort();
        EXPECT_EQ(ids, c.tracks);
        EXPECT_EQ(r->order(playlist->containerPID), c.order);
        EXPECT_TRUE(r->playlist("Library")->tracks().isEmpty());
    }
}

// As the widespread Linux library writes an iPod's database: every item with 0
// at offset 28, podcasts under group headers.
TEST(ITunesDBReader, ReadsEveryPlaylistOfAnIPodManagedOnLinux)
{
    ITunesDBWriter w;
    for (quint32 id = 1; id <= 6; ++id)
        w.tracks.append(song(id, "Song"));
    auto zeroAt28 = [](const char* title, QList<quint32> ids) {
        Playlist_ p = list(title, ids);
        for (ITunesDBWriter::Item& item : p.items)
            item.member = 0;
        return p;
    };
    Playlist_ master = zeroAt28("Library", {1, 2, 3, 4, 5, 6});
    master.master = true;
    Playlist_ podcasts = zeroAt28("Podcasts", {});
    podcasts.items = {{1000, 0, 256}, {5, 0}, {6, 0}};
    w.playlists = {master, zeroAt28("Morning", {2, 1}), zeroAt28("Evening", {3, 4, 2}), podcasts};
    auto r = readBytes(w.build());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->playlistNames(), (QStringList{"Library", "Morning", "Evening", "Podcasts"}));
    QStringList morning = idsOf(r->playlist("Morning")->tracks());
    morning.sort();
    EXPECT_EQ(morning, (QStringList{"1", "2"}));
    EXPECT_EQ(r->order(r->playlist("Morning")->containerPID), (QStringList{"2", "1"}));
    EXPECT_EQ(r->playlist("Evening")->tracks().size(), 3);
    QStringList episodes = idsOf(r->playlist("Podcasts")->tracks());
    episodes.sort();
    EXPECT_EQ(episodes, (QStringList{"5", "6"}));
    EXPECT_TRUE(r->playlist("Library")->tracks().isEmpty());
}

TEST(ITunesDBReader, FailuresAreReportedWithTheirTexts)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QString error;
    };
    ITunesDBWriter w;
    w.tracks = {song(1, "One")};
    const QByteArray good = w.build();
    QByteArray badSection = good;
    badSection.replace(104, 4, "xxxx");
    QByteArray badTrackList = good;
    badTrackList.replace(104 + 96, 4, "mhlx");
    const std::vector<Case> cases = {
        {"section tag", badSection, "mhsd header not found"},
        {"track list tag", badTrackList, "iTunesDB ReadiTunesDB_MHLT fails\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto r = readBytes(c.bytes);
        EXPECT_FALSE(r->ok);
        ASSERT_FALSE(r->events.errors.isEmpty());
        EXPECT_EQ(r->events.errors.last(), c.error);
    }
    auto notDB = readBytes(QByteArray("mhbx and more"));
    EXPECT_FALSE(notDB->ok);
    EXPECT_TRUE(notDB->events.completions.isEmpty());

    QTemporaryDir empty;
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibraryITunesDBReader>(
        empty.path());
    RecordingDelegate events;
    reader->setDelegate(&events);
    EXPECT_FALSE(reader->readMediaLibrary());
    EXPECT_EQ(events.errors, QStringList{"iTunesDB missing"});
}

} // namespace
