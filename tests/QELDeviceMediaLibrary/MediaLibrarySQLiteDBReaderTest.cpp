// SPDX-License-Identifier: GPL-3.0-or-later
// MediaLibrary.sqlitedb in the schema variants that the reader's probes tell
// apart, and the row rules of the reader.
#include <functional>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"

namespace {

using Item = MediaLibraryFixture::Item;
using Container = MediaLibraryFixture::Container;

Item item(qint64 pid, const char* title, qint64 kind = 1)
{
    Item it;
    it.pid = pid;
    it.title = QString::fromUtf8(title);
    it.artist = QStringLiteral("Artist");
    it.album = QStringLiteral("Album");
    it.mediaKind = kind;
    it.location = QStringLiteral("F%1.mp3").arg(pid);
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

// Reads a fixture with the reader alone; answers the store, or none.
struct ReadResult {
    bool ok = false;
    std::shared_ptr<QELMediaStore> store;
    RecordingDelegate events;
    TrackDetailPtr track(const QString& id) const
    {
        return store ? store->firstTrackWithPersistentID(id) : nullptr;
    }
    PlaylistPtr playlist(const QString& name) const
    {
        for (const PlaylistPtr& p : store->playlists())
            if (p->name == name)
                return p;
        return nullptr;
    }
};

std::unique_ptr<ReadResult> readFixture(
    const MediaLibraryFixture& f, const std::function<void(QELMediaLibraryReader&)>& before = {})
{
    auto result = std::make_unique<ReadResult>();
    QTemporaryDir dir;
    QString error;
    EXPECT_TRUE(f.write(dir.filePath(QStringLiteral("MediaLibrary.sqlitedb")), &error))
        << error.toStdString();
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<
        QELMediaLibraryMediaLibrarySQLiteDBReader>(dir.path());
    EXPECT_TRUE(reader);
    if (!reader)
        return result;
    reader->setDelegate(&result->events);
    reader->setFilePath(QStringLiteral("MediaLibrary.sqlitedb"));
    if (before)
        before(*reader);
    result->ok = reader->readMediaLibrary();
    result->store = reader->managedObjectContext();
    return result;
}

struct SchemaCase {
    const char* what;
    std::function<void(MediaLibraryFixture&)> build;
    std::function<void(const ReadResult&)> check;
};

class MediaLibrarySchemas : public ::testing::TestWithParam<SchemaCase> {};

TEST_P(MediaLibrarySchemas, ReadAsTheProbesAllow)
{
    MediaLibraryFixture f;
    GetParam().build(f);
    auto result = readFixture(f);
    ASSERT_TRUE(result->ok);
    GetParam().check(*result);
}

const SchemaCase kSchemaCases[] = {
    {"is_podcast only in item",
     [](MediaLibraryFixture& f) {
         f.schema.podcastInItemExtra = false;
         f.schema.podcastInItem = true;
         Item p = item(1, "Ep");
         p.isPodcast = 1;
         f.items << p << item(2, "Song");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->isPodcast, true);
         EXPECT_FALSE(isYes(r.track("2")->isPodcast));
     }},
    {"is_podcast nowhere: media kinds 4 and 6 still are podcasts",
     [](MediaLibraryFixture& f) {
         f.schema.podcastInItemExtra = false;
         Item p = item(1, "Ep");
         p.isPodcast = 1;
         f.items << p << item(2, "Audio ep", 4) << item(3, "Video ep", 6);
     },
     [](const ReadResult& r) {
         EXPECT_FALSE(isYes(r.track("1")->isPodcast));
         EXPECT_TRUE(isYes(r.track("2")->isPodcast));
         EXPECT_TRUE(isYes(r.track("3")->isPodcast));
         EXPECT_TRUE(isYes(r.track("3")->hasVideo));
     }},
    {"iTunes U clears podcast",
     [](MediaLibraryFixture& f) {
         Item u = item(1, "Lecture");
         u.isPodcast = 1;
         u.isITunesU = 1;
         f.items << u;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->isPodcast, false);
         EXPECT_EQ(r.track("1")->isITunesU, true);
     }},
    {"is_itunes_u only in item",
     [](MediaLibraryFixture& f) {
         f.schema.iTunesUInItemExtra = false;
         f.schema.iTunesUInItem = true;
         Item u = item(1, "Lecture");
         u.isITunesU = 1;
         f.items << u;
     },
     [](const ReadResult& r) { EXPECT_EQ(r.track("1")->isITunesU, true); }},
    {"audiobook column",
     [](MediaLibraryFixture& f) {
         Item b = item(1, "Book");
         b.isAudiobook = 1;
         f.items << b << item(2, "Song");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->isAudiobook, true);
         EXPECT_EQ(r.track("2")->isAudiobook, std::nullopt);
     }},
    {"no audiobook column, no item_playback: bit rate from item_extra",
     [](MediaLibraryFixture& f) {
         f.schema.audiobookColumn = false;
         f.schema.itemPlayback = false;
         Item s = item(1, "Song");
         s.bitRate = 256;
         s.isAudiobook = 1;
         f.items << s;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->bitRate, 256);
         EXPECT_EQ(r.track("1")->isAudiobook, std::nullopt);
     }},
    {"bit rate from item_playback",
     [](MediaLibraryFixture& f) {
         Item s = item(1, "Song");
         s.bitRate = 320;
         f.items << s;
     },
     [](const ReadResult& r) { EXPECT_EQ(r.track("1")->bitRate, 320); }},
    {"artwork cache id",
     [](MediaLibraryFixture& f) {
         Item s = item(1, "Song");
         s.artworkCacheID = 4242;
         f.items << s << item(2, "Bare");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->artworkId, 4242);
         EXPECT_EQ(r.track("2")->artworkId, std::nullopt);
     }},
    {"no artwork cache id column",
     [](MediaLibraryFixture& f) {
         f.schema.artworkCacheID = false;
         f.items << item(1, "Song");
     },
     [](const ReadResult& r) { EXPECT_EQ(r.track("1")->artworkId, std::nullopt); }},
    {"item_artwork artwork path",
     [](MediaLibraryFixture& f) {
         f.schema.itemArtwork = true;
         Item s = item(1, "Song");
         s.artworkPath = QStringLiteral("ab/cd.jpg");
         f.items << s << item(2, "Bare");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->artworkPath,
                   QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/ab/cd.jpg"));
         EXPECT_TRUE(r.track("2")->artworkPath.isNull());
         EXPECT_EQ(r.store->tracks().size(), 2u);
     }},
    {"item_artwork: tracks without artwork rows each stay, with their own fields",
     [](MediaLibraryFixture& f) {
         f.schema.itemArtwork = true;
         for (int i = 1; i <= 36; ++i) {
             Item s = item(i, "Song");
             s.title = QStringLiteral("Song %1").arg(i);
             if (i % 7 == 0) {
                 s.artworkPath = QStringLiteral("art/%1.jpg").arg(i);
             }
             f.items << s;
         }
     },
     [](const ReadResult& r) {
         ASSERT_EQ(r.store->tracks().size(), 36u);
         for (int i = 1; i <= 36; ++i) {
             const TrackDetailPtr t = r.track(QString::number(i));
             ASSERT_TRUE(t) << i;
             EXPECT_EQ(t->trackName, QStringLiteral("Song %1").arg(i));
             EXPECT_EQ(t->artworkPath.isNull(), i % 7 != 0) << i;
             if (i % 7 == 0) {
                 EXPECT_EQ(
                     t->artworkPath,
                     QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/art/%1.jpg").arg(i));
             }
         }
     }},
    {"artwork_token artwork path",
     [](MediaLibraryFixture& f) {
         f.schema.artworkToken = true;
         Item s = item(1, "Song");
         s.artworkPath = QStringLiteral("ef.jpg");
         f.items << s;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->artworkPath,
                   QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/ef.jpg"));
     }},
    {"both artwork schemes: the reader still reads, by the token scheme",
     [](MediaLibraryFixture& f) {
         f.schema.artworkToken = true;
         f.schema.itemArtwork = true;
         Item s = item(1, "Song");
         s.artworkPath = QStringLiteral("gh.jpg");
         f.items << s << item(2, "Other");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.store->tracks().size(), 2u);
         EXPECT_EQ(r.track("1")->artworkPath,
                   QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/gh.jpg"));
     }},
    {"is_compilation in item, date_added instead of date_created",
     [](MediaLibraryFixture& f) {
         f.schema.compilationInItemExtra = false;
         f.schema.dateCreatedInItemExtra = false;
         Item s = item(1, "Song");
         s.dateAdded = 86400;
         f.items << s;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->dateCreated, QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
     }},
    {"dates since 2001; zero leaves them unset",
     [](MediaLibraryFixture& f) {
         Item s = item(1, "Song");
         s.dateCreated = 3600;
         s.datePlayed = 60;
         f.items << s << item(2, "New");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->dateCreated, QDateTime(QDate(2001, 1, 1), QTime(1, 0), Qt::UTC));
         EXPECT_EQ(r.track("1")->datePlayed, QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC));
         EXPECT_FALSE(r.track("2")->dateCreated.isValid());
         EXPECT_FALSE(r.track("2")->datePlayed.isValid());
     }},
    {"is_protected 2 is Apple Music, 1 is not; feed address for podcasts only",
     [](MediaLibraryFixture& f) {
         Item a = item(1, "AM");
         a.isProtected = 2;
         Item b = item(2, "Bought");
         b.isProtected = 1;
         Item p = item(3, "Ep", 4);
         p.feedURL = QStringLiteral("https://example.com/feed");
         Item s = item(4, "Song");
         s.feedURL = QStringLiteral("https://example.com/x");
         f.items << a << b << p << s;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->isAppleMusic, true);
         EXPECT_EQ(r.track("2")->isAppleMusic, std::nullopt);
         EXPECT_EQ(r.track("3")->podcastShowURL, QStringLiteral("https://example.com/feed"));
         EXPECT_TRUE(r.track("4")->podcastShowURL.isNull());
     }},
    {"no item_store table",
     [](MediaLibraryFixture& f) {
         f.schema.itemStore = false;
         Item a = item(1, "AM");
         a.isProtected = 2;
         f.items << a;
     },
     [](const ReadResult& r) { EXPECT_EQ(r.track("1")->isAppleMusic, std::nullopt); }},
    {"item_video rows only for videos: music is kept",
     [](MediaLibraryFixture& f) {
         Item v = item(1, "Episode", 64);
         v.videoRow = true;
         v.seasonNumber = 3;
         f.items << v << item(2, "Song");
     },
     [](const ReadResult& r) {
         ASSERT_TRUE(r.track("2"));
         EXPECT_EQ(r.track("1")->seasonNumber, 3);
         EXPECT_EQ(r.track("2")->seasonNumber, 0);
         EXPECT_TRUE(isYes(r.track("1")->isTVShow));
         EXPECT_TRUE(isYes(r.track("1")->hasVideo));
     }},
    {"no item_video table",
     [](MediaLibraryFixture& f) {
         f.schema.itemVideo = false;
         f.items << item(1, "Song");
     },
     [](const ReadResult& r) { EXPECT_EQ(r.track("1")->seasonNumber, 0); }},
    {"64-bit sizes, ids and durations",
     [](MediaLibraryFixture& f) {
         Item v = item(-8000000000LL, "Long film", 2);
         v.fileSize = 6000000000LL;
         v.durationMs = 3000000000LL;
         f.items << v;
     },
     [](const ReadResult& r) {
         ASSERT_TRUE(r.track("-8000000000"));
         EXPECT_EQ(r.track("-8000000000")->fileSize, 6000000000LL);
         EXPECT_EQ(r.track("-8000000000")->duration, 3000000000LL);
     }},
    {"path joining, iCloud, protection and video extensions",
     [](MediaLibraryFixture& f) {
         Item a = item(1, "Joined");
         Item b = item(2, "Cloud");
         b.location = QString();
         Item c = item(3, "Bare");
         c.basePath = QStringLiteral("");
         c.location = QStringLiteral("only.m4p");
         Item d = item(4, "Assets");
         d.basePath = QStringLiteral("x/CloudAssets");
         Item e = item(5, "Clip");
         e.location = QStringLiteral("clip.mov");
         f.items << a << b << c << d << e;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->path, QStringLiteral("iTunes_Control/Music/F00/F1.mp3"));
         EXPECT_EQ(r.track("1")->isICloudStreaming, std::nullopt);
         EXPECT_EQ(r.track("2")->path, QStringLiteral("iTunes_Control/Music/F00"));
         EXPECT_EQ(r.track("2")->isICloudStreaming, true);
         EXPECT_EQ(r.track("3")->path, QStringLiteral("only.m4p"));
         EXPECT_EQ(r.track("3")->trackProtection, 1);
         EXPECT_EQ(r.track("4")->isICloudStreaming, true);
         EXPECT_EQ(r.track("5")->hasVideo, true);
         EXPECT_EQ(r.track("1")->hasVideo, std::nullopt);
     }},
    {"media kind 0 keeps only id, kind and path",
     [](MediaLibraryFixture& f) {
         Item z = item(1, "Zero", 0);
         z.year = 1999;
         f.items << z;
     },
     [](const ReadResult& r) {
         const TrackDetail& t = *r.track("1");
         EXPECT_TRUE(t.trackName.isNull());
         EXPECT_EQ(t.year, std::nullopt);
         EXPECT_EQ(t.mediaKind, 0);
         EXPECT_EQ(t.path, QStringLiteral("iTunes_Control/Music/F00/F1.mp3"));
         EXPECT_EQ(t.isITunesU, std::nullopt);
     }},
    {"artist falls back to album artist and back",
     [](MediaLibraryFixture& f) {
         Item a = item(1, "A");
         a.artist = QString();
         a.albumArtist = QStringLiteral("Band");
         Item b = item(2, "B");
         b.albumArtist = QString();
         f.items << a << b;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->artist, QStringLiteral("Band"));
         EXPECT_EQ(r.track("2")->album_artist, QStringLiteral("Artist"));
     }},
    {"non-ASCII and hostile texts are kept as they are",
     [](MediaLibraryFixture& f) {
         Item a = item(1, "Ünïcødé 日本 \"'; DROP TABLE item; --");
         a.genre = QStringLiteral("(null)");
         f.items << a;
         f.containers << container(10, "Liste « spéciale » \"x\"", {1});
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.track("1")->trackName,
                   QString::fromUtf8("Ünïcødé 日本 \"'; DROP TABLE item; --"));
         EXPECT_TRUE(r.track("1")->genre.isNull());
         EXPECT_TRUE(r.playlist(QString::fromUtf8("Liste « spéciale » \"x\"")));
     }},
    {"playlists: device order rows, empty and unmatched ones removed, 20-byte blob gives two ids",
     [](MediaLibraryFixture& f) {
         f.items << item(1, "One") << item(2, "Two") << item(3, "Three");
         f.containers << container(10, "Ordered", {3, 1, 2, 1}) << container(11, "Nothing", {})
                      << container(12, "Unmatched", {99});
         Container blob = container(13, "Blob", {});
         blob.rawItemData = MediaLibraryFixture::packIDs({2, 3}) + QByteArray(4, '\x7f');
         f.containers << blob;
     },
     [](const ReadResult& r) {
         ASSERT_TRUE(r.playlist("Ordered"));
         EXPECT_FALSE(r.playlist("Nothing"));
         EXPECT_FALSE(r.playlist("Unmatched"));
         EXPECT_EQ(r.playlist("Ordered")->tracks().size(), 3);
         QStringList order;
         for (const auto& o : r.store->ordersForContainer("10"))
             order << o->persistentID;
         EXPECT_EQ(order, (QStringList{"3", "1", "2", "1"}));
         ASSERT_TRUE(r.playlist("Blob"));
         EXPECT_EQ(idsOf(r.playlist("Blob")->tracks()), (QStringList{"2", "3"}));
     }},
    {"container rules: primary, hidden, folder, ignored and video smart lists skipped",
     [](MediaLibraryFixture& f) {
         f.items << item(1, "One");
         f.primaryContainer = 1;
         Container master = container(1, "Library", {1});
         Container hidden = container(2, "Hidden", {1});
         hidden.hidden = true;
         Container folder = container(3, "Folder", {1});
         folder.folder = true;
         Container ignored = container(4, "Ignored", {1});
         ignored.ignoredSyncing = true;
         Container video = container(5, "Videos", {1});
         video.dynamic = true;
         video.containedMediaType = 4;
         Container music = container(6, "Smart music", {1});
         music.dynamic = true;
         music.containedMediaType = 1;
         music.playOrder = 7;
         Container genius = container(7, "Genius", {1});
         genius.genius = true;
         Container podcasts = container(8, "Podcasts list", {1});
         podcasts.distinguishedKind = 11;
         f.containers << master << hidden << folder << ignored << video << music << genius
                      << podcasts;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(
             namesOf(QList<PlaylistPtr>(r.store->playlists().begin(), r.store->playlists().end())),
             (QStringList{"Smart music", "Genius", "Podcasts list"}));
         EXPECT_EQ(r.playlist("Smart music")->doesSmartRequireSorting, true);
         EXPECT_EQ(r.playlist("Smart music")->playlistIconName, "cat_smart_playlist");
         EXPECT_TRUE(r.store->ordersForContainer("6").isEmpty());
         EXPECT_EQ(r.playlist("Genius")->playlistIconName, "cat_genius_selection");
         EXPECT_EQ(r.store->ordersForContainer("7").size(), 1);
         EXPECT_EQ(r.playlist("Podcasts list")->isLibraryType, true);
         EXPECT_EQ(r.playlist("Podcasts list")->sortName, "Podcast");
     }},
    {"smart list without a media-type column is skipped",
     [](MediaLibraryFixture& f) {
         f.schema.containedMediaType = false;
         f.schema.playOrder = false;
         f.items << item(1, "One");
         Container smart = container(5, "Smart", {1});
         smart.dynamic = true;
         f.containers << smart << container(6, "Plain", {1});
     },
     [](const ReadResult& r) {
         EXPECT_FALSE(r.playlist("Smart"));
         EXPECT_TRUE(r.playlist("Plain"));
     }},
    {"two playlists of one name are both kept",
     [](MediaLibraryFixture& f) {
         f.items << item(1, "One") << item(2, "Two");
         f.containers << container(10, "Mix", {1}) << container(11, "Mix", {2});
     },
     [](const ReadResult& r) { EXPECT_EQ(r.store->playlists().size(), 2u); }},
    {"playlist artwork with the artwork_token scheme",
     [](MediaLibraryFixture& f) {
         f.schema.artworkToken = true;
         f.items << item(1, "One");
         Container c = container(10, "Art", {1});
         c.artworkPath = QStringLiteral("pl.jpg");
         f.containers << c;
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.playlist("Art")->playlistImageRelativePath, "pl.jpg");
     }},
    {"no container tables: tracks without playlists",
     [](MediaLibraryFixture& f) {
         f.schema.containers = false;
         f.items << item(1, "One");
     },
     [](const ReadResult& r) {
         EXPECT_EQ(r.store->tracks().size(), 1u);
         EXPECT_TRUE(r.store->playlists().empty());
     }},
};

INSTANTIATE_TEST_SUITE_P(Variants, MediaLibrarySchemas, ::testing::ValuesIn(kSchemaCases));

TEST(MediaLibraryReader, SendsProgressPlaylistNamesAndOneCompletion)
{
    MediaLibraryFixture f;
    f.items << item(1, "One");
    f.containers << container(10, "First", {1}) << container(11, "Second", {1});
    auto r = readFixture(f);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->events.completions, QList<bool>{true});
    EXPECT_EQ(r->events.playlistNames, (QStringList{"First", "Second", ""}));
    EXPECT_EQ(r->events.progressLines.size(), 4);
}

TEST(MediaLibraryReader, CancelledBeforeTheRowsSavesAndSucceeds)
{
    MediaLibraryFixture f;
    f.items << item(1, "One");
    f.containers << container(10, "First", {1});
    auto r = readFixture(f, [](QELMediaLibraryReader& reader) { reader.cancel(); });
    EXPECT_TRUE(r->ok);
    EXPECT_TRUE(r->store->tracks().empty());
    EXPECT_EQ(r->events.completions, QList<bool>{true});
}

} // namespace

namespace {

TEST(MediaLibrarySQLiteDBLimits, ALibraryOverTheLimitIsTooLargeAndAHugeFieldIsCut)
{
    MediaLibraryFixture f;
    for (int i = 1; i <= 5; ++i)
        f.items << item(i, "Song");
    f.items[0].title = QString(200 * 1024, QLatin1Char('x'));
    auto limited = readFixture(f, [](QELMediaLibraryReader& r) {
        static_cast<QELMediaLibraryMediaLibrarySQLiteDBReader&>(r).setMaxTracks(4);
    });
    EXPECT_FALSE(limited->ok);
    EXPECT_EQ(limited->events.completions, QList<bool>{false});
    ASSERT_FALSE(limited->events.errors.isEmpty());
    EXPECT_TRUE(limited->events.errors.constLast().contains(QStringLiteral("too large")));

    auto read = readFixture(f);
    ASSERT_TRUE(read->ok);
    EXPECT_EQ(read->store->tracks().size(), 5u);
    const QString title = read->track(QStringLiteral("1"))->trackName;
    EXPECT_LE(title.size(), 64 * 1024 + 1);
    EXPECT_TRUE(title.endsWith(QChar(0x2026)));
}

} // namespace
