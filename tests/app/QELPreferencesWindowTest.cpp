#include "CopyToMacPreferences.h"
#include "FolderMediaLibraryHost.h"
#include "GeneralPreferences.h"
#include "LocalVersionServer.h"
#include "LocalizedStrings.h"
#include "QELOrvanePreferencesDelegate.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "QELPreferences.h"
#include "QELUpdateChecker.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"
#include "UpdatePreferences.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <stdexcept>

// Catches the addresses the program asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

class ClosingDelegate : public QELOrvanePreferencesDelegate {
public:
    void OnPreferencesWindowClose() override { ++closes; }
    int closes = 0;
};

QString musicFolder() { return TestEnvironment::home() + QStringLiteral("/Music"); }

class PreferencesWindow : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }

    std::unique_ptr<QELOrvanePreferencesWindowsController> openWindow()
    {
        auto window = std::make_unique<QELOrvanePreferencesWindowsController>();
        window->setDelegate(&m_delegate);
        window->show();
        return window;
    }

    template <typename Pane> Pane* pane(QELOrvanePreferencesWindowsController& window)
    {
        auto* shown = qobject_cast<Pane*>(window.currentPane());
        EXPECT_TRUE(shown);
        return shown;
    }

    void click(QELOrvanePreferencesWindowsController& window, const char* identifier)
    {
        window.toolbarItem(QLatin1String(identifier))->trigger();
        QCoreApplication::processEvents();
    }

    static QVariant stored(const QString& key) { return QSettings().value(key); }

    ClosingDelegate m_delegate;
};

TEST_F(PreferencesWindow, OpensOnTheCopyPaneWithTheDefaults)
{
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(window->toolbarItem(QLatin1String(QELOrvanePreferencesWindowsController::kCopyToMacToolbarButton))->isChecked());
    EXPECT_EQ(copy->textFieldSaveLocation()->text(), musicFolder());
    EXPECT_FALSE(copy->checkBoxOverwriteExistingFiles()->isChecked());
    EXPECT_TRUE(copy->checkBoxShowCopyCompleteMessage()->isChecked());
    EXPECT_TRUE(copy->checkBoxShowSetCopyLocation()->isChecked());
    EXPECT_EQ(copy->folderLevelOne()->currentIndex(), 1);
    EXPECT_EQ(copy->folderLevelTwo()->currentIndex(), 2);
    EXPECT_EQ(copy->folderLevelThree()->currentIndex(), 0);
    EXPECT_EQ(copy->fileNameSegmentOne()->currentIndex(), 1);
    EXPECT_EQ(copy->fileNameSegmentTwo()->currentIndex(), 0);
    EXPECT_EQ(copy->fileNameSegmentThree()->currentIndex(), 5);
    EXPECT_FALSE(copy->fileNameSegmentThree()->isEnabled());
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), musicFolder() + QStringLiteral("/Artist/Album/Track Number-Track Name"));
}

TEST_F(PreferencesWindow, ToolbarHasItsThreeItems)
{
    auto window = openWindow();
    const std::pair<const char*, const char*> items[] = {
        {QELOrvanePreferencesWindowsController::kCopyToMacToolbarButton, "COPYTOMAC"},
        {QELOrvanePreferencesWindowsController::kGeneralToolbarButton, "GENERAL"},
        {QELOrvanePreferencesWindowsController::kUpdateToolbarButton, "UPDATES"}};
    for (const auto& [identifier, label] : items) {
        SCOPED_TRACE(identifier);
        QAction* item = window->toolbarItem(QLatin1String(identifier));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->text(), L(label));
        EXPECT_NE(item->text(), QLatin1String(label));   // the string table has it
        EXPECT_FALSE(item->icon().isNull());
        EXPECT_TRUE(window->toolbar()->actions().contains(item));
    }
    click(*window, QELOrvanePreferencesWindowsController::kGeneralToolbarButton);
    EXPECT_TRUE(pane<GeneralPreferences>(*window));
    EXPECT_FALSE(window->toolbarItem(QLatin1String(QELOrvanePreferencesWindowsController::kCopyToMacToolbarButton))->isChecked());
    click(*window, QELOrvanePreferencesWindowsController::kUpdateToolbarButton);
    EXPECT_TRUE(pane<UpdatePreferences>(*window));
}

// The example path for stored folder and name choices.
struct ExampleCase {
    const char* name;
    const char* saveFolder;   // "" keeps the default
    int levels[3];
    int segments[2];
    const char* expected;     // after the save folder
};

class ExamplePath : public PreferencesWindow, public ::testing::WithParamInterface<ExampleCase> {};

TEST_P(ExamplePath, FollowsTheFolderAndNameRules)
{
    const ExampleCase& c = GetParam();
    QSettings settings;
    if (*c.saveFolder)
        settings.setValue(QELPreferences::kCopyToMacSaveFolder, QString::fromUtf8(c.saveFolder));
    settings.setValue(QELPreferences::kCopyToMacFolderLevelOne, c.levels[0]);
    settings.setValue(QELPreferences::kCopyToMacFolderLevelTwo, c.levels[1]);
    settings.setValue(QELPreferences::kCopyToMacFolderLevelThree, c.levels[2]);
    settings.setValue(QELPreferences::kCopyToMacFileNameSegmentOne, c.segments[0]);
    settings.setValue(QELPreferences::kCopyToMacFileNameSegmentTwo, c.segments[1]);
    settings.sync();

    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    const QString folder = *c.saveFolder ? QString::fromUtf8(c.saveFolder) : musicFolder();
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), folder + QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExamplePath,
    ::testing::Values(
        ExampleCase{"defaults", "", {1, 2, 0}, {1, 0}, "/Artist/Album/Track Number-Track Name"},
        ExampleCase{"noFoldersOnlyTheName", "", {0, 0, 0}, {0, 0}, "/Track Name"},
        ExampleCase{"allThreeLevels", "/srv/Music", {3, 1, 2}, {8, 6}, "/Genre/Artist/Album/Genre-Artist-Track Name"},
        ExampleCase{"gapInTheLevels", "/srv/Music", {0, 2, 0}, {0, 3}, "/Album/Disc Number-Track Name"},
        ExampleCase{"countsAndDiscs", "/srv/Music", {1, 0, 3}, {4, 2}, "/Artist/Genre/Disc Count-Track Count-Track Name"},
        ExampleCase{"folderEndingInASlash", "/srv/Music/", {1, 0, 0}, {0, 7}, "Artist/Album-Track Name"},
        ExampleCase{"levelOutOfRangeIsLeftOut", "/srv/Music", {9, 2, 0}, {-1, 0}, "/Album/Track Name"},
        ExampleCase{"nonAsciiFolder", "/home/zoë/Müsik", {2, 0, 0}, {1, 0}, "/Album/Track Number-Track Name"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreferencesWindow, TheExampleFollowsEachChange)
{
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    copy->folderLevelThree()->setCurrentIndex(3);
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), musicFolder() + QStringLiteral("/Artist/Album/Genre/Track Number-Track Name"));
    copy->folderLevelOne()->setCurrentIndex(0);
    copy->fileNameSegmentTwo()->setCurrentIndex(7);
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), musicFolder() + QStringLiteral("/Album/Genre/Track Number-Album-Track Name"));
    copy->fileNameSegmentOne()->setCurrentIndex(0);
    copy->fileNameSegmentTwo()->setCurrentIndex(0);
    copy->folderLevelTwo()->setCurrentIndex(0);
    copy->folderLevelThree()->setCurrentIndex(0);
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), musicFolder() + QStringLiteral("/Track Name"));
    copy->textFieldSaveLocation()->setText(QStringLiteral("/media/usb"));
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), QStringLiteral("/media/usb/Track Name"));
}

TEST_F(PreferencesWindow, BrowsingChangesTheSaveFolderOnlyWhenAFolderIsChosen)
{
    const QString chosen = TestEnvironment::home() + QStringLiteral("/Chosen Folder");
    ASSERT_TRUE(QDir().mkpath(chosen));
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);

    QTest::mouseClick(copy->buttonSaveLocationBrowse(), Qt::LeftButton);
    ASSERT_TRUE(copy->folderPanel());
    EXPECT_EQ(copy->folderPanel()->labelText(QFileDialog::Accept), L("SELECTFOLDER"));
    EXPECT_EQ(copy->folderPanel()->fileMode(), QFileDialog::Directory);
    copy->folderPanel()->reject();
    QCoreApplication::processEvents();
    EXPECT_FALSE(copy->folderPanel());
    EXPECT_EQ(copy->textFieldSaveLocation()->text(), musicFolder());

    QTest::mouseClick(copy->buttonSaveLocationBrowse(), Qt::LeftButton);
    ASSERT_TRUE(copy->folderPanel());
    copy->folderPanel()->setDirectory(QFileInfo(chosen).path());
    copy->folderPanel()->selectFile(chosen);
    static_cast<QDialog*>(copy->folderPanel())->accept();   // as the Select button does
    QCoreApplication::processEvents();
    EXPECT_EQ(copy->textFieldSaveLocation()->text(), chosen);
    EXPECT_EQ(copy->textFieldExampleSavePath()->text(), chosen + QStringLiteral("/Artist/Album/Track Number-Track Name"));
}

TEST_F(PreferencesWindow, WritesEveryKeyWhenThePaneIsLeftAndTheWindowCloses)
{
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    copy->textFieldSaveLocation()->setText(QStringLiteral("/srv/copies"));
    copy->checkBoxOverwriteExistingFiles()->setChecked(true);
    copy->checkBoxShowCopyCompleteMessage()->setChecked(false);
    copy->checkBoxShowSetCopyLocation()->setChecked(false);
    copy->folderLevelOne()->setCurrentIndex(3);
    copy->folderLevelTwo()->setCurrentIndex(0);
    copy->folderLevelThree()->setCurrentIndex(1);
    copy->fileNameSegmentOne()->setCurrentIndex(7);
    copy->fileNameSegmentTwo()->setCurrentIndex(2);
    EXPECT_FALSE(stored(QELPreferences::kCopyToMacSaveFolder).isValid());   // nothing before leaving the pane

    const QPointer<CopyToMacPreferences> left = copy;
    click(*window, QELOrvanePreferencesWindowsController::kGeneralToolbarButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(left);   // a replaced pane goes
    EXPECT_EQ(stored(QELPreferences::kCopyToMacSaveFolder).toString(), QStringLiteral("/srv/copies"));
    EXPECT_EQ(stored(QELPreferences::kCopyToMacOverwriteFiles).toInt(), 1);
    EXPECT_EQ(stored(QELPreferences::kShowCopyCompleteMessage).toInt(), 0);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFolderLevelOne).toInt(), 3);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFolderLevelTwo).toInt(), 0);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFolderLevelThree).toInt(), 1);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFileNameSegmentOne).toInt(), 7);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFileNameSegmentTwo).toInt(), 2);
    EXPECT_EQ(stored(QELPreferences::kCopyToMacFileNameSegmentThree).toInt(), 5);
    EXPECT_FALSE(QELPreferences::ShowSetCopyLocationBeforeCopy());
    EXPECT_TRUE(QELPreferences::CopyToMacOverwriteFiles());
    EXPECT_FALSE(QELPreferences::ShowCopyCompleteMessage());

    auto* general = pane<GeneralPreferences>(*window);
    ASSERT_TRUE(general);
    EXPECT_EQ(general->playbackVolumeSlider()->value(), 60);
    EXPECT_TRUE(general->showICloudItemsButton()->isChecked());
    EXPECT_TRUE(general->ejectOnExitButton()->isChecked());
    EXPECT_TRUE(general->showArtworkButton()->isChecked());
    general->playbackVolumeSlider()->setValue(35);
    general->showICloudItemsButton()->setChecked(false);
    general->ejectOnExitButton()->setChecked(false);
    general->showArtworkButton()->setChecked(false);

    // Leaving General saves it at once, before the window closes.
    click(*window, QELOrvanePreferencesWindowsController::kUpdateToolbarButton);
    EXPECT_DOUBLE_EQ(stored(QELPreferences::kPlaybackVolume).toDouble(), 35.0);
    EXPECT_DOUBLE_EQ(QELPreferences::PlaybackVolume(), 35.0);
    EXPECT_EQ(stored(QELPreferences::kShowItemInICloud).toInt(), 0);
    EXPECT_EQ(stored(QELPreferences::kEjectIPodOnExit).toInt(), 0);
    EXPECT_FALSE(QELPreferences::ShowArtwork());
    EXPECT_FALSE(QELPreferences::showItemsInICloud());
    EXPECT_FALSE(QELPreferences::ejectIPodOnExit());
    EXPECT_EQ(m_delegate.closes, 0);

    auto* updates = pane<UpdatePreferences>(*window);
    ASSERT_TRUE(updates);
    EXPECT_TRUE(updates->automaticallyCheckForUpdateCheckbox()->isChecked());
    updates->automaticallyCheckForUpdateCheckbox()->setChecked(false);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("buttonOK")), Qt::LeftButton);
    EXPECT_EQ(stored(QELPreferences::kCheckForUpdateOnStart).toInt(), 0);
    EXPECT_FALSE(QELPreferences::checkForUpdatesOnStartUp());
    EXPECT_EQ(m_delegate.closes, 1);

    // The delegate closes the window; that does not save or report again.
    updates->automaticallyCheckForUpdateCheckbox()->setChecked(true);
    window->close();
    EXPECT_EQ(m_delegate.closes, 1);
    EXPECT_FALSE(QELPreferences::checkForUpdatesOnStartUp());
}

TEST_F(PreferencesWindow, ClosingTheWindowSavesAsOKDoes)
{
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    copy->checkBoxOverwriteExistingFiles()->setChecked(true);
    window->close();
    EXPECT_TRUE(QELPreferences::CopyToMacOverwriteFiles());
    EXPECT_EQ(m_delegate.closes, 1);
}

TEST_F(PreferencesWindow, EachPaneReadsTheStoredValuesAfresh)
{
    auto window = openWindow();
    click(*window, QELOrvanePreferencesWindowsController::kGeneralToolbarButton);
    QSettings().setValue(QELPreferences::kCopyToMacFolderLevelOne, 2);
    QSettings().setValue(QELPreferences::kPlaybackVolume, 80.0);
    click(*window, QELOrvanePreferencesWindowsController::kCopyToMacToolbarButton);
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->folderLevelOne()->currentIndex(), 2);
    click(*window, QELOrvanePreferencesWindowsController::kUpdateToolbarButton);
    click(*window, QELOrvanePreferencesWindowsController::kGeneralToolbarButton);
    // Saved by the General pane that was left before the value was stored.
    EXPECT_EQ(pane<GeneralPreferences>(*window)->playbackVolumeSlider()->value(), 60);
}

TEST_F(PreferencesWindow, TheLastNamePartIsAlwaysTheTrackName)
{
    QSettings().setValue(QELPreferences::kCopyToMacFileNameSegmentThree, 2);
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->fileNameSegmentThree()->currentIndex(), 5);
    EXPECT_FALSE(copy->fileNameSegmentThree()->isEnabled());
    window->close();
    EXPECT_EQ(QELPreferences::CopyToMacFileNameSegmentThree(), 5);
}

TEST_F(PreferencesWindow, AListWithoutASelectionLeavesItsKey)
{
    QSettings().setValue(QELPreferences::kCopyToMacFolderLevelTwo, 9);
    QSettings().setValue(QELPreferences::kCopyToMacFileNameSegmentOne, -3);
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->folderLevelTwo()->currentIndex(), -1);
    EXPECT_EQ(copy->fileNameSegmentOne()->currentIndex(), -1);
    window->close();
    EXPECT_EQ(QELPreferences::CopyToMacFolderLevelTwo(), 9);
    EXPECT_EQ(QELPreferences::CopyToMacFileNameSegmentOne(), -3);
    EXPECT_EQ(QELPreferences::CopyToMacFolderLevelOne(), 1);
}

TEST_F(PreferencesWindow, AnEmptiedSaveFolderIsNotStored)
{
    QSettings().setValue(QELPreferences::kCopyToMacSaveFolder, QStringLiteral("/srv/keep"));
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    copy->textFieldSaveLocation()->setText(QStringLiteral("  "));
    window->close();
    EXPECT_EQ(QELPreferences::CopyToMacSaveFolder(), QStringLiteral("/srv/keep"));
}

TEST_F(PreferencesWindow, TheUpdatesPaneShowsTheAnswerOfACheck)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.9"));
    VersionServer server;
    auto window = openWindow();
    click(*window, QELOrvanePreferencesWindowsController::kUpdateToolbarButton);
    auto* updates = pane<UpdatePreferences>(*window);
    ASSERT_TRUE(updates);
    EXPECT_TRUE(updates->updateAvailableBox()->isHidden());
    EXPECT_TRUE(updates->noUpdateAvailableLabel()->isHidden());
    updates->updateChecker()->setVersionFileUrl(server.url());
    updates->updateChecker()->setTimeout(std::chrono::seconds(1000));

    struct Step {
        QByteArray answer;
        bool boxShown, labelShown, failedShown;
    };
    const Step steps[] = {
        {VersionServer::answer("200 OK", "text/plain", "1.10"), true, false, false},
        {VersionServer::answer("200 OK", "text/plain", "1.9"), false, true, false},
        {VersionServer::answer("200 OK", "image/png", "2.0"), false, false, true},
        {VersionServer::answer("200 OK", "text/plain", "3"), true, false, false},
    };
    int expectedRequests = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.answer.constData());
        server.response = step.answer;
        QTest::mouseClick(updates->preferencesUpdateButton(), Qt::LeftButton);
        ++expectedRequests;
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests == expectedRequests; }, 10000));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return updates->updateAvailableBox()->isHidden() == !step.boxShown
                         && updates->noUpdateAvailableLabel()->isHidden() == !step.labelShown
                         && updates->updateCheckFailedLabel()->isHidden() == !step.failedShown; },
            10000));
    }
    QCoreApplication::setApplicationVersion(QString());
}

TEST_F(PreferencesWindow, DownloadOpensTheUpdatePage)
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &opened, "open");
    auto window = openWindow();
    click(*window, QELOrvanePreferencesWindowsController::kUpdateToolbarButton);
    auto* updates = pane<UpdatePreferences>(*window);
    ASSERT_TRUE(updates);
    updates->OnUpdateCheckReturnsWithUpdateAvailable(true);
    QTest::mouseClick(updates->downloadUpdateButton(), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls.first(), QUrl(L("UPDATEURL")));
    EXPECT_EQ(opened.urls.first().scheme(), QStringLiteral("https"));
}

TEST(PreferencesPane, TheBaseSaveMustBeOverridden)
{
    QELPreferencesView pane;
    try {
        pane.SavePreferencesInView();
        FAIL() << "no exception";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "You must override SavePreferencesInView in a subclass of QELPreferencesView");
    }
}

// The music folder row: the desktop's folder is shown and never pinned; a
// folder chosen through the chooser is where the music library host goes.
TEST_F(PreferencesWindow, TheMusicFolderRowChoosesTheLibraryFolder)
{
    const QString desktopMusic = TestEnvironment::home() + QStringLiteral("/Music");
    const QString chosen = TestEnvironment::home() + QStringLiteral("/Songs");
    ASSERT_TRUE(QDir().mkpath(chosen));
    {
        auto window = openWindow();
        auto* copy = pane<CopyToMacPreferences>(*window);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->textFieldMusicLibraryFolder()->text(), desktopMusic);
        QTest::mouseClick(copy->buttonMusicLibraryBrowse(), Qt::LeftButton);
        ASSERT_TRUE(copy->folderPanel());
        copy->folderPanel()->setDirectory(QFileInfo(chosen).path());
        copy->folderPanel()->selectFile(chosen);
        static_cast<QDialog*>(copy->folderPanel())->accept();
        QCoreApplication::processEvents();
        EXPECT_EQ(copy->textFieldMusicLibraryFolder()->text(), chosen);
        EXPECT_EQ(copy->textFieldSaveLocation()->text(), musicFolder());
        window->close();
    }
    EXPECT_EQ(FolderMediaLibraryHost().musicFolder(), chosen);
    EXPECT_EQ(FolderMediaLibraryHost().mediaFolder(), chosen);

    const struct {
        const char* typed;
        bool stored;
    } cases[] = {{"", false}, {"relative/music", false}, {"/srv/tunes/", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        auto window = openWindow();
        auto* copy = pane<CopyToMacPreferences>(*window);
        ASSERT_TRUE(copy);
        copy->textFieldMusicLibraryFolder()->setText(QString::fromUtf8(c.typed));
        window->close();
        EXPECT_EQ(QSettings().contains(QLatin1String(FolderMediaLibraryHost::kMusicFolderKey)),
                  c.stored);
        EXPECT_EQ(FolderMediaLibraryHost().musicFolder(),
                  c.stored ? QStringLiteral("/srv/tunes") : desktopMusic);
    }
    // Choosing the desktop's own folder again leaves nothing pinned.
    auto window = openWindow();
    auto* copy = pane<CopyToMacPreferences>(*window);
    ASSERT_TRUE(copy);
    copy->textFieldMusicLibraryFolder()->setText(desktopMusic);
    window->close();
    EXPECT_FALSE(QSettings().contains(QLatin1String(FolderMediaLibraryHost::kMusicFolderKey)));
}

} // namespace

#include "QELPreferencesWindowTest.moc"
