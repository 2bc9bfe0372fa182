// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QLabel>
#include <QPushButton>

#include "AppDelegateFixture.h"
#include "LocalizedStrings.h"
#include "QELDeviceCategoryContentView.h"

namespace {

class AppDelegateTest : public AppDelegateFixture {};

} // namespace

TEST_F(AppDelegateTest, LaunchRunsNoHelperKillEmptiesTheTemporaryFolderAndLooksForADevice)
{
    const QString stale = Locations::temporaryFolder() + QStringLiteral("/stale.db");
    QFile file(stale);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    launch();
    // Linux has no helper of the music application to stop.
    EXPECT_TRUE(m_started.isEmpty());
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QDir(Locations::temporaryFolder()).exists());
    EXPECT_EQ(m_interfacesMade, 1);
    ASSERT_NE(m_delegate->lookingForDeviceView(), nullptr);
    EXPECT_EQ(shownPage(), m_delegate->lookingForDeviceView());
    EXPECT_EQ(m_checkersMade, 0);
    ASSERT_NE(m_delegate->iTunesLibrary(), nullptr);
}

TEST_F(AppDelegateTest, NoUpdateCheckOnLinuxEvenWhenThePreferenceAsks)
{
    // The version file names another system; on Linux updates come with the packages.
    m_checkUpdates = true;
    launch();
    EXPECT_EQ(m_checkersMade, 0);
    EXPECT_EQ(m_delegate->updateChecker(), nullptr);
}

TEST_F(AppDelegateTest, RunningMusicApplicationShowsItsPageUntilABeyondButton)
{
    struct Case {
        const char* button;
        bool acceptsQuit;
        bool looksForDevice;
        bool keepOpen;
    };
    const Case cases[] = {
        {"continueButton", true, true, true},
        {"closeITunesButton", true, true, false},
        {"closeITunesButton", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        m_host->running = true;
        m_host->acceptsQuit = c.acceptsQuit;
        m_interfacesMade = 0;
        launch();
        EXPECT_EQ(m_interfacesMade, 0);
        EXPECT_EQ(shownPage(), m_delegate->iTunesIsRunningView());
        auto* button =
            m_delegate->iTunesIsRunningView()->findChild<QPushButton*>(QLatin1String(c.button));
        ASSERT_NE(button, nullptr);
        button->click();
        EXPECT_EQ(m_interfacesMade, c.looksForDevice ? 1 : 0);
        EXPECT_EQ(m_delegate->keepITunesOpen(), c.keepOpen);
        if (c.looksForDevice)
            EXPECT_EQ(shownPage(), m_delegate->lookingForDeviceView());
        else
            EXPECT_EQ(shownPage(), m_delegate->iTunesIsRunningView());
        m_delegate.reset();
        m_window.reset();
    }
}

TEST_F(AppDelegateTest, ConnectReadsTheDeviceAndShowsItsCategories)
{
    launch();
    m_simulator->attach(
        phone(QStringLiteral("p1"), QStringLiteral("iPhone7,2"), QStringLiteral("8.4")));
    ASSERT_TRUE(waitUntil([&] { return m_delegate->readingDeviceView() != nullptr; }));
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(shownPage(), page);
    ASSERT_NE(m_delegate->mediaLibrary(), nullptr);
    EXPECT_EQ(m_delegate->mediaLibrary()->getAllTracks().size(), 3);
    EXPECT_TRUE(m_delegate->controlBarEnabled());
    QList<int> types;
    for (const QELFunctionDetail& f : page->functionList())
        types << f.displayViewType;
    // iPhone 6 on iOS 8: apps are offered.
    EXPECT_EQ(types, (QList<int>{1, 3, 2, 9, 5, 11, 4, 10, 12, 7, 6, 8}));
    EXPECT_EQ(m_artworkMade, QStringList{QStringLiteral("ML:MediaLibrary.sqlitedb")});
    EXPECT_TRUE(
        QFile::exists(Locations::temporaryFolder() + QStringLiteral("/MediaLibrary.sqlitedb")));
    // Music is selected: its functions are offered only as far as its page
    // answers them, and the music view answers the transfer.
    EXPECT_EQ(m_delegate->availability().placeholder, QStringLiteral("Search music"));
    EXPECT_TRUE(m_delegate->availability().transfer);
}

TEST_F(AppDelegateTest, PairingReportsShowTheirBox)
{
    launch();
    QELLookingForDeviceView* page = m_delegate->lookingForDeviceView();
    ASSERT_NE(page, nullptr);
    struct Case {
        qint64 status;
        bool defaultBox, passcodeBox, trustBox;
    };
    // Status 1 leaves the page as the row before left it.
    for (const Case& c : {Case{3, false, false, true}, Case{1, false, false, true},
                          Case{2, false, true, false}, Case{0, true, false, false}}) {
        SCOPED_TRACE(c.status);
        QELDeviceConnectivityArguments args;
        args.setDeviceOperatingSystemType(1);
        args.setSuccess(false);
        args.setDevicePairingStatus(c.status);
        m_delegate->OnDeviceConnected(args);
        QCoreApplication::processEvents();
        EXPECT_EQ(!page->defaultInstructionsBox()->isHidden(), c.defaultBox);
        EXPECT_EQ(!page->enterPasscodeBox()->isHidden(), c.passcodeBox);
        EXPECT_EQ(!page->untrustedDeviceBox()->isHidden(), c.trustBox);
        EXPECT_EQ(shownPage(), page);
    }
}

TEST_F(AppDelegateTest, ADeclinedTrustOffersToTryAgainAndThenReads)
{
    launch();
    QELLookingForDeviceView* page = m_delegate->lookingForDeviceView();
    ASSERT_NE(page, nullptr);
    // The user declines on the device, then trusts when asked again.
    SimulatedDeviceBuilder b(m_dir.path() + QStringLiteral("/p9"));
    b.udid(QStringLiteral("p9"))
        .deviceClass(QStringLiteral("iPhone"))
        .productType(QStringLiteral("iPhone15,2"))
        .productVersion(QStringLiteral("17.2"))
        .pairingSequence({QStringLiteral("UserDenied"), QStringLiteral("Paired")})
        .afcFile(QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb"),
                 mediaLibraryBytes(m_dir.path(), 3));
    m_simulator->attach(b.build());
    ASSERT_TRUE(waitUntil([&] { return !page->tryAgainButton()->isHidden(); }));
    EXPECT_FALSE(page->untrustedDeviceBox()->isHidden());
    page->tryAgainButton()->click();
    EXPECT_NE(waitForContentPage(), nullptr);
}

TEST_F(AppDelegateTest, AConnectionGivenUpSaysWhy)
{
    launch();
    QELLookingForDeviceView* page = m_delegate->lookingForDeviceView();
    ASSERT_NE(page, nullptr);
    QELDeviceConnectivityArguments args;
    args.setDeviceOperatingSystemType(1);
    args.setDevicePairingStatus(0);
    args.setFailureReason(QStringLiteral("DEVICENOTANSWERING"));
    m_delegate->OnDeviceConnected(args);
    QCoreApplication::processEvents();
    EXPECT_FALSE(page->defaultInstructionsBox()->isHidden());
    EXPECT_FALSE(page->connectionFailureNotice()->isHidden());
    EXPECT_EQ(page->connectionFailureNotice()->text(), L("DEVICENOTANSWERING"));
}

TEST_F(AppDelegateTest, DisconnectShowsTheLookingPageAndResetsTheViews)
{
    launch();
    const QString udid = m_simulator->attach(
        phone(QStringLiteral("p2"), QStringLiteral("iPhone9,1"), QStringLiteral("12.1")));
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->selectCategory(3));
    EXPECT_GE(page->cachedViewCount(), 2);
    std::shared_ptr<QELDeviceMediaLibrary> library = m_delegate->mediaLibrary();
    m_simulator->detach(udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
    EXPECT_FALSE(m_delegate->controlBarEnabled());
    EXPECT_EQ(page->cachedViewCount(), 0);
    EXPECT_EQ(page->currentPage(), nullptr);
    EXPECT_TRUE(library->getAllTracks().isEmpty()); // closed
    EXPECT_TRUE(m_lastArtwork && m_lastArtwork->closed.load());
    EXPECT_FALSE(m_delegate->lookingForDeviceView()->defaultInstructionsBox()->isHidden());
    EXPECT_TRUE(QDir(Locations::temporaryFolder()).isEmpty());

    // The next device reuses the page with its own categories.
    m_simulator->attach(
        phone(QStringLiteral("t3"), QStringLiteral("iPod7,1"), QStringLiteral("8.1")));
    ASSERT_EQ(waitForContentPage(2), page);
    QList<int> types;
    for (const QELFunctionDetail& f : page->functionList())
        types << f.displayViewType;
    // An iPod touch newer than the table's newest row takes that row: no voicemail.
    EXPECT_EQ(types, (QList<int>{1, 3, 2, 9, 5, 11, 4, 10, 12, 7, 6}));
}

// The category views' workers read the device through the interface this
// object owns: the views go with it, even while the window lives on, so no
// worker outlives the interface (the books view checks for its app on one).
TEST_F(AppDelegateTest, TheCategoryViewsGoBeforeTheDeviceInterface)
{
    launch();
    m_simulator->attach(
        phone(QStringLiteral("p5"), QStringLiteral("iPhone9,1"), QStringLiteral("12.1")));
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->selectCategory(9));
    const QPointer<QWidget> books = page->cachedView(9);
    ASSERT_FALSE(books.isNull());
    m_delegate.reset();
    EXPECT_TRUE(books.isNull());
    EXPECT_NE(m_window, nullptr);
}

TEST_F(AppDelegateTest, FailedMediaReadShowsTheContentPageOnceWithoutLibraries)
{
    struct Case {
        const char* name;
        QByteArray database;
    };
    const Case cases[] = {
        {"no media database", QByteArray()},
        {"damaged media database",
         QByteArray("SQLite format 3\0garbage", 24) + QByteArray(300, '\xff')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launch();
        SimulatedDeviceBuilder b(m_dir.path() + QStringLiteral("/bad-")
                                 + QString::number(qHash(QString::fromLatin1(c.name))));
        b.udid(QStringLiteral("bad"))
            .productType(QStringLiteral("iPhone8,1"))
            .productVersion(QStringLiteral("10.3"));
        if (!c.database.isEmpty())
            b.afcFile(QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb"), c.database);
        const QString udid = m_simulator->attach(b.build());
        QELDeviceContentView* page = waitForContentPage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->deviceMediaLibrary(), nullptr);
        EXPECT_EQ(shownPage(), page);
        EXPECT_TRUE(m_delegate->controlBarEnabled());
        // No second hop shows it again.
        waitUntil([] { return false; }, 200);
        EXPECT_EQ(m_delegate->contentPageShowCount(), 1);
        EXPECT_FALSE(page->functionList().isEmpty());
        m_simulator->detach(udid);
        ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
        m_delegate.reset();
        m_window.reset();
    }
}

// The device names the companions of its ".bak" copy "MediaLibrary.sqlitedb-wal.bak"; what
// they hold is read only when the local copies carry the names SQLite looks for.
TEST_F(AppDelegateTest, TheMediaLibraryBakCopyIsReadWithItsWriteAheadLog)
{
    // Three tracks in the file; a transaction only in the "-wal" removes one.
    const QString scratch = m_dir.path() + QStringLiteral("/wal-scratch.sqlitedb");
    {
        QFile file(scratch);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(mediaLibraryBytes(m_dir.path(), 3));
    }
    QByteArray main;
    QByteArray wal;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(scratch).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                               "DELETE FROM item WHERE item_pid = 3;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK)
            << sqlite3_errmsg(db);
        QFile mainFile(scratch);
        QFile walFile(scratch + QStringLiteral("-wal"));
        ASSERT_TRUE(mainFile.open(QIODevice::ReadOnly) && walFile.open(QIODevice::ReadOnly));
        main = mainFile.readAll();
        wal = walFile.readAll();
        sqlite3_close(db);
    }
    ASSERT_FALSE(wal.isEmpty());

    launch();
    SimulatedDeviceBuilder b(m_dir.path() + QStringLiteral("/bak-wal"));
    b.udid(QStringLiteral("bak-wal"))
        .productType(QStringLiteral("iPhone8,1"))
        .productVersion(QStringLiteral("10.3"));
    b.afcFile(QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb.bak"), main);
    b.afcFile(QStringLiteral("iTunes_Control/iTunes/MediaLibrary.sqlitedb-wal.bak"), wal);
    const QString udid = m_simulator->attach(b.build());
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->deviceMediaLibrary(), nullptr);
    EXPECT_EQ(page->deviceMediaLibrary()->getAllTracks().size(), 2);
    m_simulator->detach(udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
}

TEST_F(AppDelegateTest, ArtworkReaderFollowsTheDatabasesFound)
{
    struct Case {
        const char* name;
        QStringList files;
        QStringList expected;
        QString deviceFolder;
    };
    const Case cases[] = {
        {"main and bak: the main copy, which the media library read prefers",
         {"iTunes_Control/iTunes/MediaLibrary.sqlitedb",
          "iTunes_Control/iTunes/MediaLibrary.sqlitedb.bak"},
         {"ML:MediaLibrary.sqlitedb"},
         QString()},
        {"bak alone",
         {"iTunes_Control/iTunes/MediaLibrary.sqlitedb.bak"},
         {"ML:MediaLibrary.sqlitedb.bak"},
         QString()},
        {"ArtworkDB alone",
         {"iTunes_Control/iTunes/iTunesDB", "iTunes_Control/Artwork/ArtworkDB"},
         {"ArtworkDB:ArtworkDB"},
         QStringLiteral("/iTunes_Control/Artwork/")},
        {"ArtworkDB skipped beside a media library",
         {"iTunes_Control/iTunes/MediaLibrary.sqlitedb", "iTunes_Control/Artwork/ArtworkDB"},
         {"ML:MediaLibrary.sqlitedb"},
         QString()},
        {"none", {"iTunes_Control/iTunes/iTunesDB"}, {}, QString()},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_artworkMade.clear();
        m_lastArtwork.reset();
        launch();
        SimulatedDeviceBuilder b(m_dir.path() + QStringLiteral("/art%1").arg(++n));
        b.udid(QStringLiteral("art%1").arg(n));
        const QByteArray db = mediaLibraryBytes(m_dir.path(), 2);
        for (const QString& f : c.files)
            b.afcFile(
                f, f.contains(QStringLiteral("MediaLibrary")) ? db : QByteArray("not a database"));
        const QString udid = m_simulator->attach(b.build());
        ASSERT_NE(waitForContentPage(), nullptr);
        EXPECT_EQ(m_artworkMade, c.expected);
        if (c.expected.isEmpty()) {
            EXPECT_EQ(m_delegate->imageLibrary(), nullptr);
        } else {
            ASSERT_EQ(m_delegate->imageLibrary(), m_lastArtwork);
            EXPECT_EQ(m_lastArtwork->libraryDirectoryOnDevice(), c.deviceFolder);
            EXPECT_EQ(m_lastArtwork->directoryContent(), Locations::temporaryFolder());
        }
        m_simulator->detach(udid);
        ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
        m_delegate.reset();
        m_window.reset();
    }
}

// An artwork reader that holds the read chain until released, so a test can
// unplug the device in the middle of it.
class BlockingArtworkReader : public QELDeviceImageLibraryReader {
public:
    using QELDeviceImageLibraryReader::QELDeviceImageLibraryReader;
    bool readImageDatabase() override
    {
        started = true;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (auto* d = delegate())
            d->OnDeviceImageLibraryDatabaseReadComplete(
                QELDeviceImageLibraryDatabaseReadCompleteArguments(true, {}));
        return true;
    }
    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
};

TEST_F(AppDelegateTest, ReadOfADeviceThatLeftNeverShowsItsContentAndAReplugReadsAgain)
{
    std::vector<std::shared_ptr<BlockingArtworkReader>> readers;
    m_window = std::make_unique<QMainWindow>();
    Orvane11AppDelegate::Environment env = environment();
    env.makeArtworkReader = [&](Orvane11AppDelegate::ArtworkDatabase, const QString& folder,
                                const QString& name) {
        auto reader =
            std::make_shared<BlockingArtworkReader>(folder, name, QStringLiteral("artwork.db"));
        readers.push_back(reader);
        return reader;
    };
    m_delegate = std::make_unique<Orvane11AppDelegate>(m_window.get(), env);
    m_window->show();
    m_delegate->applicationDidFinishLaunching();

    const QString folder =
        phone(QStringLiteral("p4"), QStringLiteral("iPhone10,4"), QStringLiteral("14.0"));
    const QString udid = m_simulator->attach(folder);
    ASSERT_TRUE(waitUntil([&] { return !readers.empty() && readers.back()->started.load(); }));
    EXPECT_EQ(shownPage(), m_delegate->readingDeviceView());
    m_simulator->detach(udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
    readers.back()->release = true;
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(m_delegate->contentPageShowCount(), 0);
    EXPECT_EQ(shownPage(), m_delegate->lookingForDeviceView());

    // Plugged in again: a new read, which ends on the content page.
    m_simulator->attach(folder);
    ASSERT_TRUE(waitUntil([&] { return readers.size() == 2 && readers.back()->started.load(); }));
    readers.back()->release = true;
    ASSERT_NE(waitForContentPage(), nullptr);
    EXPECT_EQ(m_delegate->contentPageShowCount(), 1);
    EXPECT_EQ(m_delegate->imageLibrary(), readers.back());
}

TEST_F(AppDelegateTest, QuickUnplugAndReplugRunsOneReadAtATime)
{
    launch();
    const QString folder =
        phone(QStringLiteral("p5"), QStringLiteral("iPhone12,1"), QStringLiteral("16.0"), 40);
    for (int i = 0; i < 3; ++i) {
        const QString udid = m_simulator->attach(folder);
        m_simulator->waitForNotifications();
        m_simulator->detach(udid);
        m_simulator->waitForNotifications();
    }
    m_simulator->attach(folder);
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(m_delegate->contentPageShowCount(), 1);
    ASSERT_NE(m_delegate->mediaLibrary(), nullptr);
    EXPECT_EQ(m_delegate->mediaLibrary()->getAllTracks().size(), 40);
}

TEST_F(AppDelegateTest, ShutdownRunsOnceQuitsTheMusicApplicationWithABoundAndRestoresPreferences)
{
    const QByteArray prefs(300, 'p');
    SimulatedDeviceBuilder b(m_dir.path() + QStringLiteral("/prefs"));
    b.udid(QStringLiteral("prefs-1"))
        .afcFile(QStringLiteral("iTunes_Control/iTunes/iTunesPrefs"), prefs);
    const QString folder = b.build();
    launch();
    m_simulator->attach(folder);
    ASSERT_NE(waitForContentPage(), nullptr);

    // The music application started meanwhile and never quits: the wait ends at its bound.
    m_host->running = true;
    m_host->acceptsQuit = false;
    m_delegate->windowWillClose();
    EXPECT_EQ(m_host->quitRequests, 1);
    m_delegate->windowWillClose();
    EXPECT_EQ(m_host->quitRequests, 1);
    EXPECT_TRUE(m_ejected.isEmpty()); // an iOS device is never ejected
    QFile file(folder + QStringLiteral("/afc/iTunes_Control/iTunes/iTunesPrefs"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), prefs);
    EXPECT_TRUE(QDir(Locations::temporaryFolder()).isEmpty());
}

TEST_F(AppDelegateTest, ShutdownWithTheMusicApplicationPageSkipsTheDeviceSteps)
{
    m_host->running = true;
    launch();
    m_delegate->windowWillClose();
    EXPECT_EQ(m_host->quitRequests, 0);
    EXPECT_EQ(m_delegate->deviceInterface(), nullptr);
}

TEST_F(AppDelegateTest, CancelOfTheHUDReachesOnlyAViewThatHasACopy)
{
    launch();
    m_simulator->attach(
        phone(QStringLiteral("p6"), QStringLiteral("iPhone11,2"), QStringLiteral("13.0")));
    QELDeviceContentView* page = waitForContentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->selectCategory(11));
    // The plain page answers no request: nothing is sent, nothing is thrown.
    EXPECT_NO_THROW(m_delegate->OnUserCancelCopyEvent());
}
