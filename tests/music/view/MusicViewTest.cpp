// SPDX-License-Identifier: GPL-3.0-or-later
// The music view over a simulated device and a media database written by
// the fixture: browsing, the requests with recording jobs, the copy
// history's report lists, the NOTINITUNES report and the artwork sources.
#include <functional>
#include <mutex>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>

#include "AudioFixture.h"
#include "FolderMediaLibraryHost.h"
#include "ImageList.h"
#include "MediaLibraryFixture.h"
#include "MusicArtwork.h"
#include "MusicNotInLibraryReport.h"
#include "MusicTestDevice.h"
#include "MusicViewModels.h"
#include "Plist.h"
#include "QELArtworkITunesPurchases.h"
#include "QELCopyHistory.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELCopyMusic.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELDeviceMediaLibrary.h"
#include "QELITunesLibrary.h"
#include "QELImageStore.h"
#include "QELMusicView.h"
#include "QELPreferences.h"
#include "QELTransferMusic.h"
#include "ThreadCheck.h"
#include "WaitUntil.h"

namespace {

class RecordingCopyMusic : public QELCopyMusic {
public:
    void startCopy() override
    {
        QStringList ids;
        for (const QVariant& item : itemQueue())
            ids << item.value<TrackDetailPtr>()->persistentID;
        runs << ids;
        names << playlistName();
        folders << baseCopyPath();
    }
    QList<QStringList> runs;
    QStringList names;
    QStringList folders;
};

class RecordingTransferMusic : public QELTransferMusic {
public:
    void startCopy() override
    {
        QStringList items;
        for (const QVariant& item : itemQueue()) {
            const auto detail = item.value<QELTransferMusicItemDetail>();
            items << detail.trackDetail.lock()->persistentID + QLatin1Char('@')
                    + detail.playlistName;
        }
        runs << items;
    }
    QList<QStringList> runs;
};

class RecordingViewDelegate : public QELDeviceCategoryContentViewDelegate {
public:
    void OnProgressEventCurrentValueMaximumValue(const QString& text, double, double) override
    {
        events << QStringLiteral("progress ") + text;
    }
    void OnInformationStatusEventBottomLine(const QString& top, const QString&) override
    {
        events << QStringLiteral("status ") + top;
    }
    void OnMediaViewChanged() override { ++viewChanges; }
    void OnMediaSelectionPlayRequested() override { events << QStringLiteral("play"); }
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        events
            << QStringLiteral("copy %1 %2 %3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int type) override
    {
        events << QStringLiteral("done %1").arg(type);
    }
    QStringList events;
    int viewChanges = 0;
};

// Items 100..105: two albums of one band and an iCloud-only track; "Road"
// keeps the device's order, which is not the sorted one.
MediaLibraryFixture libraryFixture()
{
    MediaLibraryFixture fixture;
    fixture.primaryContainer = 900;
    struct Entry {
        qint64 pid;
        const char* title;
        const char* artist;
        const char* album;
        const char* genre;
        int number;
        bool cloud;
    };
    const Entry entries[] = {
        {100, "Paper Boats", "Harbour", "Low Tide", "Indie", 1, false},
        {101, "Lantern Street", "Harbour", "Low Tide", "Indie", 2, false},
        {102, "Blue Hour", "Mira", "Blue Hours", "Jazz", 1, false},
        {103, "Late Tram", "Mira", "Blue Hours", "Jazz", 2, false},
        {104, "Signal Fire", "Northern", "Signals", "Electronic", 1, false},
        {105, "Cloud Song", "Northern", "Signals", "Electronic", 2, true},
    };
    QList<qint64> all;
    for (const Entry& e : entries) {
        MediaLibraryFixture::Item item;
        item.pid = e.pid;
        item.title = QString::fromUtf8(e.title);
        item.artist = QString::fromUtf8(e.artist);
        item.album = QString::fromUtf8(e.album);
        item.genre = QString::fromUtf8(e.genre);
        item.trackNumber = e.number;
        item.location = e.cloud ? QString() : QStringLiteral("T%1.mp3").arg(e.pid);
        fixture.items << item;
        all << e.pid;
    }
    MediaLibraryFixture::Container library;
    library.pid = 900;
    library.name = QStringLiteral("Library");
    library.items = all;
    MediaLibraryFixture::Container road;
    road.pid = 901;
    road.name = QStringLiteral("Road");
    road.items = {104, 100, 102};
    MediaLibraryFixture::Container genius;
    genius.pid = 902;
    genius.name = QStringLiteral("Genius Picks");
    genius.items = {101};
    genius.genius = true;
    fixture.containers = {library, road, genius};
    return fixture;
}

QStringList idsOf(const QList<TrackDetailPtr>& tracks)
{
    QStringList ids;
    for (const TrackDetailPtr& t : tracks)
        ids << t->persistentID;
    std::sort(ids.begin(), ids.end());
    return ids;
}

QStringList orderOf(const QList<TrackDetailPtr>& tracks)
{
    QStringList ids;
    for (const TrackDetailPtr& t : tracks)
        ids << t->persistentID;
    return ids;
}

class MusicViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_device.connect());
        const QString folder = m_device.scratch(QStringLiteral("media"));
        QString error;
        ASSERT_TRUE(
            libraryFixture().write(folder + QStringLiteral("/MediaLibrary.sqlitedb"), &error))
            << error.toStdString();
        m_library = std::make_shared<QELDeviceMediaLibrary>(folder);
        ASSERT_TRUE(m_library->readMediaLibrary());
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
        settings.setValue(QELPreferences::kCopyToMacSaveFolder,
                          m_device.scratch(QStringLiteral("copies")));
        QELPreferences::setShowSetCopyLocationBeforeCopy(false);
    }

    // A view given the libraries as the content page gives them.
    std::unique_ptr<QELMusicView> makeView(
        std::shared_ptr<QELITunesLibrary> index = nullptr,
        std::shared_ptr<QELDeviceImageLibraryReader> artwork = nullptr)
    {
        auto view = std::make_unique<QELMusicView>(QRect(0, 0, 1000, 640));
        view->setCopyJobFactory([this] {
            auto job = std::make_unique<RecordingCopyMusic>();
            m_copy = job.get();
            return job;
        });
        view->setTransferJobFactory([this] {
            auto job = std::make_unique<RecordingTransferMusic>();
            m_transfer = job.get();
            return job;
        });
        view->setDeviceInterface(&m_device.device());
        view->setLibraries(m_library, std::move(index), std::move(artwork));
        view->setDelegate(&m_delegate);
        view->QWidget::resize(1000, 640);
        return view;
    }

    // Waits until the view has answered every request made so far.
    static bool settled(QELMusicView& view)
    {
        return waitUntil([&] { return !view.isBusy(); });
    }

    // The same, with the answers the last workers sent applied.
    static bool settledAndApplied(QELMusicView& view)
    {
        const bool done = settled(view);
        QCoreApplication::processEvents();
        return done;
    }

    // A shown view with its artwork panel, where track 102 has a blue cover
    // on the device; null when it does not come up so.
    std::unique_ptr<QELMusicView> shownViewWithABlueCoverFor102();

    static bool select(QELMusicView& view, const QStringList& names)
    {
        return view.selectPlaylistsNamed(names) && settled(view);
    }

    MusicTestDevice m_device;
    std::shared_ptr<QELDeviceMediaLibrary> m_library;
    RecordingViewDelegate m_delegate;
    RecordingCopyMusic* m_copy = nullptr;
    RecordingTransferMusic* m_transfer = nullptr;
};

} // namespace

TEST_F(MusicViewTest, AttachingListsTheLibraryUnderItsHeadingsWithTheFirstPlaylistSelected)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    EXPECT_FALSE(view->isShowingNoMusicPage());
    EXPECT_EQ(view->sourceListModel()->groups().headings,
              (QStringList{MusicView::kLibrary, MusicView::kReports, MusicView::kPlaylists,
                           MusicView::kGenius}));
    ASSERT_FALSE(view->selectedPlaylists().isEmpty());
    EXPECT_TRUE(isYes(view->selectedPlaylists().constFirst()->isLibraryType));
    // iCloud items show by default; all six tracks, sorted by artist, album, number.
    EXPECT_EQ(orderOf(view->trackDetails()),
              (QStringList{"100", "101", "102", "103", "104", "105"}));
    EXPECT_EQ(view->genres().value(0), QStringLiteral("All (3 genres)"));
    EXPECT_EQ(view->trackCountText(), QStringLiteral("6 tracks"));
    EXPECT_EQ(view->sourceListModel()->groups().children.value(MusicView::kReports).size(), 3);
    EXPECT_GT(m_delegate.viewChanges, 0);
    // The history was found (empty) on the device.
    EXPECT_NE(view->history(), nullptr);
    EXPECT_TRUE(view->statusLine().isEmpty());
}

// Closing the preferences rebuilds the lists: the selection stays as it was
// and no playlist (the library least of all) is listed twice.
TEST_F(MusicViewTest, APreferencesRoundTripKeepsTheTrackList)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    const QStringList before = orderOf(view->trackDetails());
    ASSERT_EQ(before.size(), 6);
    for (int round = 0; round < 3; ++round) {
        view->refreshAfterPreferencesChange();
        ASSERT_TRUE(settled(*view));
        EXPECT_EQ(orderOf(view->trackDetails()), before) << "round " << round;
        EXPECT_EQ(view->selectedPlaylists().size(), 1);
    }
    ASSERT_TRUE(select(*view, {QStringLiteral("Road")}));
    view->refreshAfterPreferencesChange();
    ASSERT_TRUE(settled(*view));
    QStringList names;
    for (const PlaylistPtr& p : view->selectedPlaylists())
        names << p->name;
    EXPECT_EQ(names.count(names.value(0)), 1) << names.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(names.removeDuplicates(), 0);
}

TEST_F(MusicViewTest, AHeadingSelectsItsPlaylistsAndADevicePlaylistKeepsItsOrder)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(view->selectHeading(MusicView::kPlaylists));
    ASSERT_TRUE(settled(*view));
    QStringList chosen;
    for (const PlaylistPtr& p : view->selectedPlaylists())
        chosen << p->name;
    EXPECT_EQ(chosen, QStringList{"Road"});
    EXPECT_EQ(orderOf(view->trackDetails()), (QStringList{"104", "100", "102"}));
    EXPECT_EQ(view->trackTable()->horizontalHeader()->sortIndicatorSection(), -1);

    // The REPORTS heading selects nothing more.
    ASSERT_TRUE(view->selectHeading(MusicView::kReports));
    ASSERT_TRUE(settled(*view));
    EXPECT_TRUE(view->selectedPlaylists().isEmpty());
    EXPECT_TRUE(view->trackDetails().isEmpty());

    // A library-kind list is sorted, whatever the device's order.
    ASSERT_TRUE(view->selectHeading(MusicView::kLibrary));
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(orderOf(view->trackDetails()),
              (QStringList{"100", "101", "102", "103", "104", "105"}));
    EXPECT_EQ(view->trackTable()->horizontalHeader()->sortIndicatorSection(),
              int(MusicView::TrackTableModel::ArtistColumn));

    // A column header sorts on a worker; the selected track stays selected.
    view->trackTable()->selectionModel()->select(
        view->trackModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->sortByColumnHeader(MusicView::TrackTableModel::NameColumn, Qt::AscendingOrder);
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(orderOf(view->trackDetails()),
              (QStringList{"102", "105", "101", "103", "100", "104"}));
    EXPECT_EQ(orderOf(view->mediaListForPlayback()), (QStringList{"100", "104"}));
}

TEST_F(MusicViewTest, SearchAndTheBrowseListsFilterTheTracks)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    view->search(QStringLiteral("BLUE"));
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(idsOf(view->trackDetails()), (QStringList{"102", "103"}));
    EXPECT_EQ(view->genres(), (QStringList{"All (1 genre)", "Jazz"}));
    view->search(QString());
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(view->trackDetails().size(), 6);

    ASSERT_TRUE(view->selectBrowseValue(view->genreList(), QStringLiteral("Electronic")));
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(idsOf(view->trackDetails()), (QStringList{"104", "105"}));
    EXPECT_EQ(view->artists(), (QStringList{"All (1 artist)", "Northern"}));
    // The summary row takes the filter away again.
    ASSERT_TRUE(view->selectBrowseValue(view->genreList(), view->genres().value(0)));
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(view->trackDetails().size(), 6);
}

TEST_F(MusicViewTest, WithICloudItemsOffTheICloudOnlyTrackIsLeftOutAndNoStoreShowsTheNoMusicPage)
{
    QELPreferences::setShowItemsInICloud(false);
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    // Five local tracks: content, with the iCloud-only track left out.
    EXPECT_FALSE(view->isShowingNoMusicPage());
    EXPECT_EQ(view->trackDetails().size(), 5);

    auto empty = std::make_unique<QELMusicView>(QRect(0, 0, 600, 400));
    empty->setLibraries(nullptr, nullptr, nullptr);
    EXPECT_TRUE(empty->isShowingNoMusicPage());
    EXPECT_FALSE(empty->checkboxShowMusicInICloud()->isChecked());
}

TEST_F(MusicViewTest, CopyQueuesTheLocalTracksWithThePlaylistNameAndRereadsTheFolder)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    view->RequestCopy();
    ASSERT_NE(m_copy, nullptr);
    // The library-kind list writes no playlist file; the iCloud-only track is left out.
    ASSERT_EQ(m_copy->runs.size(), 1);
    EXPECT_EQ(m_copy->runs.constFirst(), (QStringList{"100", "101", "102", "103", "104"}));
    EXPECT_EQ(m_copy->names.constFirst(), QString());

    ASSERT_TRUE(select(*view, {QStringLiteral("Road")}));
    // A folder changed in the preferences reaches the next copy.
    QSettings(QStringLiteral("Orvane"), QStringLiteral("Orvane"))
        .setValue(QELPreferences::kCopyToMacSaveFolder,
                  m_device.scratch(QStringLiteral("elsewhere")));
    view->trackTable()->selectionModel()->select(
        view->trackModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->RequestCopy();
    ASSERT_EQ(m_copy->runs.size(), 2);
    EXPECT_EQ(m_copy->runs.at(1), QStringList{"100"});
    EXPECT_EQ(m_copy->names.at(1), QStringLiteral("Road"));
    EXPECT_EQ(m_copy->folders.at(1), m_device.scratch(QStringLiteral("elsewhere")));
    // The context menu's copy-all acts on every listed track.
    view->copyAllTracks();
    ASSERT_EQ(m_copy->runs.size(), 3);
    EXPECT_EQ(m_copy->runs.at(2), (QStringList{"104", "100", "102"}));
}

TEST_F(MusicViewTest, TheSaveLocationSheetStoresItsChoicesOrCopiesNothing)
{
    QELPreferences::setShowSetCopyLocationBeforeCopy(true);
    auto view = makeView();
    view->show();
    ASSERT_TRUE(settled(*view));
    view->RequestCopy();
    ASSERT_TRUE(view->saveLocationPanel()->isVisible());
    EXPECT_EQ(view->saveLocationViewTextField()->text(),
              m_device.scratch(QStringLiteral("copies")));
    view->saveLocationButtonCancelClicked();
    EXPECT_FALSE(view->saveLocationPanel()->isVisible());
    ASSERT_NE(m_copy, nullptr);
    EXPECT_TRUE(m_copy->runs.isEmpty());

    view->RequestCopy();
    const QString chosen = m_device.scratch(QStringLiteral("chosen"));
    view->setFolderChooser([&](QWidget*, const QString&) { return chosen; });
    view->saveLocationBrowseButtonClicked();
    EXPECT_EQ(view->saveLocationViewTextField()->text(), chosen);
    view->saveLocationShowMessageCheckBox()->setChecked(false);
    view->saveLocationContinueButtonClicked();
    ASSERT_EQ(m_copy->runs.size(), 1);
    EXPECT_EQ(m_copy->runs.constFirst().size(), 5);
    EXPECT_EQ(m_copy->folders.constFirst(), chosen);
    EXPECT_EQ(QELPreferences::CopyToMacSaveFolder(), chosen);
    EXPECT_FALSE(QELPreferences::ShowSetCopyLocationBeforeCopy());
    // The next copy starts at once.
    view->RequestCopy();
    EXPECT_EQ(m_copy->runs.size(), 2);
    EXPECT_FALSE(view->saveLocationPanel()->isVisible());
}

TEST_F(MusicViewTest, TransferAndBackUpQueueTheirItemsOffTheGuiThread)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(select(*view, {QStringLiteral("Road")}));
    view->RequestTransfer();
    ASSERT_TRUE(settled(*view));
    ASSERT_NE(m_transfer, nullptr);
    ASSERT_EQ(m_transfer->runs.size(), 1);
    EXPECT_EQ(m_transfer->runs.constFirst(), (QStringList{"104@Road", "100@Road", "102@Road"}));

    view->RequestBackUp();
    EXPECT_EQ(m_delegate.events.value(m_delegate.events.size() - 1),
              QStringLiteral("progress Preparing the back-up…"));
    ASSERT_TRUE(settled(*view));
    ASSERT_EQ(m_transfer->runs.size(), 2);
    // Every device playlist, the library list without a name; no genius, no iCloud-only track.
    const QStringList backUp = m_transfer->runs.at(1);
    EXPECT_TRUE(backUp.contains(QStringLiteral("104@Road")));
    EXPECT_TRUE(backUp.contains(QStringLiteral("101@")));
    EXPECT_FALSE(backUp.contains(QStringLiteral("101@Genius Picks")));
    EXPECT_FALSE(backUp.contains(QStringLiteral("105@")));

    // A transfer with nothing local to add does nothing.
    view->search(QStringLiteral("Cloud Song"));
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(view->selectHeading(MusicView::kLibrary));
    ASSERT_TRUE(settled(*view));
    view->RequestTransfer();
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(m_transfer->runs.size(), 2);
}

TEST_F(MusicViewTest, HistoryMarksMoveTracksBetweenTheReportListsAndClearingEmptiesThem)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    ASSERT_NE(view->itemsCopiedPlaylist(), nullptr);
    EXPECT_TRUE(view->itemsCopiedPlaylist()->tracks().isEmpty());
    EXPECT_EQ(view->itemsNotCopiedPlaylist()->tracks().size(), 6);

    for (const auto& [id, ok] : {std::pair{"100", true}, std::pair{"101", false}}) {
        QELCopyItemEndEventArgs end;
        end.setItemId(QString::fromLatin1(id));
        end.setStatusOK(ok);
        view->OnItemCopyEndEvent(end);
    }
    ASSERT_TRUE(waitUntil(
        [&] { return view->itemsCopiedPlaylist()->tracks().size() == 1 && !view->isBusy(); }));
    EXPECT_EQ(idsOf(view->itemsCopiedPlaylist()->tracks()), QStringList{"100"});
    EXPECT_EQ(view->itemsNotCopiedPlaylist()->tracks().size(), 5);
    EXPECT_EQ(view->history()->GetCopyHistoryResultForItemWithID(QStringLiteral("101")), 1);
    // The marks show in the table without another selection.
    auto statusOf = [&](const QString& id) {
        const QList<TrackDetailPtr> tracks = view->trackDetails();
        for (int row = 0; row < tracks.size(); ++row) {
            if (tracks.at(row)->persistentID == id)
                return view->trackModel()
                    ->index(row, 0)
                    .data(MusicView::TrackTableModel::SortRole)
                    .toInt();
        }
        return -1;
    };
    EXPECT_EQ(statusOf(QStringLiteral("100")), int(MusicView::StatusIcon::Copied));
    EXPECT_EQ(statusOf(QStringLiteral("101")), int(MusicView::StatusIcon::CopyFailed));

    // The end of a run puts the history on the device.
    view->OnAllItemsCopiedEventWithType(0);
    ASSERT_TRUE(settled(*view));
    EXPECT_TRUE(m_device.device().fileExistsAtPath(view->history()->deviceDBPath()));
    EXPECT_EQ(m_delegate.events.constLast(), QStringLiteral("done 0"));

    ASSERT_TRUE(select(*view, {QStringLiteral("Copied before")}));
    EXPECT_EQ(idsOf(view->trackDetails()), QStringList{"100"});

    view->OnClearHistoryButtonClicked();
    view->confirmClearHistoryButtonClicked();
    ASSERT_TRUE(waitUntil(
        [&] { return view->itemsCopiedPlaylist()->tracks().isEmpty() && !view->isBusy(); }));
    EXPECT_EQ(view->itemsNotCopiedPlaylist()->tracks().size(), 6);
    EXPECT_TRUE(view->trackDetails().isEmpty());
    EXPECT_EQ(statusOf(QStringLiteral("100")), -1);
}

TEST_F(MusicViewTest, ARebuildReusesTheThreeReportListsAndForgetsTheNotInLibraryReport)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    const PlaylistPtr copied = view->itemsCopiedPlaylist();
    const qsizetype before = m_library->playlists().size();
    view->RefreshSourceList();
    ASSERT_TRUE(settled(*view));
    view->RefreshSourceList();
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(view->itemsCopiedPlaylist(), copied);
    EXPECT_EQ(m_library->playlists().size(), before);
    EXPECT_FALSE(view->notInITunesReportHasBeenGenerated());
}

TEST_F(MusicViewTest, TheNotInLibraryReportListsWhatTheComputersLibraryLacks)
{
    QTemporaryDir music;
    QDir().mkpath(music.path() + QStringLiteral("/iTunes"));
    QVariantMap entry;
    entry.insert(QStringLiteral("Name"), QStringLiteral("paper boats"));
    entry.insert(QStringLiteral("Artist"), QStringLiteral("Harbour"));
    entry.insert(QStringLiteral("Album"), QStringLiteral("Low Tide"));
    QVariantMap remote;
    remote.insert(QStringLiteral("Name"), QStringLiteral("Blue Hour"));
    remote.insert(QStringLiteral("Artist"), QStringLiteral("Mira"));
    remote.insert(QStringLiteral("Album"), QStringLiteral("Blue Hours"));
    remote.insert(QStringLiteral("Track Type"), QStringLiteral("Remote"));
    QVariantMap tracks;
    tracks.insert(QStringLiteral("1"), entry);
    tracks.insert(QStringLiteral("2"), remote);
    QVariantMap xml;
    xml.insert(QStringLiteral("Tracks"), tracks);
    ASSERT_TRUE(Plist::writeFile(music.path() + QStringLiteral("/iTunes/iTunes Library.xml"), xml));
    auto index =
        std::make_shared<QELITunesLibrary>(std::make_shared<FolderMediaLibraryHost>(music.path()));
    index->startReadingITunesLibrary();
    ASSERT_TRUE(waitUntil([&] { return index->isLibraryReadSuccessful(); }));

    auto view = makeView(index);
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(view->selectPlaylistsNamed({QStringLiteral("Not in the music library")}));
    EXPECT_TRUE(view->isShowingReportProgress());
    ASSERT_TRUE(
        waitUntil([&] { return view->notInITunesReportHasBeenGenerated() && !view->isBusy(); }));
    EXPECT_FALSE(view->isShowingReportProgress());
    // The remote copy counts as missing; the iCloud-only track is no candidate.
    EXPECT_EQ(idsOf(view->trackDetails()), (QStringList{"101", "102", "103", "104"}));

    // The report itself: answers, stops when cancelled, and a restart answers once.
    const QList<TrackDetailPtr> all = m_library->getAllTracks();
    std::atomic<bool> cancel{false};
    QList<qint64> counted;
    const auto outcome = MusicNotInLibraryReport::compute(all, index.get(), cancel,
                                                          [&](qint64 c, qint64) { counted << c; });
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.tracks.size(), 4);
    EXPECT_EQ(counted.constLast(), all.size());
    cancel = true;
    EXPECT_FALSE(MusicNotInLibraryReport::compute(all, index.get(), cancel, {}).completed);
    // Without a library that could be read, the report is complete and empty.
    std::atomic<bool> go{false};
    const auto unread = MusicNotInLibraryReport::compute(all, nullptr, go, {});
    EXPECT_TRUE(unread.completed);
    EXPECT_TRUE(unread.tracks.isEmpty());

    MusicNotInLibraryReport report;
    int answers = 0;
    QObject::connect(&report, &MusicNotInLibraryReport::finished,
                     [&](const QList<TrackDetailPtr>& t) {
                         ++answers;
                         EXPECT_EQ(t.size(), 4);
                     });
    report.start(m_library, index);
    report.cancel();
    EXPECT_FALSE(report.isRunning());
    report.start(m_library, index);
    report.start(m_library, index);
    ASSERT_TRUE(waitUntil([&] { return answers == 1; }));
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(answers, 1);
}

// A library that a Copy to Music makes after the view started is read when
// the report runs again, with no restart.
TEST_F(MusicViewTest, TheNotInLibraryReportReadsALibraryMadeSinceTheLastRead)
{
    QTemporaryDir music;
    auto index =
        std::make_shared<QELITunesLibrary>(std::make_shared<FolderMediaLibraryHost>(music.path()));
    index->startReadingITunesLibrary();
    auto view = makeView(index);
    ASSERT_TRUE(settled(*view));
    const QStringList report{QStringLiteral("Not in the music library")};
    ASSERT_TRUE(view->selectPlaylistsNamed(report));
    ASSERT_TRUE(
        waitUntil([&] { return view->notInITunesReportHasBeenGenerated() && !view->isBusy(); }));
    EXPECT_FALSE(index->isLibraryReadSuccessful());

    QVariantMap entry;
    entry.insert(QStringLiteral("Name"), QStringLiteral("paper boats"));
    entry.insert(QStringLiteral("Artist"), QStringLiteral("Harbour"));
    entry.insert(QStringLiteral("Album"), QStringLiteral("Low Tide"));
    QVariantMap xml;
    xml.insert(QStringLiteral("Tracks"), QVariantMap{{QStringLiteral("1"), entry}});
    QDir().mkpath(music.path() + QStringLiteral("/iTunes"));
    ASSERT_TRUE(Plist::writeFile(music.path() + QStringLiteral("/iTunes/iTunes Library.xml"), xml));

    ASSERT_TRUE(select(*view, {QStringLiteral("Road")}));
    ASSERT_TRUE(view->selectPlaylistsNamed(report));
    ASSERT_TRUE(
        waitUntil([&] { return view->notInITunesReportHasBeenGenerated() && !view->isBusy(); }));
    EXPECT_TRUE(index->isLibraryReadSuccessful());
    EXPECT_FALSE(view->trackDetails().isEmpty());
}

TEST_F(MusicViewTest, ChoosingAnotherPlaylistStopsTheReportWhichStartsOverWhenChosenAgain)
{
    QTemporaryDir music;
    QDir().mkpath(music.path() + QStringLiteral("/iTunes"));
    QVariantMap xml;
    xml.insert(QStringLiteral("Tracks"), QVariantMap());
    ASSERT_TRUE(Plist::writeFile(music.path() + QStringLiteral("/iTunes/iTunes Library.xml"), xml));
    auto index =
        std::make_shared<QELITunesLibrary>(std::make_shared<FolderMediaLibraryHost>(music.path()));
    index->startReadingITunesLibrary();
    ASSERT_TRUE(waitUntil([&] { return index->isLibraryReadSuccessful(); }));
    auto view = makeView(index);
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(view->selectPlaylistsNamed({QStringLiteral("Not in the music library")}));
    EXPECT_TRUE(view->isShowingReportProgress());
    // Chosen away before the report's answer is handled: the listing is back, nothing generated.
    ASSERT_TRUE(view->selectPlaylistsNamed({QStringLiteral("Road")}));
    EXPECT_FALSE(view->isShowingReportProgress());
    ASSERT_TRUE(settled(*view));
    EXPECT_FALSE(view->notInITunesReportHasBeenGenerated());
    EXPECT_EQ(view->trackDetails().size(), 3);
    ASSERT_TRUE(select(*view, {QStringLiteral("Not in the music library")}));
    ASSERT_TRUE(
        waitUntil([&] { return view->notInITunesReportHasBeenGenerated() && !view->isBusy(); }));
    EXPECT_EQ(view->trackDetails().size(), 5);
    EXPECT_TRUE(m_delegate.events.filter(QStringLiteral("status ")).isEmpty());

    // Without a library that could be read the list is empty, and the view says why.
    auto unread = makeView();
    ASSERT_TRUE(settled(*unread));
    ASSERT_TRUE(unread->selectPlaylistsNamed({QStringLiteral("Not in the music library")}));
    ASSERT_TRUE(waitUntil(
        [&] { return unread->notInITunesReportHasBeenGenerated() && !unread->isBusy(); }));
    EXPECT_TRUE(unread->trackDetails().isEmpty());
    EXPECT_EQ(m_delegate.events.filter(QStringLiteral("status ")).size(), 1);
}

TEST_F(MusicViewTest, ThePlayListAndTheDoubleClickReachThePlayer)
{
    auto view = makeView();
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(orderOf(view->mediaListForPlayback()),
              (QStringList{"100", "101", "102", "103", "104"}));
    view->trackTable()->selectionModel()->select(
        view->trackModel()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(orderOf(view->mediaListForPlayback()), (QStringList{"103", "104"}));
    EXPECT_EQ(view->trackCountText(), QStringLiteral("6 tracks, 1 selected"));
    emit view->trackTable()->doubleClicked(view->trackModel()->index(3, 1));
    EXPECT_EQ(m_delegate.events.constLast(), QStringLiteral("play"));
    view->SetCurrentlyPlayingTrackDetail(
        QELMediaPlayerItem{QString(), QString(), QString(), QStringLiteral("103")});
    EXPECT_EQ(view->trackModel()->index(3, 0).data(MusicView::TrackTableModel::SortRole).toInt(),
              int(MusicView::StatusIcon::Playing));
    view->SetCurrentlyPlayingTrackDetail(std::nullopt);
    EXPECT_EQ(view->trackModel()->playingID(), QString());
}

// --- Artwork sources ---

namespace {

class StoreOnlyReader : public QELDeviceImageLibraryReader {
public:
    explicit StoreOnlyReader(const QString& folder)
        : QELDeviceImageLibraryReader(folder, QStringLiteral("none"),
                                      QStringLiteral("artwork-test.db"))
    {
    }
    bool readImageDatabase() override { return true; }
    void add(qint64 id, const ImageDetailPtr& detail)
    {
        auto list = std::make_shared<ImageList>();
        list->photoID = id;
        list->imageDetails.push_back(detail);
        store()->addImageList(list);
        store()->addImage(detail);
    }
};

QByteArray png(const QColor& colour)
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::unique_ptr<QELMusicView> MusicViewTest::shownViewWithABlueCoverFor102()
{
    QELPreferences::setShowArtwork(true);
    EXPECT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/blue.png"), png(Qt::blue)));
    auto reader = std::make_shared<StoreOnlyReader>(m_device.scratch(QStringLiteral("art")));
    auto cover = std::make_shared<ImageDetail>();
    cover->fullImagePath = QStringLiteral("/iTunes_Control/Artwork/blue.png");
    reader->add(102, cover);
    auto view = makeView(nullptr, reader);
    view->show();
    const bool ready = settled(*view) && view->isArtworkPanelShown();
    EXPECT_TRUE(ready);
    return ready ? std::move(view) : nullptr;
}

} // namespace

TEST_F(MusicViewTest, ArtworkComesFromTheFirstSourceThatTheDeviceHas)
{
    StoreOnlyReader reader(m_device.scratch(QStringLiteral("art")));
    ASSERT_NE(reader.store(), nullptr);
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/cover.png"), png(Qt::red)));
    ASSERT_TRUE(
        m_device.putFile(QStringLiteral("iTunes_Control/Artwork/full.png"), png(Qt::green)));
    // RGB565 pixels of a 2x2 blue thumbnail at offset 4 of a thumbnail file.
    QByteArray raw = QByteArray(4, '\0');
    for (int i = 0; i < 4; ++i)
        raw.append(char(0x1f)).append(char(0x00));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Artwork/F1_1.ithmb"), raw));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("Purchases/bought.png"), png(Qt::yellow)));
    ASSERT_TRUE(
        m_device.putFile(QStringLiteral("Purchases/broken.png"), QByteArray("not an image")));

    auto full = std::make_shared<ImageDetail>();
    full->fullImagePath = QStringLiteral("/iTunes_Control/Artwork/full.png");
    reader.add(7, full);
    auto thumb = std::make_shared<ImageDetail>();
    thumb->thumbnailPath = QStringLiteral("/iTunes_Control/Artwork/F1_1.ithmb");
    thumb->thumbnailOffset = 4;
    thumb->dataSize = 8;
    thumb->imageFormat = 2;
    thumb->width = 2;
    thumb->height = 2;
    reader.add(8, thumb);
    auto missing = std::make_shared<ImageDetail>();
    missing->fullImagePath = QStringLiteral("/nowhere.png");
    reader.add(9, missing);

    QVariantMap asset;
    asset.insert(QStringLiteral("relativeMediaAssetPath"), QStringLiteral("SONG.m4a"));
    asset.insert(QStringLiteral("relativeArtworkAssetPath"), QStringLiteral("bought.png"));
    QVariantMap brokenAsset;
    brokenAsset.insert(QStringLiteral("relativeMediaAssetPath"), QStringLiteral("BROKEN.m4a"));
    brokenAsset.insert(QStringLiteral("relativeArtworkAssetPath"), QStringLiteral("broken.png"));
    QVariantMap inner;
    inner.insert(QStringLiteral("assetOrdering"), QVariantList{asset, brokenAsset});
    QVariantMap outer;
    outer.insert(QStringLiteral("data"), Plist::serialize(inner));
    const QString purchases =
        m_device.scratch(QStringLiteral("store")) + QStringLiteral("/purchases.plist");
    ASSERT_TRUE(Plist::writeFile(purchases, outer));
    QELArtworkITunesPurchases::populateFromLocalCopy(purchases);

    using S = MusicArtwork::Source;
    struct Case {
        const char* name;
        QString artworkPath;
        std::optional<qint64> artworkId;
        QString persistentID;
        QString path;
        bool iCloud;
        S source;
        QColor colour;
    };
    const Case cases[] = {
        {"the track's own cover first",
         QStringLiteral("/iTunes_Control/Artwork/cover.png"),
         7,
         {},
         {},
         false,
         S::ArtworkPath,
         Qt::red},
        {"the record's whole file",
         QStringLiteral("/gone.png"),
         7,
         {},
         {},
         false,
         S::FullImage,
         Qt::green},
        {"the record found by persistent id",
         {},
         {},
         QStringLiteral("7"),
         {},
         false,
         S::FullImage,
         Qt::green},
        {"raw thumbnail pixels", {}, 8, {}, {}, false, S::RawThumbnail, Qt::blue},
        {"the purchase's artwork",
         {},
         9,
         {},
         QStringLiteral("iTunes_Control/Music/F00/SONG.m4a"),
         false,
         S::Purchased,
         Qt::yellow},
        {"a purchase that is no image",
         {},
         {},
         {},
         QStringLiteral("BROKEN.m4a"),
         false,
         S::None,
         Qt::white},
        {"nothing at all", {}, 42, QStringLiteral("not a number"), {}, false, S::None, Qt::white},
        {"iCloud only: the notice",
         QStringLiteral("/iTunes_Control/Artwork/cover.png"),
         7,
         {},
         {},
         true,
         S::ICloudNotice,
         Qt::white},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackDetail track;
        track.artworkPath = c.artworkPath;
        track.artworkId = c.artworkId;
        track.persistentID = c.persistentID;
        track.path = c.path;
        track.isICloudStreaming = c.iCloud;
        const MusicArtwork::Result result =
            MusicArtwork::forTrack(track, &m_device.device(), &reader);
        EXPECT_EQ(result.source, c.source);
        if (c.source == S::RawThumbnail) {
            // Too small for the pixel at (20, 2): the fill stays as it was.
            EXPECT_FALSE(result.background.isValid());
            const QColor pixel = result.image.pixelColor(0, 0);
            EXPECT_EQ(pixel.red(), 0);
            EXPECT_GT(pixel.blue(), 240);
        } else {
            EXPECT_EQ(result.background, c.colour);
        }
    }
    // A disk-mode iPod tells a file's size as "NSFileSize", not "st_size".
    const std::unique_ptr<QELDeviceInterface> disk =
        QELDeviceInterface::createOverFolder(m_device.afcRoot());
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(MusicArtwork::fileSize(*disk, QStringLiteral("/iTunes_Control/Artwork/cover.png")),
              png(Qt::red).size());
    EXPECT_EQ(MusicArtwork::fileSize(*disk, QStringLiteral("/iTunes_Control/Artwork/none.png")), 0);
    TrackDetail onDisk;
    onDisk.artworkPath = QStringLiteral("/iTunes_Control/Artwork/cover.png");
    EXPECT_EQ(MusicArtwork::forTrack(onDisk, disk.get(), nullptr).background, QColor(Qt::red));
    // Without a reader only the device's files count.
    TrackDetail plain;
    plain.artworkPath = QStringLiteral("/iTunes_Control/Artwork/cover.png");
    EXPECT_EQ(MusicArtwork::forTrack(plain, &m_device.device(), nullptr).source, S::ArtworkPath);

    Playlist list;
    EXPECT_EQ(MusicArtwork::forPlaylist(list, &m_device.device()).source, S::None);
    ASSERT_TRUE(m_device.putFile(
        QStringLiteral("iTunes_Control/iTunes/Artwork/Originals/ab/list.png"), png(Qt::cyan)));
    list.playlistImageRelativePath = QStringLiteral("ab/list.png");
    EXPECT_EQ(MusicArtwork::forPlaylist(list, &m_device.device()).source, S::Playlist);
    list.playlistImageRelativePath = QStringLiteral("../../../iTunes_Control/Artwork/cover.png");
    EXPECT_EQ(MusicArtwork::forPlaylist(list, &m_device.device()).source, S::None);
    QELArtworkITunesPurchases::populateFromLocalCopy(QString());
}

TEST_F(MusicViewTest, TheArtworkPanelHidesAndShowsAgainAtTheUsersDivision)
{
    QELPreferences::setShowArtwork(true);
    auto reader = std::make_shared<StoreOnlyReader>(m_device.scratch(QStringLiteral("art")));
    auto view = makeView(nullptr, reader);
    view->show();
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(
        waitUntil([&] { return view->leftSideHorizontalSplitter()->sizes().value(1) > 0; }));
    EXPECT_TRUE(view->isArtworkPanelShown());
    EXPECT_EQ(view->shownArtworkSource(), MusicArtwork::Source::None);
    // The user moves the divider, hides and shows the panel.
    const int total = view->leftSideHorizontalSplitter()->sizes().value(0)
        + view->leftSideHorizontalSplitter()->sizes().value(1);
    view->leftSideHorizontalSplitter()->setSizes({total - 150, 150});
    view->OnHideShowArtworkButtonClicked();
    EXPECT_FALSE(QELPreferences::ShowArtwork());
    ASSERT_TRUE(
        waitUntil([&] { return view->leftSideHorizontalSplitter()->sizes().value(1) == 0; }));
    view->OnHideShowArtworkButtonClicked();
    EXPECT_TRUE(QELPreferences::ShowArtwork());
    ASSERT_TRUE(waitUntil(
        [&] { return std::abs(view->leftSideHorizontalSplitter()->sizes().value(1) - 150) <= 1; }));
    // The mode follows the playing track on request.
    view->artworkViewModeButtonClicked();
    EXPECT_FALSE(view->artworkFollowsSelection());
    EXPECT_EQ(view->artworkViewModeButton()->text(), QStringLiteral("Now playing"));

    // Without a reader the panel and its button stay hidden.
    auto bare = makeView();
    EXPECT_FALSE(bare->isArtworkPanelShown());
    EXPECT_TRUE(bare->artworkHideShowButton()->isHidden());
}

// The panel never keeps the cover of a track that is no longer selected: a new
// list (a search, the filter dropped as the category is left) takes the
// selection away without the selection model saying so, and the user can
// clear it; with no picture for the playlist the panel is left empty.
TEST_F(MusicViewTest, TheCoverGoesWithTheSelectionOfTheTrackTable)
{
    auto view = shownViewWithABlueCoverFor102();
    ASSERT_TRUE(view);
    auto selectBlueHour = [&] {
        const int row = int(orderOf(view->trackDetails()).indexOf(QStringLiteral("102")));
        if (row < 0)
            return false;
        view->trackTable()->selectionModel()->select(view->trackModel()->index(row, 0),
                                                     QItemSelectionModel::ClearAndSelect
                                                         | QItemSelectionModel::Rows);
        return waitUntil(
            [&] { return view->shownArtworkSource() == MusicArtwork::Source::FullImage; });
    };
    struct Case {
        const char* how;
        std::function<void()> takeTheSelectionAway;
    };
    const Case cases[] = {
        {"a search lists other tracks", [&] { view->search(QStringLiteral("Signal")); }},
        {"a search that still lists the track", [&] { view->search(QStringLiteral("Blue")); }},
        {"the user clears the selection", [&] { view->trackTable()->clearSelection(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        view->search(QString());
        ASSERT_TRUE(settled(*view));
        ASSERT_TRUE(selectBlueHour());
        c.takeTheSelectionAway();
        ASSERT_TRUE(settledAndApplied(*view));
        EXPECT_TRUE(view->trackTable()->selectionModel()->selectedRows().isEmpty());
        EXPECT_EQ(view->shownArtworkSource(), MusicArtwork::Source::None);
    }
}

// Leaving the category clears the panel as the status panel is cleared; coming
// back shows the cover of what is still selected, and none where the dropped
// filter took the selection away.
TEST_F(MusicViewTest, ACategorySwitchClearsTheCoverAndTheReturnShowsTheSelections)
{
    auto view = shownViewWithABlueCoverFor102();
    ASSERT_TRUE(view);
    struct Case {
        const char* search;
        MusicArtwork::Source onReturn;
    };
    const Case cases[] = {
        {"", MusicArtwork::Source::FullImage},
        {"Blue", MusicArtwork::Source::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        view->search(QString::fromLatin1(c.search));
        ASSERT_TRUE(settled(*view));
        const int row = int(orderOf(view->trackDetails()).indexOf(QStringLiteral("102")));
        ASSERT_GE(row, 0);
        view->trackTable()->selectionModel()->select(view->trackModel()->index(row, 0),
                                                     QItemSelectionModel::ClearAndSelect
                                                         | QItemSelectionModel::Rows);
        ASSERT_TRUE(waitUntil(
            [&] { return view->shownArtworkSource() == MusicArtwork::Source::FullImage; }));
        // As the content page leaves it for another category.
        view->categoryWillBeLeft();
        view->search(QString());
        view->hide();
        EXPECT_EQ(view->shownArtworkSource(), MusicArtwork::Source::None);
        ASSERT_TRUE(settledAndApplied(*view));
        // A cover on its way when the category was left stays away.
        EXPECT_EQ(view->shownArtworkSource(), MusicArtwork::Source::None);
        view->show();
        ASSERT_TRUE(settledAndApplied(*view));
        EXPECT_EQ(view->shownArtworkSource(), c.onReturn);
    }
}

TEST_F(MusicViewTest, AHistoryThatCannotBeKeptIsSaidOnceAndTheViewGoesOn)
{
    // No temporary folder can hold the history's local copy.
    const QByteArray cacheHome = qgetenv("XDG_CACHE_HOME");
    const QString blocker = m_device.scratch(QStringLiteral("cache")) + QStringLiteral("/blocked");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker));
    auto view = makeView();
    const bool done = settled(*view);
    qputenv("XDG_CACHE_HOME", cacheHome);
    ASSERT_TRUE(done);
    EXPECT_EQ(view->history(), nullptr);
    EXPECT_EQ(m_delegate.events.filter(QStringLiteral("status ")).size(), 1);
    EXPECT_FALSE(view->statusLine().isEmpty());
    // The view goes on without marks, and says it only once.
    EXPECT_EQ(view->trackDetails().size(), 6);
    view->RefreshSourceList();
    ASSERT_TRUE(settled(*view));
    EXPECT_EQ(m_delegate.events.filter(QStringLiteral("status ")).size(), 1);
    view->RequestCopy();
    ASSERT_NE(m_copy, nullptr);
    EXPECT_EQ(m_copy->runs.size(), 1);
}

TEST_F(MusicViewTest, BrowsingCopyingAndTheArtworkPanelReadNothingOnTheGuiThread)
{
    // The reader's store is the application's to open, before the view exists.
    auto reader = std::make_shared<StoreOnlyReader>(m_device.scratch(QStringLiteral("art")));
    std::mutex mutex;
    QStringList violations;
    ThreadCheck::setViolationHandler([&](const char* function) {
        std::lock_guard<std::mutex> lock(mutex);
        violations << QString::fromLatin1(function);
    });
    ThreadCheck::setEnabled(true);
    {
        QELPreferences::setShowArtwork(true);
        auto view = makeView(nullptr, reader);
        view->show();
        EXPECT_TRUE(settled(*view));
        EXPECT_TRUE(select(*view, {QStringLiteral("Road")}));
        view->search(QStringLiteral("a"));
        EXPECT_TRUE(settled(*view));
        view->trackTable()->selectionModel()->select(view->trackModel()->index(0, 0),
                                                     QItemSelectionModel::Select
                                                         | QItemSelectionModel::Rows);
        view->RequestTransfer();
        view->RequestBackUp();
        QELCopyItemEndEventArgs end;
        end.setItemId(QStringLiteral("100"));
        end.setStatusOK(true);
        view->OnItemCopyEndEvent(end);
        view->OnAllItemsCopiedEventWithType(0);
        EXPECT_TRUE(waitUntil([&] { return !view->itemsCopiedPlaylist()->tracks().isEmpty(); }));
        view->confirmClearHistoryButtonClicked();
        EXPECT_TRUE(select(*view, {QStringLiteral("Not in the music library")}));
        EXPECT_TRUE(settled(*view));
    }
    ThreadCheck::setEnabled(false);
    ThreadCheck::setViolationHandler({});
    EXPECT_TRUE(violations.isEmpty()) << violations.join(QLatin1Char(' ')).toStdString();
}

TEST_F(MusicViewTest, ARealCopyMarksEachTrackAndPutsTheHistoryOnTheDevice)
{
    // Two of Road's three files are on the device; the third is missing.
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/T104.mp3"),
                                 AudioFixture::silentMp3()));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/T100.mp3"),
                                 AudioFixture::silentMp3(12)));
    auto view = std::make_unique<QELMusicView>(QRect(0, 0, 1000, 640));
    view->setDeviceInterface(&m_device.device());
    view->setLibraries(m_library, nullptr, nullptr);
    view->setDelegate(&m_delegate);
    ASSERT_TRUE(settled(*view));
    ASSERT_TRUE(select(*view, {QStringLiteral("Road")}));
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return m_delegate.events.contains(QStringLiteral("done 0")); }));
    ASSERT_TRUE(waitUntil(
        [&] { return view->itemsCopiedPlaylist()->tracks().size() == 2 && !view->isBusy(); }));
    EXPECT_EQ(idsOf(view->itemsCopiedPlaylist()->tracks()), (QStringList{"100", "104"}));
    EXPECT_EQ(view->history()->GetCopyHistoryResultForItemWithID(QStringLiteral("102")), 1);
    EXPECT_TRUE(m_delegate.events.filter(QStringLiteral("copy Copying to computer")).size() == 3)
        << m_delegate.events.join(QLatin1Char('|')).toStdString();
    // The files and the playlist file are in the folder the preferences name.
    EXPECT_EQ(view->copyJob()->copiedFiles().size(), 2);
    EXPECT_FALSE(view->copyJob()->playlistFilePath().isEmpty());
    EXPECT_TRUE(m_device.device().fileExistsAtPath(view->history()->deviceDBPath()));
    // A new connection reads the marks back from the device.
    QString why;
    const std::unique_ptr<QELCopyHistory> again =
        QELCopyHistory::create(&m_device.device(), QStringLiteral("ovipodchm.db"), &why);
    ASSERT_NE(again, nullptr) << why.toStdString();
    EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("104")), 2);
}

TEST_F(MusicViewTest, ABackUpGoesIntoTheLibraryThatTheIndexReads)
{
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/T104.mp3"),
                                 AudioFixture::silentMp3()));
    ASSERT_TRUE(m_device.putFile(QStringLiteral("iTunes_Control/Music/F00/T100.mp3"),
                                 AudioFixture::silentMp3(12)));
    QTemporaryDir music;
    auto host = std::make_shared<FolderMediaLibraryHost>(music.path());
    auto index = std::make_shared<QELITunesLibrary>(host);
    auto view = std::make_unique<QELMusicView>(QRect(0, 0, 1000, 640));
    view->setDeviceInterface(&m_device.device());
    view->setLibraries(m_library, index, nullptr);
    view->setDelegate(&m_delegate);
    ASSERT_TRUE(settled(*view));
    view->RequestBackUp();
    ASSERT_TRUE(
        waitUntil([&] { return m_delegate.events.contains(QStringLiteral("done 1")); }, 30000));
    ASSERT_TRUE(settled(*view));
    // The two tracks on the device are in that library, under the device's playlist.
    const QVariantMap library = Plist::readFile(host->libraryFile()).toMap();
    EXPECT_EQ(library.value(QStringLiteral("Tracks")).toMap().size(), 2);
    QStringList playlists;
    for (const QVariant& p : library.value(QStringLiteral("Playlists")).toList())
        playlists << p.toMap().value(QStringLiteral("Name")).toString();
    EXPECT_TRUE(playlists.contains(QStringLiteral("Road")))
        << playlists.join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(playlists.contains(QStringLiteral("Genius Picks")));
    EXPECT_EQ(idsOf(view->itemsCopiedPlaylist()->tracks()), (QStringList{"100", "104"}));
}

TEST_F(MusicViewTest, OnlyICloudTracksShowTheNoMusicPageUntilTheBoxIsTicked)
{
    MediaLibraryFixture fixture;
    for (int i = 0; i < 2; ++i) {
        MediaLibraryFixture::Item item;
        item.pid = 700 + i;
        item.title = QStringLiteral("Streamed %1").arg(i);
        item.artist = QStringLiteral("Cloud Band");
        item.album = QStringLiteral("Up There");
        fixture.items << item; // no location: in iCloud only
    }
    const QString folder = m_device.scratch(QStringLiteral("cloud"));
    ASSERT_TRUE(fixture.write(folder + QStringLiteral("/MediaLibrary.sqlitedb")));
    auto cloud = std::make_shared<QELDeviceMediaLibrary>(folder);
    ASSERT_TRUE(cloud->readMediaLibrary());
    QELPreferences::setShowItemsInICloud(false);
    auto view = std::make_unique<QELMusicView>(QRect(0, 0, 800, 500));
    view->setDeviceInterface(&m_device.device());
    view->setLibraries(cloud, nullptr, nullptr);
    ASSERT_TRUE(settled(*view));
    EXPECT_TRUE(view->isShowingNoMusicPage());
    EXPECT_FALSE(view->checkboxShowMusicInICloud()->isChecked());
    view->checkboxShowMusicInICloud()->click();
    ASSERT_TRUE(settled(*view));
    EXPECT_TRUE(QELPreferences::showItemsInICloud());
    EXPECT_FALSE(view->isShowingNoMusicPage());
    ASSERT_EQ(view->trackDetails().size(), 2);
    // Listed grey, and never played, copied or transferred.
    EXPECT_TRUE(view->trackModel()->index(0, 1).data(Qt::ForegroundRole).isValid());
    EXPECT_TRUE(view->mediaListForPlayback().isEmpty());
}
