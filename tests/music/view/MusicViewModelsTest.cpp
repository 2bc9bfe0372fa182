// SPDX-License-Identifier: GPL-3.0-or-later
// The music view's models and rules, headless: the source list's headings,
// the track table's roles, the status icon, the count line and the list the
// preview player gets.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QIcon>

#include "MusicViewModels.h"

using namespace MusicView;

namespace {

TrackDetailPtr track(const QString& id, const QString& artist = QStringLiteral("A"),
                     const QString& album = QStringLiteral("B"), std::optional<qint64> disc = {},
                     std::optional<qint64> number = {})
{
    auto t = std::make_shared<TrackDetail>();
    t->persistentID = id;
    t->trackName = QStringLiteral("Song ") + id;
    t->artist = artist;
    t->album = album;
    t->discNumber = disc;
    t->trackNumber = number;
    return t;
}

TrackDetailPtr iCloudTrack(const QString& id)
{
    TrackDetailPtr t = track(id);
    t->isICloudStreaming = true;
    return t;
}

PlaylistPtr playlist(const QString& name,
                     QList<TrackDetailPtr> tracks = {track(QStringLiteral("1"))})
{
    auto p = std::make_shared<Playlist>();
    p->name = name;
    p->setTracks(tracks);
    return p;
}

QStringList names(const QList<PlaylistPtr>& playlists)
{
    QStringList out;
    for (const PlaylistPtr& p : playlists)
        out << p->name;
    return out;
}

} // namespace

TEST(MusicSourceList, HeadingsFollowTheMixOfPlaylists)
{
    PlaylistPtr music = playlist(QStringLiteral("Music"));
    music->isLibraryType = true;
    PlaylistPtr road = playlist(QStringLiteral("Road"));
    PlaylistPtr genius = playlist(QStringLiteral("Genius Mix"));
    genius->smartIsGenius = true;
    PlaylistPtr oldReport = playlist(QStringLiteral("Old report"));
    oldReport->isReportType = true;
    const PlaylistPtr report = playlist(QStringLiteral("Copied"), {});

    struct Case {
        const char* name;
        QList<PlaylistPtr> playlists;
        QStringList headings;
    };
    const Case cases[] = {
        {"library only", {music}, {kLibrary, kReports}},
        {"nothing at all", {}, {kLibrary, kReports}},
        {"with playlists", {music, road}, {kLibrary, kReports, kPlaylists}},
        {"with genius", {music, genius}, {kLibrary, kReports, kGenius}},
        {"with both", {genius, road, music}, {kLibrary, kReports, kPlaylists, kGenius}},
        {"an earlier report list is not a playlist", {music, oldReport}, {kLibrary, kReports}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SourceGroups groups = groupPlaylists(c.playlists, true, {report});
        EXPECT_EQ(groups.headings, c.headings);
        EXPECT_EQ(names(groups.children.value(kReports)), QStringList{"Copied"});
        EXPECT_FALSE(groups.children.value(kPlaylists).contains(oldReport));
    }
    const SourceGroups groups = groupPlaylists({genius, road, music}, true, {});
    EXPECT_EQ(names(groups.children.value(kLibrary)), QStringList{"Music"});
    EXPECT_EQ(names(groups.children.value(kPlaylists)), QStringList{"Road"});
    EXPECT_EQ(names(groups.children.value(kGenius)), QStringList{"Genius Mix"});
}

TEST(MusicSourceList, APlaylistWithoutALocalTrackShowsOnlyWithICloudItems)
{
    PlaylistPtr cloudOnly = playlist(QStringLiteral("Cloud"), {iCloudTrack(QStringLiteral("7"))});
    PlaylistPtr mixed = playlist(QStringLiteral("Mixed"),
                                 {iCloudTrack(QStringLiteral("8")), track(QStringLiteral("9"))});
    PlaylistPtr empty = playlist(QStringLiteral("Empty"), {});
    EXPECT_EQ(
        names(groupPlaylists({cloudOnly, mixed, empty}, false, {}).children.value(kPlaylists)),
        QStringList{"Mixed"});
    EXPECT_EQ(names(groupPlaylists({cloudOnly, mixed, empty}, true, {}).children.value(kPlaylists)),
              (QStringList{"Cloud", "Mixed", "Empty"}));
}

TEST(MusicSourceList, TheTreeModelIsSoundAndKnowsHeadingsFromPlaylists)
{
    SourceListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    PlaylistPtr music = playlist(QStringLiteral("Music"));
    music->isLibraryType = true;
    PlaylistPtr road = playlist(QStringLiteral("Road"));
    model.setGroups(groupPlaylists({music, road}, true, {playlist(QStringLiteral("Copied"))}));
    ASSERT_EQ(model.rowCount(), 3);
    const QModelIndex library = model.index(0, 0);
    EXPECT_TRUE(model.isHeading(library));
    EXPECT_EQ(model.headingKey(library), kLibrary);
    // Headings show upper case.
    EXPECT_EQ(library.data().toString(), library.data().toString().toUpper());
    const QModelIndex first = model.index(0, 0, library);
    EXPECT_FALSE(model.isHeading(first));
    EXPECT_EQ(model.playlistAt(first), music);
    EXPECT_EQ(first.data().toString(), QStringLiteral("Music"));
    EXPECT_EQ(model.indexOf(road.get()), model.index(0, 0, model.index(2, 0)));
    EXPECT_EQ(model.playlistAt(library), nullptr);
    model.setGroups({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(MusicTrackTable, RolesShowTheStylingAndSortByRawValues)
{
    TrackTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TrackDetailPtr local = track(QStringLiteral("1"));
    local->playCount = 0;
    local->bitRate = 256;
    local->userRating = 60;
    local->duration = 185000;
    local->datePlayed = QDateTime(QDate(2024, 3, 5), QTime(14, 7), Qt::UTC);
    TrackDetailPtr remote = iCloudTrack(QStringLiteral("2"));
    remote->playCount = 3;
    remote->bitRate = 0;
    remote->userRating = 50;
    remote->genre = QStringLiteral("(null)");
    model.setTracks({local, remote});
    ASSERT_EQ(model.rowCount(), 2);
    auto at = [&](int row, int column, int role = Qt::DisplayRole) {
        return model.index(row, column).data(role);
    };
    EXPECT_EQ(at(0, TrackTableModel::PlayCountColumn).toString(), QString());
    EXPECT_EQ(at(1, TrackTableModel::PlayCountColumn).toString(), QStringLiteral("3"));
    EXPECT_EQ(at(0, TrackTableModel::BitRateColumn).toString(), QStringLiteral("256 kbps"));
    EXPECT_EQ(at(1, TrackTableModel::BitRateColumn).toString(), QString());
    EXPECT_EQ(at(1, TrackTableModel::GenreColumn).toString(), QString());
    EXPECT_EQ(at(0, TrackTableModel::TimeColumn).toString(), QStringLiteral("3:05"));
    EXPECT_EQ(at(0, TrackTableModel::DatePlayedColumn).toString(),
              local->datePlayed.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    EXPECT_EQ(at(0, TrackTableModel::DatePlayedColumn, TrackTableModel::SortRole).toDateTime(),
              local->datePlayed);
    EXPECT_EQ(at(0, TrackTableModel::BitRateColumn, TrackTableModel::SortRole).toLongLong(), 256);
    // Ratings show stars, never their number; 50 is no step of the scale.
    EXPECT_EQ(at(0, TrackTableModel::RatingColumn).toString(), QString());
    EXPECT_FALSE(at(0, TrackTableModel::RatingColumn, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(at(1, TrackTableModel::RatingColumn, Qt::DecorationRole).isValid());
    // A track not on the device shows grey; a local one keeps the palette's colour.
    EXPECT_FALSE(at(0, TrackTableModel::NameColumn, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(
        at(1, TrackTableModel::NameColumn, Qt::ForegroundRole).value<QBrush>().color().isValid());
    // The iCloud mark is there without any history or index.
    EXPECT_FALSE(at(1, TrackTableModel::StatusColumn, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(at(0, TrackTableModel::StatusColumn, Qt::DecorationRole).isValid());

    model.setHistoryAnswer(
        [](const QString& id) -> qint64 { return id == QLatin1String("1") ? 2 : 0; });
    EXPECT_EQ(at(0, TrackTableModel::StatusColumn, TrackTableModel::SortRole).toInt(),
              int(StatusIcon::Copied));
    model.setPlayingID(QStringLiteral("1"));
    EXPECT_EQ(at(0, TrackTableModel::StatusColumn, TrackTableModel::SortRole).toInt(),
              int(StatusIcon::Playing));

    model.sortByColumn(TrackTableModel::PlayCountColumn, Qt::DescendingOrder);
    EXPECT_EQ(model.trackAt(0), remote);
    EXPECT_EQ(TrackTableModel::columnIdentifier(TrackTableModel::StatusColumn),
              QStringLiteral("dynamicStatusColumn"));
    EXPECT_EQ(TrackTableModel::columnIdentifier(TrackTableModel::RatingColumn),
              QStringLiteral("ratingsColumn"));
}

TEST(MusicTrackTable, TheIndexIsAskedOnlyWhenItsAnswerCanShow)
{
    TrackTableModel model;
    model.setTracks({track(QStringLiteral("1")), track(QStringLiteral("2"))});
    int asked = 0;
    model.setHistoryAnswer(
        [](const QString& id) -> qint64 { return id == QLatin1String("1") ? 1 : 0; });
    model.setIndexAnswer([&asked](const TrackDetail&) {
        ++asked;
        return 1;
    });
    EXPECT_EQ(model.index(0, 0).data(TrackTableModel::SortRole).toInt(),
              int(StatusIcon::CopyFailed));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(model.index(1, 0).data(TrackTableModel::SortRole).toInt(),
              int(StatusIcon::InLibrary));
    EXPECT_EQ(asked, 1);
}

TEST(MusicBrowseList, TheListModelIsSound)
{
    BrowseListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setValues(
        {QStringLiteral("All (2 genres)"), QStringLiteral("Jazz"), QStringLiteral("Rock")});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(1).data().toString(), QStringLiteral("Jazz"));
    model.setValues({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(MusicStatusIcon, FirstMatchWinsAndCloudMarksComeLast)
{
    TrackDetail local = *track(QStringLiteral("5"));
    TrackDetail cloud = *iCloudTrack(QStringLiteral("6"));
    TrackDetail appleMusic = *track(QStringLiteral("7"));
    appleMusic.isAppleMusic = true;
    TrackDetail both = cloud;
    both.isAppleMusic = true;
    struct Case {
        const char* name;
        const TrackDetail* track;
        QString playing;
        qint64 history;
        int index;
        StatusIcon expected;
    };
    const Case cases[] = {
        {"nothing known", &local, {}, 0, 0, StatusIcon::None},
        {"playing beats copied", &local, QStringLiteral("5"), 2, 1, StatusIcon::Playing},
        {"another track plays", &local, QStringLiteral("9"), 2, 0, StatusIcon::Copied},
        {"copied beats the index", &local, {}, 2, 1, StatusIcon::Copied},
        {"failed", &local, {}, 1, 1, StatusIcon::CopyFailed},
        {"in the library", &local, {}, 0, 1, StatusIcon::InLibrary},
        {"in the library remotely", &local, {}, 0, 2, StatusIcon::InLibraryRemotely},
        {"an unknown index answer", &local, {}, 0, 7, StatusIcon::None},
        {"an unknown history code", &local, {}, 5, 0, StatusIcon::None},
        {"iCloud over the index", &cloud, {}, 0, 1, StatusIcon::ICloud},
        {"Apple Music", &appleMusic, {}, 0, 0, StatusIcon::AppleMusic},
        {"Apple Music over iCloud", &both, {}, 0, 2, StatusIcon::AppleMusic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(statusIcon(*c.track, c.playing, c.history, c.index), c.expected);
    }
    EXPECT_TRUE(statusIconResource(StatusIcon::None).isEmpty());
    for (StatusIcon icon :
         {StatusIcon::Playing, StatusIcon::Copied, StatusIcon::CopyFailed, StatusIcon::InLibrary,
          StatusIcon::InLibraryRemotely, StatusIcon::ICloud, StatusIcon::AppleMusic})
        EXPECT_FALSE(QIcon(statusIconResource(icon)).pixmap(16, 16).isNull());
}

TEST(MusicCountLine, SingularOnlyForOneTrack)
{
    struct Case {
        qsizetype listed;
        qsizetype selected;
        QString text;
    };
    const Case cases[] = {
        {0, 0, QStringLiteral("0 tracks")},
        {1, 0, QStringLiteral("1 track")},
        {2, 0, QStringLiteral("2 tracks")},
        {50000, 3, QStringLiteral("50000 tracks, 3 selected")},
        {1, 1, QStringLiteral("1 track, 1 selected")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trackCountText(c.listed, c.selected), c.text);
}

TEST(MusicPlayback, TheListRunsFromTheSelectionAndHoldsOnlyLocalTracks)
{
    const QList<TrackDetailPtr> listed = {track(QStringLiteral("1")),
                                          iCloudTrack(QStringLiteral("2")),
                                          track(QStringLiteral("3")), track(QStringLiteral("4"))};
    auto ids = [](const QList<TrackDetailPtr>& tracks) {
        QStringList out;
        for (const TrackDetailPtr& t : tracks)
            out << t->persistentID;
        return out;
    };
    EXPECT_EQ(ids(playbackList(listed, {})), (QStringList{"1", "3", "4"}));
    EXPECT_EQ(ids(playbackList(listed, {1})), (QStringList{"3", "4"}));
    EXPECT_EQ(ids(playbackList(listed, {3, 0})), (QStringList{"1", "4"}));
    EXPECT_EQ(ids(playbackList(listed, {1, 42})), (QStringList{"3", "4"}));
    EXPECT_TRUE(playbackList({}, {0}).isEmpty());
}

TEST(MusicDefaultOrder, ArtistAlbumDiscAndTrackIgnoringCase)
{
    QList<TrackDetailPtr> tracks = {
        track(QStringLiteral("a"), QStringLiteral("beta"), QStringLiteral("X"), 1, 2),
        track(QStringLiteral("b"), QStringLiteral("Alpha"), QStringLiteral("y"), 2, 1),
        track(QStringLiteral("c"), QStringLiteral("alpha"), QStringLiteral("Y"), 1, 3),
        track(QStringLiteral("d"), QStringLiteral("alpha"), QStringLiteral("x"), {}, {}),
        track(QStringLiteral("e"), QStringLiteral("Beta"), QStringLiteral("x"), 1, 1),
    };
    sortByDefaultOrder(tracks);
    QStringList order;
    for (const TrackDetailPtr& t : tracks)
        order << t->persistentID;
    EXPECT_EQ(order, (QStringList{"d", "c", "b", "e", "a"}));
}
