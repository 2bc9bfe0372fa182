// SPDX-License-Identifier: GPL-3.0-or-later
// The media store and the base reader: store set-up and fallback, kind
// playlists, the listing artist, blank tracks, life after close.
#include <stdexcept>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Locations.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryReader.h"

namespace {

// A reader whose "database" is a list of tracks made in code.
class ListReader : public QELMediaLibraryReader {
public:
    bool readMediaLibrary() override
    {
        for (const TrackDetail& t : tracks)
            *_createNewTrackDetailObject() = t;
        return managedObjectContext()->save();
    }
    QList<TrackDetail> tracks;

protected:
    using QELMediaLibraryReader::QELMediaLibraryReader;
    friend class QELMediaLibraryReader;
};

TrackDetail track(const char* id, std::optional<qint64> kind)
{
    TrackDetail t;
    t.persistentID = QString::fromLatin1(id);
    t.trackName = QStringLiteral("T") + t.persistentID;
    t.mediaKind = kind;
    return t;
}

QStringList kindPlaylist(const std::shared_ptr<QELMediaStore>& store, const char* name)
{
    for (const PlaylistPtr& p : store->playlists())
        if (p->name == QLatin1String(name))
            return idsOf(p->tracks());
    return {QStringLiteral("<none>")};
}

TEST(MediaStore, KindPlaylistsTakeTheirTracksAndAbsentKindsMakeNone)
{
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    ASSERT_TRUE(reader);
    TrackDetail musicVideo = track("1", 1);
    musicVideo.hasVideo = true;
    TrackDetail book = track("2", 8);
    TrackDetail flaggedBook = track("3", 1);
    flaggedBook.isAudiobook = true;
    TrackDetail movie = track("4", 2);
    TrackDetail unflagged = track("5", std::nullopt);
    TrackDetail ringtone = track("6", std::nullopt);
    ringtone.isRingtone = true;
    TrackDetail notPodcast = track("7", 4);
    notPodcast.isPodcast = false;
    reader->tracks = {musicVideo, book, flaggedBook, movie, unflagged, ringtone, notPodcast};
    ASSERT_TRUE(reader->readMediaLibrary());
    reader->addLibraryTypes();
    const auto store = reader->managedObjectContext();
    EXPECT_EQ(kindPlaylist(store, "Music"), (QStringList{"1", "3"}));
    EXPECT_EQ(kindPlaylist(store, "All Videos"), QStringList{"1"});
    EXPECT_EQ(kindPlaylist(store, "Audiobooks"), (QStringList{"2", "3"}));
    EXPECT_EQ(kindPlaylist(store, "Movies"), QStringList{"4"});
    EXPECT_EQ(kindPlaylist(store, "Podcasts"), QStringList{"<none>"});
    EXPECT_EQ(kindPlaylist(store, "TV Shows"), QStringList{"<none>"});
    EXPECT_EQ(kindPlaylist(store, "iTunesU"), QStringList{"<none>"});
    for (const PlaylistPtr& p : store->playlists()) {
        EXPECT_EQ(p->isLibraryType, true);
        EXPECT_FALSE(QELDeviceMediaLibrary::isPlaylistsToBeSorted(*p));
    }
}

TEST(MediaStore, ListingArtistAndBlankTracks)
{
    struct Case { QString artist; QString albumArtist; QString listing; };
    const Case cases[] = {
        {"Artist", "Album Artist", "Album Artist"},
        {"Artist", "", "Artist"},
        {"Artist", QString(), "Artist"},
        {QString(), "Album Artist", "Album Artist"},
    };
    for (const Case& c : cases) {
        TrackDetail t;
        t.artist = c.artist;
        t.album_artist = c.albumArtist;
        EXPECT_EQ(t.getArtistForListing(), c.listing);
        EXPECT_EQ(t.artistForList(), c.listing);
    }
    TrackDetail blank;
    EXPECT_TRUE(blank.IsNil());
    blank.artist = QStringLiteral("");
    EXPECT_TRUE(blank.IsNil());
    blank.trackName = QStringLiteral("Only a title");
    EXPECT_FALSE(blank.IsNil());
}

TEST(MediaStore, LeftoverStoreIsDeletedAndSaveWritesBoundValues)
{
    const QString file = QELMediaLibraryReader::storeFilePath();
    ASSERT_FALSE(file.isEmpty());
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("left over from an earlier run");
    }
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->managedObjectContext()->isInMemory());
    TrackDetail hostile = track("1", 1);
    hostile.trackName = QStringLiteral("'); DROP TABLE TrackDetail; --");
    reader->tracks = {hostile};
    ASSERT_TRUE(reader->readMediaLibrary());

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT trackName, mediaKind, isPodcast FROM TrackDetail", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "'); DROP TABLE TrackDetail; --");
    EXPECT_EQ(sqlite3_column_int(s, 1), 1);
    EXPECT_EQ(sqlite3_column_type(s, 2), SQLITE_NULL);   // a flag never set stays NULL
    sqlite3_finalize(s);
    sqlite3_close(db);
}

// Order rows are indexed by playlist when first asked for; rows added after
// that query are still found, sorted by index, equal indexes in insertion order.
TEST(MediaStore, OrderRowsOfAPlaylistFollowEveryInsertion)
{
    auto reader =
        QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    ASSERT_TRUE(reader);
    const std::shared_ptr<QELMediaStore> store = reader->managedObjectContext();
    auto add = [&store](const char* container, qint64 index, const char* id) {
        PlaylistOrderPtr order = store->insertPlaylistOrder();
        order->containerPID = QString::fromLatin1(container);
        order->index = index;
        order->persistentID = QString::fromLatin1(id);
    };
    auto idsIn = [&store](const char* container) {
        QStringList ids;
        for (const PlaylistOrderPtr& order :
             store->ordersForContainer(QString::fromLatin1(container)))
            ids << order->persistentID;
        return ids;
    };
    add("A", 2, "a2");
    add("B", 0, "b0");
    add("A", 0, "a0");
    add("A", 1, "a1-first");
    EXPECT_EQ(idsIn("A"), (QStringList{"a0", "a1-first", "a2"}));
    add("A", 1, "a1-second");
    add("A", 3, "a3");
    add("C", 0, "c0");
    EXPECT_EQ(idsIn("A"), (QStringList{"a0", "a1-first", "a1-second", "a2", "a3"}));
    EXPECT_EQ(idsIn("B"), QStringList{"b0"});
    EXPECT_EQ(idsIn("C"), QStringList{"c0"});
    EXPECT_TRUE(idsIn("none").isEmpty());
}

// A title is folded for search once, and again after it changed.
TEST(MediaStore, SearchFollowsAnEditedTitle)
{
    TrackDetail t = track("1", 1);
    t.trackName = QStringLiteral("Caf\u00e9 del Mar");
    const auto cafe = QELDeviceMediaLibrary::_searchPredicate(QStringLiteral("CAFE"));
    const auto sea = QELDeviceMediaLibrary::_searchPredicate(QStringLiteral("sea"));
    EXPECT_TRUE(cafe(t));
    EXPECT_FALSE(sea(t));
    t.trackName = QStringLiteral("Seaside");
    EXPECT_FALSE(cafe(t));
    EXPECT_TRUE(sea(t));
    t.trackName.clear();
    t.album = QStringLiteral("By the sea");
    EXPECT_TRUE(sea(t));
    EXPECT_TRUE(QELDeviceMediaLibrary::_searchPredicate(QString())(t));
}

TEST(MediaStore, FallsBackToMemoryWhenTheFileCannotHoldAStore)
{
    const QString file = QELMediaLibraryReader::storeFilePath();
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file));   // a folder where the store file should be
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    QDir(file).removeRecursively();
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->managedObjectContext()->isInMemory());
    reader->tracks = {track("1", 1)};
    EXPECT_TRUE(reader->readMediaLibrary());
    EXPECT_EQ(reader->managedObjectContext()->tracks().size(), 1u);
}

TEST(MediaStore, ObjectsOutliveTheClosedStore)
{
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    reader->tracks = {track("1", 1)};
    ASSERT_TRUE(reader->readMediaLibrary());
    reader->addLibraryTypes();
    const TrackDetailPtr kept = reader->managedObjectContext()->tracks().front();
    const PlaylistPtr music = reader->managedObjectContext()->playlists().front();
    reader->close();
    reader.reset();
    EXPECT_EQ(kept->trackName, QStringLiteral("T1"));
    EXPECT_EQ(music->tracks().front(), kept);
}

TEST(MediaStore, BaseReaderIsAbstract)
{
    class Bare : public QELMediaLibraryReader {
    public:
        Bare() : QELMediaLibraryReader(QStringLiteral("/tmp")) {}
    };
    Bare bare;
    try {
        bare.readMediaLibrary();
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "readMediaLibrary : This is an abstract method and should be overridden");
    }
}

TEST(MediaStore, CancelStaysSet)
{
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<ListReader>(QStringLiteral("/tmp"));
    EXPECT_FALSE(reader->cancelRead());
    reader->cancel();
    EXPECT_TRUE(reader->cancelRead());
}

} // namespace
