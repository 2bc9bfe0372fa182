// SPDX-License-Identifier: GPL-3.0-or-later
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "BackupFixtures.h"
#include "CategoryViews.h"
#include "Clock.h"
#include "IPodFramework.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "QELBackupNoticePage.h"
#include "QELBackupPasswordPage.h"
#include "QELDeviceBackup.h"
#include "QELDeviceContentView.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELDeviceInterface.h"
#include "QtPrinters.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"
#include "SpinnerIndicator.h"
#include "WaitUntil.h"

using namespace CategoryViews;
using Result = QELDeviceContentView::PasswordTestResult;

namespace {

// A backup-derived category view that counts its loads.
class FakeDataView : public QELDeviceDataCategoryContentView {
public:
    FakeDataView(int viewType, const QRect& frame)
        : QELDeviceDataCategoryContentView(frame)
        , viewType(viewType)
    {
    }
    Requests answeredRequests() const override { return Search; }
    void search(const QString&) override {}
    void loadData() override
    {
        QELDeviceDataCategoryContentView::loadData();
        ++loads;
    }
    int viewType;
    int loads = 0;
};

std::unique_ptr<QELDeviceInterface> deviceWithID(const QString& udid)
{
    auto device = std::make_unique<QELDeviceInterface>(
        std::make_shared<SimulatedMobileDevice>(),
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
    QELDeviceInformation info;
    info.setDeviceType(2);
    info.setDeviceId(udid);
    info.setIOSVersion(QStringLiteral("12.1"));
    device->setDeviceInformation(info);
    return device;
}

QELDeviceBackupCompleteArguments outcome(const QString& udid, bool successfull,
                                         bool encrypted = false, bool locked = false)
{
    QELDeviceBackupCompleteArguments arguments(successfull, encrypted);
    arguments.setLocked(locked);
    arguments.setDeviceID(udid);
    return arguments;
}

// The content page of a connected iPhone whose backups, password tests and
// help links are scripted.
class BackupPages : public ::testing::Test {
protected:
    void SetUp() override { connect(QStringLiteral("scripted-phone")); }

    void connect(const QString& udid)
    {
        m_udid = udid;
        m_device = deviceWithID(udid);
        QELDeviceInformation info = m_device->deviceInformation();
        m_page =
            std::make_unique<QELDeviceContentView>(QRect(0, 0, 900, 560), info, m_device.get());
        QELDeviceContentView::BackupServices services;
        services.makeBackup = [this] { return m_backup; };
        services.performBackup = [this](QELDeviceBackup& backup, const QString& deviceID) {
            EXPECT_EQ(&backup, m_backup.get());
            m_runs << deviceID;
            backup.setDeviceUID(deviceID);
            return true;
        };
        services.testPassword = [this](const QString& deviceID, const QString& password) {
            std::lock_guard lock(m_mutex);
            m_tested << deviceID + QLatin1Char(':') + password;
            return m_answers.isEmpty() ? Result::WrongPassword : m_answers.takeFirst();
        };
        services.makeView = [](int viewType, const QRect& frame,
                               QELDeviceInterface* device) -> QELDeviceCategoryContentView* {
            if (isBackupDerived(viewType))
                return new FakeDataView(viewType, frame);
            return makeView(viewType, frame, device);
        };
        services.openUrl = [this](const QUrl& url) { m_opened << url; };
        m_page->setBackupServices(services);
        m_page->show();
    }

    // The backup object's end of a run, as it comes: on its worker thread.
    void finish(const QELDeviceBackupCompleteArguments& arguments)
    {
        if (arguments.successfull())
            m_backup->setHasBackUpBeenPerformed(true);
        std::thread worker([&] { m_page->OnDeviceBackupCompleteEvent(arguments); });
        worker.join();
        QCoreApplication::processEvents();
    }

    QWidget* shown() const { return m_page->currentPage(); }
    FakeDataView* shownView() const
    {
        return dynamic_cast<FakeDataView*>(m_page->GetCurrentCategoryContentView());
    }
    QELBackupPasswordPage* passwordPage() const { return m_page->passwordRequiredView(); }
    QStringList tested()
    {
        std::lock_guard lock(m_mutex);
        return m_tested;
    }
    void answer(Result result)
    {
        std::lock_guard lock(m_mutex);
        m_answers << result;
    }
    // Types a password and waits for its test to be answered.
    void tryPassword(const QString& password, Qt::Key key = Qt::Key_Return)
    {
        passwordPage()->passwordtextField()->setText(password);
        const qsizetype before = tested().size();
        QTest::keyClick(passwordPage()->passwordtextField(), key);
        if (key == Qt::Key_Return) {
            ASSERT_TRUE(waitUntil([&] {
                return tested().size() > before
                    && passwordPage()->passwordContinueButton()->isEnabled();
            }));
        }
    }
    void reachPasswordPage()
    {
        ASSERT_TRUE(m_page->selectCategory(Contacts));
        finish(outcome(m_udid, true, true));
        ASSERT_EQ(shown(), passwordPage());
    }

    QString m_udid;
    std::shared_ptr<QELDeviceBackup> m_backup = std::make_shared<QELDeviceBackup>();
    std::unique_ptr<QELDeviceInterface> m_device;
    std::unique_ptr<QELDeviceContentView> m_page;
    QStringList m_runs;
    std::mutex m_mutex;
    QStringList m_tested;
    QList<Result> m_answers;
    QList<QUrl> m_opened;
};

} // namespace

TEST_F(BackupPages, FirstSelectionBacksUpThenShowsTheViewAndLaterOnesShowAtOnce)
{
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
    EXPECT_TRUE(m_page->deviceBackUpProgressView()->spinner()->isSpinning());
    EXPECT_EQ(m_page->deviceBackup(), m_backup);
    EXPECT_EQ(m_backup->delegate(), m_page.get());
    EXPECT_EQ(m_runs, QStringList{m_udid});
    EXPECT_EQ(m_page->GetCurrentCategoryContentView(),
              nullptr); // the control bar reaches no backup page

    finish(outcome(m_udid, true));
    FakeDataView* contacts = shownView();
    ASSERT_NE(contacts, nullptr);
    EXPECT_EQ(contacts->viewType, int(Contacts));
    EXPECT_EQ(contacts->deviceBackup(), m_backup);
    EXPECT_EQ(contacts->deviceInterface(), m_device.get());
    EXPECT_EQ(contacts->delegate(), m_page.get());
    EXPECT_EQ(contacts->loads, 1);
    ASSERT_NE(contacts->loadingPageView(), nullptr);
    EXPECT_EQ(contacts->loadingPageView()->parentWidget(), contacts);
    EXPECT_EQ(m_page->cachedView(Contacts), contacts);
    EXPECT_EQ(QELPagedView::subviewsOf(m_page->functionContentView()).size(), 1);

    // Made once per connection: the next category shows at once.
    ASSERT_TRUE(m_page->selectCategory(Notes));
    ASSERT_NE(shownView(), nullptr);
    EXPECT_EQ(shownView()->viewType, int(Notes));
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    EXPECT_EQ(shownView(), contacts);
    EXPECT_EQ(contacts->loads, 1);
    EXPECT_EQ(m_runs.size(), 1);
}

TEST_F(BackupPages, SelectionsDuringTheBackupStartNoOtherAndTheLastWins)
{
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    ASSERT_TRUE(m_page->selectCategory(Messages));
    ASSERT_TRUE(m_page->selectCategory(CallLogs));
    EXPECT_EQ(m_runs.size(), 1);
    EXPECT_EQ(m_page->queuedCategorySelection(), int(CallLogs));
    EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());

    finish(outcome(m_udid, true));
    ASSERT_NE(shownView(), nullptr);
    EXPECT_EQ(shownView()->viewType, int(CallLogs));
    EXPECT_EQ(m_page->cachedView(Contacts), nullptr);
    EXPECT_EQ(m_page->cachedView(Messages), nullptr);
}

TEST_F(BackupPages, LeavingForAShownCategoryKeepsItWhenTheBackupEnds)
{
    ASSERT_TRUE(m_page->selectCategory(Photos));
    QWidget* photos = shown();
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    ASSERT_TRUE(m_page->selectCategory(Photos));
    EXPECT_EQ(shown(), photos);
    // An encrypted backup ends while the user looks at photos: they stay.
    finish(outcome(m_udid, true, true));
    EXPECT_EQ(shown(), photos);
    // Back at a backup-derived category the password is asked for first.
    ASSERT_TRUE(m_page->selectCategory(Notes));
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_EQ(m_runs.size(), 1);
}

struct FailureCase {
    const char* name;
    bool backupFolder;     // the device has a backup folder
    bool statusFile;       // with a Status.plist in it
    bool locked;           // the device refused the backup as locked
    int retryOutcome;      // -1 no retry expected, 0 the retry fails, 1 it succeeds
    const char* finalPage; // "view", "failed" or "locked"
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedBackup : public BackupPages,
                     public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedBackup, IsRetriedOnceWhenItsStatusCouldBeCleared)
{
    const FailureCase& c = GetParam();
    connect(QStringLiteral("retry-") + QString::fromLatin1(c.name));
    const QString folder = Locations::backupRoot() + QLatin1Char('/') + m_udid;
    if (c.backupFolder) {
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    if (c.statusFile) {
        ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Status.plist"), "<plist/>"));
    }

    ASSERT_TRUE(m_page->selectCategory(Messages));
    finish(outcome(m_udid, false, false, c.locked));
    EXPECT_TRUE(m_page->isRetryBackupOperation());
    if (c.retryOutcome >= 0) {
        EXPECT_EQ(m_runs, (QStringList{m_udid, m_udid}));
        EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
        EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/Status.plist")));
        finish(outcome(m_udid, c.retryOutcome == 1, false, c.locked && c.retryOutcome == 0));
    }
    EXPECT_EQ(m_runs.size(), c.retryOutcome >= 0 ? 2 : 1);
    const QString page = QString::fromLatin1(c.finalPage);
    if (page == QLatin1String("view")) {
        ASSERT_NE(shownView(), nullptr);
        EXPECT_EQ(shownView()->viewType, int(Messages));
    } else {
        EXPECT_EQ(shown(),
                  page == QLatin1String("locked") ? m_page->deviceLockedView()
                                                  : m_page->backupFailedView());
        EXPECT_EQ(m_page->cachedView(Messages), nullptr);
        // Try again: the progress page and a new backup, itself retried once.
        QTest::mouseClick(static_cast<QELBackupNoticePage*>(shown())->findChild<QPushButton*>(
                              QStringLiteral("tryAgainButton")),
                          Qt::LeftButton);
        EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
        EXPECT_FALSE(m_page->isRetryBackupOperation());
        EXPECT_EQ(m_runs.size(), c.retryOutcome >= 0 ? 3 : 2);
        finish(outcome(m_udid, true));
        ASSERT_NE(shownView(), nullptr);
        EXPECT_EQ(shownView()->viewType, int(Messages));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedBackup,
    ::testing::Values(FailureCase{"status_removed_retry_fails", true, true, false, 0, "failed"},
                      FailureCase{"status_removed_retry_succeeds", true, true, false, 1, "view"},
                      FailureCase{"folder_without_status_retry_succeeds", true, false, false, 1,
                                  "view"},
                      FailureCase{"no_backup_folder_no_retry", false, false, false, -1, "failed"},
                      FailureCase{"locked_retried_then_locked", true, true, true, 0, "locked"},
                      FailureCase{"locked_without_folder", false, false, true, -1, "locked"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(BackupPages, AMissingBackupToolIsToldAsAnIncompleteProgramNotAsTheDevicesFault)
{
    ASSERT_TRUE(m_page->selectCategory(Messages));
    QELDeviceBackupCompleteArguments toolless = outcome(m_udid, false);
    toolless.setToolMissing(true);
    finish(toolless);
    ASSERT_EQ(shown(), m_page->backupFailedView());
    EXPECT_EQ(m_page->backupFailedView()->detailLabel()->text(), L("BACKUPTOOLMISSINGDETAIL"));
    EXPECT_NE(L("BACKUPTOOLMISSINGDETAIL"), QStringLiteral("BACKUPTOOLMISSINGDETAIL"));

    // A failure of the device itself asks to check the device again.
    QTest::mouseClick(
        m_page->backupFailedView()->findChild<QPushButton*>(QStringLiteral("tryAgainButton")),
        Qt::LeftButton);
    finish(outcome(m_udid, false));
    ASSERT_EQ(shown(), m_page->backupFailedView());
    EXPECT_EQ(m_page->backupFailedView()->detailLabel()->text(), L("BACKUPFAILEDDETAIL"));
}

TEST_F(BackupPages, EncryptedBackupAsksForThePasswordReturnTestsTabDoesNot)
{
    passwordPage()->passwordtextField()->setText(QStringLiteral("left over"));
    passwordPage()->setNotice(QStringLiteral("old notice"));
    reachPasswordPage();
    EXPECT_TRUE(passwordPage()->passwordtextField()->text().isEmpty());
    EXPECT_EQ(passwordPage()->passwordtextField()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(passwordPage()->passwordIncorrectTextField()->isHidden());
    EXPECT_TRUE(passwordPage()->passwordProgressIndicator()->isHidden());

    tryPassword(QStringLiteral("by tab"), Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_TRUE(tested().isEmpty());

    // A refused password: both buttons back, the notice, the password cleared;
    // the backup stays made, so it is not made again.
    passwordPage()->passwordtextField()->setText(QStringLiteral("wrong"));
    QTest::keyClick(passwordPage()->passwordtextField(), Qt::Key_Return);
    EXPECT_FALSE(passwordPage()->passwordContinueButton()->isEnabled());
    EXPECT_FALSE(passwordPage()->passwordCancelButton()->isEnabled());
    EXPECT_FALSE(passwordPage()->passwordProgressIndicator()->isHidden());
    EXPECT_EQ(m_backup->password(), std::optional<QString>(QStringLiteral("wrong")));
    ASSERT_TRUE(waitUntil([&] { return passwordPage()->passwordContinueButton()->isEnabled(); }));
    EXPECT_EQ(tested(), QStringList{m_udid + QStringLiteral(":wrong")});
    EXPECT_TRUE(passwordPage()->passwordCancelButton()->isEnabled());
    EXPECT_TRUE(passwordPage()->passwordProgressIndicator()->isHidden());
    EXPECT_FALSE(passwordPage()->passwordIncorrectTextField()->isHidden());
    EXPECT_EQ(passwordPage()->passwordIncorrectTextField()->text(), L("PASSWORDINCORRECT"));
    EXPECT_TRUE(m_backup->hasBackUpBeenPerformed());
    EXPECT_EQ(m_backup->password(), std::nullopt);
    EXPECT_EQ(shown(), passwordPage());
    // Another category after the refusal asks again, without another backup.
    ASSERT_TRUE(m_page->selectCategory(Notes));
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_EQ(m_runs.size(), 1);
    ASSERT_TRUE(m_page->selectCategory(Contacts));

    // The right one, by the Continue button.
    answer(Result::Passed);
    passwordPage()->passwordtextField()->setText(QStringLiteral("right"));
    QTest::mouseClick(passwordPage()->passwordContinueButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return shownView() != nullptr; }));
    EXPECT_EQ(shownView()->viewType, int(Contacts));
    EXPECT_EQ(m_backup->password(), std::optional<QString>(QStringLiteral("right")));
    EXPECT_EQ(shownView()->loads, 1);
    EXPECT_EQ(m_runs.size(), 1);
}

TEST_F(BackupPages, ATimedOutTestIsNotAWrongPassword)
{
    reachPasswordPage();
    answer(Result::TimedOut);
    tryPassword(QStringLiteral("slow"));
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_FALSE(passwordPage()->passwordIncorrectTextField()->isHidden());
    EXPECT_EQ(passwordPage()->passwordIncorrectTextField()->text(), L("PASSWORDTESTTIMEDOUT"));
    EXPECT_NE(L("PASSWORDTESTTIMEDOUT"), L("PASSWORDINCORRECT"));
    EXPECT_TRUE(m_backup->hasBackUpBeenPerformed());
    EXPECT_EQ(m_backup->password(), std::optional<QString>(QStringLiteral("slow")));
    EXPECT_EQ(passwordPage()->passwordtextField()->text(), QStringLiteral("slow"));
    // Continue again with the same text: this time it is checked.
    answer(Result::Passed);
    QTest::mouseClick(passwordPage()->passwordContinueButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return shownView() != nullptr; }));
    EXPECT_EQ(tested().size(), 2);
}

TEST_F(BackupPages, ABackupThatCannotBeReadIsNotAWrongPassword)
{
    reachPasswordPage();
    answer(Result::Failed);
    tryPassword(QStringLiteral("maybe right"));
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_FALSE(passwordPage()->passwordIncorrectTextField()->isHidden());
    EXPECT_EQ(passwordPage()->passwordIncorrectTextField()->text(), L("PASSWORDTESTFAILED"));
    EXPECT_NE(L("PASSWORDTESTFAILED"), L("PASSWORDINCORRECT"));
    EXPECT_NE(L("PASSWORDTESTFAILED"), QStringLiteral("PASSWORDTESTFAILED"));
    EXPECT_TRUE(m_backup->hasBackUpBeenPerformed());
    EXPECT_EQ(m_runs.size(), 1);
}

TEST_F(BackupPages, CancelShowsTheEncryptedPageWhichLeadsBackToThePassword)
{
    reachPasswordPage();
    passwordPage()->passwordtextField()->setText(QStringLiteral("half typed"));
    QTest::mouseClick(passwordPage()->passwordCancelButton(), Qt::LeftButton);
    EXPECT_EQ(shown(), m_page->dataEncryptedView());
    EXPECT_EQ(QELPagedView::subviewsOf(m_page->functionContentView()).size(), 1);
    EXPECT_FALSE(m_backup->hasBackUpBeenPerformed());
    EXPECT_EQ(m_backup->password(), std::nullopt);

    QTest::mouseClick(
        m_page->dataEncryptedView()->findChild<QPushButton*>(QStringLiteral("howToRemoveButton")),
        Qt::LeftButton);
    EXPECT_EQ(m_opened, QList<QUrl>{QELDeviceContentView::supportArticleUrl()});
    EXPECT_EQ(QELDeviceContentView::supportArticleUrl().path(),
              QStringLiteral("/support/showarticle.php"));
    EXPECT_EQ(QELDeviceContentView::supportArticleUrl().query(),
              QStringLiteral("article=181&product=1"));

    QTest::mouseClick(
        m_page->dataEncryptedView()->findChild<QPushButton*>(QStringLiteral("enterPasswordButton")),
        Qt::LeftButton);
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_EQ(QELPagedView::subviewsOf(m_page->functionContentView()).size(), 1);
    emit passwordPage()->helpLink()->linkActivated(QStringLiteral("help"));
    EXPECT_EQ(m_opened.size(), 2);
}

TEST_F(BackupPages, ThePasswordPageStaysWhenAnotherCategoryWithoutAViewIsSelected)
{
    ASSERT_TRUE(m_page->selectCategory(Photos));
    QWidget* photos = shown();
    reachPasswordPage();
    for (int viewType : {int(Notes), int(Internet), int(Files)}) {
        SCOPED_TRACE(viewType);
        ASSERT_TRUE(m_page->selectCategory(viewType));
        EXPECT_EQ(shown(), passwordPage());
        EXPECT_EQ(m_page->cachedView(viewType), nullptr);
    }
    EXPECT_EQ(m_runs.size(), 1);
    // A view made before is shown; coming back asks for the password again.
    ASSERT_TRUE(m_page->selectCategory(Photos));
    EXPECT_EQ(shown(), photos);
    ASSERT_TRUE(m_page->selectCategory(Voicemail));
    EXPECT_EQ(shown(), passwordPage());
    EXPECT_EQ(m_runs.size(), 1);
}

TEST_F(BackupPages, TheEndOfAGoneConnectionsBackupChangesNothingOfTheNext)
{
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    // The device goes during the backup, and comes back.
    m_page->ResetAllContentViews();
    EXPECT_EQ(shown(), nullptr);
    EXPECT_EQ(m_page->deviceBackup(), m_backup);
    EXPECT_EQ(m_page->queuedCategorySelection(), int(Contacts));
    m_page->DisplayCategoriesForDevice(2);
    ASSERT_TRUE(m_page->selectCategory(Notes));
    EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
    // The backup object is still busy with the old run: the new one waits for its end.
    EXPECT_EQ(m_runs.size(), 1);
    finish(outcome(m_udid, true, true));
    EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
    EXPECT_FALSE(m_backup->hasBackUpBeenPerformed());
    EXPECT_EQ(m_runs.size(), 2);
    // An end for another device is not this page's either.
    finish(outcome(QStringLiteral("another-phone"), true));
    EXPECT_EQ(shown(), m_page->deviceBackUpProgressView());
    finish(outcome(m_udid, true));
    ASSERT_NE(shownView(), nullptr);
    EXPECT_EQ(shownView()->viewType, int(Notes));
}

TEST_F(BackupPages, APasswordTestOfAGoneConnectionIsDropped)
{
    reachPasswordPage();
    answer(Result::Passed);
    passwordPage()->passwordtextField()->setText(QStringLiteral("right"));
    QTest::keyClick(passwordPage()->passwordtextField(), Qt::Key_Return);
    m_page->ResetAllContentViews();
    EXPECT_TRUE(passwordPage()->passwordContinueButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return tested().size() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), nullptr);
    EXPECT_EQ(m_page->cachedViewCount(), 0);
}

TEST(MessagesView, IsToldTheMajorVersionOnlyWhenTheDeviceHasOne)
{
    EXPECT_EQ(messagesIOSVersion(QStringLiteral("12.1.4")), std::optional<int>(12));
    EXPECT_EQ(messagesIOSVersion(QStringLiteral("10")), std::optional<int>(10));
    EXPECT_EQ(messagesIOSVersion(QString()), std::nullopt);
    EXPECT_EQ(messagesIOSVersion(QStringLiteral("beta")), std::nullopt);
}

// The real backup object and the backup tool with simulated devices.
class RealBackupPages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_devices.isValid()); }
    void TearDown() override
    {
        m_page.reset();
        qunsetenv("ORVANE_SIMULATED_DEVICES");
    }
    void open(SimulatedDeviceBuilder& builder, const QString& udid)
    {
        const QString folder =
            builder.udid(udid)
                .backupFile(QStringLiteral("HomeDomain"),
                            QStringLiteral("Library/Preferences/com.apple.springboard.plist"),
                            "<plist/>")
                .backupFile(QStringLiteral("HomeDomain"),
                            QStringLiteral("Library/AddressBook/AddressBook.sqlitedb"), "contacts")
                .build();
        ASSERT_FALSE(folder.isEmpty());
        qputenv("ORVANE_SIMULATED_DEVICES", folder.toUtf8());
        m_device = deviceWithID(udid);
        m_page = std::make_unique<QELDeviceContentView>(
            QRect(0, 0, 900, 560), m_device->deviceInformation(), m_device.get());
        // The real backup object, blind to backups that other tests run at the same time.
        QELDeviceContentView::BackupServices services;
        services.makeBackup = [] {
            return std::make_shared<QELDeviceBackup>(
                BackupToolSettings{QString(), {QStringLiteral("no-such-backup")}});
        };
        m_page->setBackupServices(services);
        m_page->show();
    }
    QTemporaryDir m_devices;
    std::unique_ptr<QELDeviceInterface> m_device;
    std::unique_ptr<QELDeviceContentView> m_page;
};

TEST_F(RealBackupPages, EncryptedDeviceIsBackedUpAndOpensWithItsPassword)
{
    SimulatedDeviceBuilder builder(m_devices.path() + QStringLiteral("/enc"));
    builder.backupPassword(QStringLiteral("open sesame"));
    open(builder, QStringLiteral("real-encrypted-phone"));
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    EXPECT_EQ(m_page->currentPage(), m_page->deviceBackUpProgressView());
    QELBackupPasswordPage* password = m_page->passwordRequiredView();
    ASSERT_TRUE(waitUntil([&] { return m_page->currentPage() == password; }, 60000));
    EXPECT_TRUE(m_page->deviceBackup()->hasBackUpBeenPerformed());
    // The password tests run the real tool: they get its nominal time limit,
    // which a fast clock would shrink below what a loaded machine needs.
    Clock::setScale(1.0);

    password->passwordtextField()->setText(QStringLiteral("wrong"));
    QTest::keyClick(password->passwordtextField(), Qt::Key_Return);
    ASSERT_TRUE(
        waitUntil([&] { return !password->passwordIncorrectTextField()->isHidden(); }, 60000));
    EXPECT_EQ(password->passwordIncorrectTextField()->text(), L("PASSWORDINCORRECT"));

    password->passwordtextField()->setText(QStringLiteral("open sesame"));
    QTest::keyClick(password->passwordtextField(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return m_page->cachedView(Contacts) != nullptr; }, 60000));
    EXPECT_EQ(m_page->GetCurrentCategoryContentView(), m_page->cachedView(Contacts));
    // The test file was extracted into no place the user keeps.
    EXPECT_FALSE(QFileInfo::exists(Locations::backupRoot()
                                   + QStringLiteral("/com.apple.springboard.plist")));
}

TEST_F(RealBackupPages, LockedDeviceShowsTheLockedPage)
{
    SimulatedDeviceBuilder builder(m_devices.path() + QStringLiteral("/locked"));
    builder.backupLocked();
    open(builder, QStringLiteral("real-locked-phone"));
    ASSERT_TRUE(m_page->selectCategory(Notes));
    ASSERT_TRUE(
        waitUntil([&] { return m_page->currentPage() == m_page->deviceLockedView(); }, 60000));
    EXPECT_TRUE(m_page->isRetryBackupOperation());
    EXPECT_EQ(m_page->cachedView(Notes), nullptr);
}
