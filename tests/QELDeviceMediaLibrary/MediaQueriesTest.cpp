// SPDX-License-Identifier: GPL-3.0-or-later
// The browse, search and look-up queries over a library read from a
// MediaLibrary.sqlitedb built for the purpose.
#include <functional>

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "MediaLibraryFixture.h"
#include "MediaTestSupport.h"
#include "QELDeviceMediaLibrary.h"

namespace {

const QString kBigID = QStringLiteral("9223372036854775807");

MediaLibraryFixture queryLibrary()
{
    MediaLibraryFixture f;
    using Item = MediaLibraryFixture::Item;
    auto song = [](qint64 pid, const char* title, const char* artist, const char* album,
                   const char* genre) {
        Item it;
        it.pid = pid;
        it.title = QString::fromUtf8(title);
        it.artist = QString::fromUtf8(artist);
        it.album = QString::fromUtf8(album);
        it.genre = QString::fromUtf8(genre);
        it.location = QStringLiteral("T%1.mp3").arg(pid);
        return it;
    };
    f.items << song(1001, "Halo", "Beyoncé", "I Am", "Pop")
            << song(1002, "Single Ladies", "Beyoncé", "I Am", "Pop");
    Item yellow = song(1003, "Yellow", "Coldplay", "Parachutes", "Rock");
    yellow.albumArtist = QStringLiteral("Coldplay");
    f.items << yellow;
    Item streamed = song(1004, "Streamed", "Cloud Band", "Sky", "Ambient");
    streamed.location = QString();
    f.items << streamed;
    Item episode = song(1005, "Episode 1", "Host", "Show", "Podcast");
    episode.mediaKind = 4;
    f.items << episode;
    Item movie = song(1006, "Movie", "Studio", "Film", "Drama");
    movie.mediaKind = 2;
    movie.location = QStringLiteral("M.m4v");
    movie.videoRow = true;
    movie.fileSize = Q_INT64_C(5368709120);
    f.items << movie;
    Item compilation = song(1007, "Compilation track", "Various Guy", "Hits", "(null)");
    compilation.albumArtist = QStringLiteral("");
    f.items << compilation;
    Item blank;
    blank.pid = 1008;
    blank.location = QStringLiteral("blank.mp3");
    f.items << blank;
    Item big = song(std::numeric_limits<qint64>::max(), "Big", "Ørjan", "Ålbum", "Folk");
    f.items << big;
    Item albumOnly = song(-5, "Negative", "", "X", "Pop");
    albumOnly.albumArtist = QStringLiteral("Album Only");
    f.items << albumOnly;

    using Container = MediaLibraryFixture::Container;
    auto list = [](qint64 pid, const char* name, QList<qint64> items) {
        Container c;
        c.pid = pid;
        c.name = QString::fromUtf8(name);
        c.items = items;
        return c;
    };
    Container master = list(500, "Library", {1001, 1002, 1003});
    Container roadTrip = list(501, "Road Trip", {1003, 1001, 1003, 1002});
    Container genius = list(502, "Genius Mix", {1001});
    genius.genius = true;
    Container smart = list(503, "Smart", {1002});
    smart.dynamic = true;
    smart.containedMediaType = 1;
    Container purchased = list(508, "Purchased", {1001});
    purchased.distinguishedKind = 20;
    Container roadTrip2 = list(509, "Road Trip", {1007});
    f.containers << master << roadTrip << genius << smart << purchased << roadTrip2;
    f.primaryContainer = 500;
    return f;
}

class MediaQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir();
        QString error;
        ASSERT_TRUE(
            queryLibrary().write(s_dir->filePath(QStringLiteral("MediaLibrary.sqlitedb")), &error))
            << error.toStdString();
        s_library = new QELDeviceMediaLibrary(s_dir->path());
        ASSERT_TRUE(s_library->readMediaLibrary());
    }
    static void TearDownTestSuite()
    {
        delete s_library;
        delete s_dir;
    }

    static PlaylistPtr playlist(const QString& name, int which = 0)
    {
        int seen = 0;
        for (const PlaylistPtr& p : s_library->playlists()) {
            if (p->name == name && seen++ == which)
                return p;
        }
        return nullptr;
    }

    static QTemporaryDir* s_dir;
    static QELDeviceMediaLibrary* s_library;
};

QTemporaryDir* MediaQueries::s_dir = nullptr;
QELDeviceMediaLibrary* MediaQueries::s_library = nullptr;

struct QueryCase {
    const char* what;
    std::function<QStringList(QELDeviceMediaLibrary&,
                              const std::function<PlaylistPtr(const char*)>&)>
        run;
    QStringList expected;
};

using L = QList<PlaylistPtr>;
using S = QStringList;

TEST_F(MediaQueries, AnswerTheTableOfCases)
{
    const std::vector<QueryCase> cases = {
        {"visible playlists: kinds by sortName, Genius, smart, then by name; master, hidden and "
         "empty ones absent",
         [](QELDeviceMediaLibrary& m, auto) { return namesOf(m.playlists()); },
         {"Music", "All Videos", "Movies", "Podcasts", "Purchased", "Genius Mix", "Smart",
          "Road Trip", "Road Trip"}},
        {"genres of a playlist",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.genresInPlaylistsWithCriteriaIncludingICloudItems(L{p("Road Trip")},
                                                                        QString(), true);
         },
         {"All (2 genres)", "Pop", "Rock"}},
        {"genres without iCloud items, \"(null)\" left out",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.genresInPlaylistsWithCriteriaIncludingICloudItems(L{p("Music")}, QString(),
                                                                        false);
         },
         {"All (3 genres)", "Folk", "Pop", "Rock"}},
        {"genres with iCloud items",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.genresInPlaylistsWithCriteriaIncludingICloudItems(L{p("Music")}, QString(),
                                                                        true);
         },
         {"All (4 genres)", "Ambient", "Folk", "Pop", "Rock"}},
        {"one genre",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.genresInPlaylistsWithCriteriaIncludingICloudItems(L{p("Movies")}, QString(),
                                                                        true);
         },
         {"All (1 genre)", "Drama"}},
        {"no playlists: only the heading",
         [](QELDeviceMediaLibrary& m, auto) {
             return m.genresInPlaylistsWithCriteriaIncludingICloudItems(L{}, QString(), true);
         },
         {"All (0 genres)"}},
        {"listing artists: album artist first, empty artist not listed, code-point order",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.artistsInPlaylistsWithGenresWithCriteriaIncludingICloudItems(
                 L{p("Music")}, std::nullopt, QString(), true);
         },
         {"All (5 artists)", "Beyoncé", "Cloud Band", "Coldplay", "Various Guy", "Ørjan"}},
        {"artists of a genre",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.artistsInPlaylistsWithGenresWithCriteriaIncludingICloudItems(
                 L{p("Music")}, S{"Pop"}, QString(), true);
         },
         {"All (1 artist)", "Beyoncé"}},
        {"albums of a listing artist",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
                 L{p("Music")}, std::nullopt, S{"Beyoncé"}, QString(), true);
         },
         {"All (1 album)", "I Am"}},
        {"albums of the album-only artist",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
                 L{p("Music")}, std::nullopt, S{"Album Only"}, QString(), true);
         },
         {"All (1 album)", "X"}},
        {"an empty genre list matches nothing",
         [](QELDeviceMediaLibrary& m, auto p) {
             return m.albumsInPlaylistsWithGenresAndArtistsWithCriteriaIncludingICloudItems(
                 L{p("Music")}, S{}, std::nullopt, QString(), true);
         },
         {"All (0 albums)"}},
        {"search ignores case and diacritics",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Music")}, std::nullopt, std::nullopt, std::nullopt,
                     QStringLiteral("BEYONCE"), true));
         },
         {"1001", "1002"}},
        {"search finds a decomposed letter in an album",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Music")}, std::nullopt, std::nullopt, std::nullopt,
                     QStringLiteral("album"), true));
         },
         {kBigID}},
        {"device order with repeats",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Road Trip")}, std::nullopt, std::nullopt, std::nullopt, QString(), true));
         },
         {"1003", "1001", "1003", "1002"}},
        {"an empty search keeps device order",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Road Trip")}, std::nullopt, std::nullopt, std::nullopt,
                     QStringLiteral(""), true));
         },
         {"1003", "1001", "1003", "1002"}},
        {"a search gives the playlist's matches once each",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Road Trip")}, std::nullopt, std::nullopt, std::nullopt,
                     QStringLiteral("l"), true));
         },
         {"1001", "1002", "1003"}},
        {"a genre filter keeps device order and repeats",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Road Trip")}, S{"Rock"}, std::nullopt, std::nullopt, QString(), true));
         },
         {"1003", "1003"}},
        {"iCloud items left out; blank tracks are in kind playlists",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Music")}, std::nullopt, std::nullopt, std::nullopt, QString(), false));
         },
         {"-5", "1001", "1002", "1003", "1007", "1008", kBigID}},
        {"two playlists: contributions joined in order",
         [](QELDeviceMediaLibrary& m, auto p) {
             return idsOf(
                 m.trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                     L{p("Purchased"), p("Road Trip")}, std::nullopt, std::nullopt, std::nullopt,
                     QString(), true));
         },
         {"1001", "1003", "1001", "1003", "1002"}},
        {"look-up by persistent ids: an untitled file is there under its file name",
         [](QELDeviceMediaLibrary& m, auto) {
             return idsOf(m.trackDetailsForPersistentIDs(S{"1003", kBigID, "1008", "777"}));
         },
         {"1003", "1008", kBigID}},
        {"look-up of missing ids",
         [](QELDeviceMediaLibrary& m, auto) {
             return idsOf(m.trackDetailsForMissingPersistentIDs(
                 S{"1001", "1002", "1004", "1005", "1006", "1007", kBigID, "-5"}));
         },
         {"1003", "1008"}},
        {"no id list: nothing",
         [](QELDeviceMediaLibrary& m, auto) {
             return idsOf(m.trackDetailsForPersistentIDs(std::nullopt))
                 + idsOf(m.trackDetailsForMissingPersistentIDs(std::nullopt));
         },
         {}},
    };
    auto lookup = [](const char* name) { return playlist(QString::fromUtf8(name)); };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.run(*s_library, lookup), c.expected);
    }
}

TEST_F(MediaQueries, TrackQueryWithoutPlaylistsTakesEveryVisiblePlaylist)
{
    qsizetype expected = 0;
    for (const PlaylistPtr& p : s_library->playlists())
        expected +=
            s_library
                ->trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                    L{p}, std::nullopt, std::nullopt, std::nullopt, QString(), true)
                .size();
    EXPECT_EQ(
        s_library
            ->trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                std::nullopt, std::nullopt, std::nullopt, std::nullopt, QString(), true)
            .size(),
        expected);
}

TEST_F(MediaQueries, AllTracksKeepUntitledFilesAndLibraryIsNotEmpty)
{
    const QStringList ids = idsOf(s_library->getAllTracks());
    EXPECT_TRUE(ids.contains(QStringLiteral("1008")));
    EXPECT_EQ(s_library->trackDetailForPersistentID(QStringLiteral("1008"))->trackName,
              QStringLiteral("blank"));
    EXPECT_EQ(ids.size(), 10);
    EXPECT_FALSE(s_library->isMediaLibraryEmpty(false));
    // Sizes of videos pass 2 GiB.
    EXPECT_EQ(s_library->trackDetailForPersistentID(QStringLiteral("1006"))->fileSize,
              Q_INT64_C(5368709120));
}

TEST_F(MediaQueries, UserPlaylistIsNeverDeviceOrderedAndComesAfterKinds)
{
    QELDeviceMediaLibrary library(s_dir->path());
    ASSERT_TRUE(library.readMediaLibrary());
    const PlaylistPtr mine = library.CreateNewUserDefinedPlaylistWithName(QStringLiteral("Mine"));
    ASSERT_TRUE(mine);
    EXPECT_FALSE(QELDeviceMediaLibrary::isPlaylistsToBeSorted(*mine));
    EXPECT_TRUE(namesOf(library.playlists()).contains(QStringLiteral("Mine")));
    EXPECT_TRUE(mine->tracks().isEmpty());
}

TEST(MediaQueriesEdge, LibraryOfOnlyICloudTracksIsEmptyWithoutICloud)
{
    QTemporaryDir dir;
    MediaLibraryFixture f;
    MediaLibraryFixture::Item it;
    it.pid = 1;
    it.title = QStringLiteral("Cloud");
    f.items << it;
    ASSERT_TRUE(f.write(dir.filePath(QStringLiteral("MediaLibrary.sqlitedb"))));
    QELDeviceMediaLibrary library(dir.path());
    ASSERT_TRUE(library.readMediaLibrary());
    EXPECT_TRUE(library.isMediaLibraryEmpty(false));
    EXPECT_FALSE(library.isMediaLibraryEmpty(true));
}

TEST(MediaQueriesEdge, QueriesWithoutALibraryAnswerEmpty)
{
    QELDeviceMediaLibrary library(QStringLiteral("/nonexistent/folder"));
    EXPECT_FALSE(library.readMediaLibrary());
    EXPECT_TRUE(library.getAllTracks().isEmpty());
    EXPECT_TRUE(library.playlists().isEmpty());
    EXPECT_EQ(library.genresInPlaylistsWithCriteriaIncludingICloudItems({}, QString(), true),
              QStringList{QStringLiteral("All (0 genres)")});
    EXPECT_TRUE(library.trackDetailsForPersistentIDs(QStringList{QStringLiteral("1")}).isEmpty());
    EXPECT_EQ(library.CreateNewUserDefinedPlaylistWithName(QStringLiteral("x")), nullptr);
}

} // namespace
