// SPDX-License-Identifier: GPL-3.0-or-later
// What a new user sees of the main window: a status panel that grows with
// the window and keeps its place, the standard Quit, controls that are on
// only where the shown page answers them, the preferences window on screen,
// and the looking-for-device page telling how devices are found.
#include <cstring>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QScreen>
#include <QToolButton>

#include "AppDelegateFixture.h"
#include "BackupFixtures.h"
#include "CategoryListModel.h"
#include "CategoryRegistry.h"
#include "CategoryViews.h"
#include "DeviceService.h"
#include "LocalizedStrings.h"
#include "QELDeviceCategoryContentView.h"
#include "QELHUDView.h"
#include "QELOrvanePreferencesWindowsController.h"
#include "WindowPlacement.h"

namespace {

class WindowLayout : public AppDelegateFixture {
protected:
    QELDeviceContentView* connectPhone()
    {
        if (!m_delegate)
            launch();
        m_udid = m_simulator->attach(
            phone(QStringLiteral("wl"), QStringLiteral("iPhone14,5"), QStringLiteral("17.2"), 2));
        return waitForContentPage();
    }
    void settle()
    {
        QCoreApplication::processEvents();
        if (QLayout* layout =
                m_window->centralWidget() ? m_window->centralWidget()->layout() : nullptr)
            layout->activate();
        QCoreApplication::processEvents();
    }
    QString m_udid;
};

// A socket that listens as the device service does.
class ListeningSocket {
public:
    explicit ListeningSocket(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        m_listening = m_fd >= 0
            && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0
            && ::listen(m_fd, 4) == 0;
    }
    ~ListeningSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool listening() const { return m_listening; }

private:
    int m_fd = -1;
    bool m_listening = false;
};

} // namespace

TEST_F(WindowLayout, TheStatusPanelGrowsWithTheWindowAndKeepsItsPlace)
{
    launch();
    m_window->resize(1400, 900);
    settle();
    QELHUDView* hud = m_delegate->hudView();
    // Far wider than its least width, and never wider than the window.
    const int wide = hud->width();
    EXPECT_GE(wide, 500);
    EXPECT_LT(hud->geometry().right(), m_window->width());
    m_window->resize(900, 600);
    settle();
    EXPECT_GE(hud->width(), 280);
    EXPECT_GE(wide - hud->width(), 250);

    // A device arrives: the panel stays where it is whatever the category offers.
    ASSERT_NE(connectPhone(), nullptr);
    settle();
    const QRect before = hud->geometry();
    const QRect field = m_delegate->searchTextField()->geometry();
    for (bool search : {false, true, false}) {
        SCOPED_TRACE(search);
        m_delegate->OnSearchFunctionalityAvailableNotification(search);
        settle();
        EXPECT_EQ(hud->geometry(), before);
        EXPECT_EQ(m_delegate->searchTextField()->geometry(), field);
    }
}

TEST_F(WindowLayout, ControlsAreOnOnlyWhereTheShownPageAnswersThem)
{
    using R = QELDeviceCategoryContentView;
    QELDeviceContentView* page = connectPhone();
    ASSERT_NE(page, nullptr);
    const auto* list = qobject_cast<const CategoryListModel*>(
        page->findChild<QListView*>(QStringLiteral("functionCollectionView"))->model());
    ASSERT_NE(list, nullptr);
    int offered = 0, withheld = 0;
    for (const QELFunctionDetail& function : list->functions()) {
        SCOPED_TRACE(function.displayViewType);
        ASSERT_TRUE(page->selectCategory(function.displayViewType));
        QCoreApplication::processEvents();
        // The backup's pages are no category view; the not-available page answers nothing.
        const R* shown = page->GetCurrentCategoryContentView();
        const bool answers = shown && shown->answers(R::Copy);
        EXPECT_EQ(m_delegate->copyToMacButton()->isEnabled(), answers);
        EXPECT_EQ(m_delegate->copyToITunesButton()->isEnabled()
                      && !(shown && shown->answers(R::Transfer)),
                  false);
        EXPECT_EQ(m_delegate->backUpButton()->isEnabled() && !(shown && shown->answers(R::BackUp)),
                  false);
        ++(answers ? offered : withheld);
    }
    // The pages of this build that answer a copy are those of the views
    // registered; the backup's and the not-available pages never do.
    EXPECT_GT(withheld, 0);
    EXPECT_GE(offered, 0);
}

TEST_F(WindowLayout, ARequestNobodyAnswersIsToldNotDroppedInSilence)
{
    QELDeviceContentView* page = connectPhone();
    ASSERT_NE(page, nullptr);
    // A category that needs a backup shows the backup's page until its own
    // view can read it: that page answers nothing, and a copy asked for all
    // the same (by a key, or a control switched on by mistake) says why
    // nothing happens.
    ASSERT_TRUE(CategoryViews::isBackupDerived(CategoryViews::Contacts));
    ASSERT_TRUE(page->selectCategory(CategoryViews::Contacts));
    const QELDeviceCategoryContentView* shown = page->GetCurrentCategoryContentView();
    ASSERT_TRUE(!shown || !shown->answers(QELDeviceCategoryContentView::Copy));
    m_delegate->CopyToMacClicked();
    QELHUDView* hud = m_delegate->hudView();
    EXPECT_EQ(hud->currentPage(), hud->informationView());
    EXPECT_EQ(hud->informationTopLine()->text(), L("NOTAVAILABLEHERE"));
    EXPECT_NE(L("NOTAVAILABLEHEREDETAIL"), QStringLiteral("NOTAVAILABLEHEREDETAIL"));
    EXPECT_FALSE(m_delegate->copyToMacButton()->isEnabled());
}

TEST_F(WindowLayout, QuitIsInTheMenuWithTheStandardKeysAndCleansUpAsClosing)
{
    launch();
    QAction* quit = m_window->menuBar()->findChild<QAction*>(QStringLiteral("menuQuit"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->menuRole(), QAction::QuitRole);
    // The platform's own Quit keys, and Ctrl+Q where it has none.
    const QList<QKeySequence> platform = QKeySequence::keyBindings(QKeySequence::Quit);
    EXPECT_EQ(quit->shortcuts(),
              platform.isEmpty() ? QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Q"))}
                                 : platform);
    EXPECT_TRUE(quit->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Q"))));

    // The music application started meanwhile: the clean-up asks it to quit,
    // as closing the window does.
    m_host->running = true;
    quit->trigger();
    EXPECT_EQ(m_host->quitRequests, 1);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_TRUE(QDir(Locations::temporaryFolder()).isEmpty());
    // Once only.
    m_delegate->windowWillClose();
    EXPECT_EQ(m_host->quitRequests, 1);
}

TEST_F(WindowLayout, ThePreferencesWindowOpensOnScreenAndThePanelGetsItsTextBack)
{
    launch();
    QELHUDView* hud = m_delegate->hudView();
    ASSERT_EQ(hud->informationTopLine()->text(), L("LOOKINGFORDEVICE"));
    const QRect screen = m_window->screen()->availableGeometry();
    // The main window sits at the far corner of the screen.
    m_window->move(screen.right() - 200, screen.bottom() - 150);
    m_delegate->menuPreferencesClicked();
    QELOrvanePreferencesWindowsController* preferences = m_delegate->preferencesWindow();
    ASSERT_NE(preferences, nullptr);
    EXPECT_TRUE(screen.contains(preferences->frameGeometry()))
        << preferences->frameGeometry().x() << "," << preferences->frameGeometry().y() << " "
        << preferences->frameGeometry().width() << "x" << preferences->frameGeometry().height()
        << " on " << screen.width() << "x" << screen.height();
    EXPECT_EQ(hud->informationTopLine()->text(), L("DISPLAYPREFERENCES"));
    preferences->close();
    EXPECT_EQ(hud->currentPage(), hud->informationView());
    EXPECT_EQ(hud->informationTopLine()->text(), L("LOOKINGFORDEVICE"));
}

TEST(WindowPlacement, CentresOverItsWindowAndStaysOnScreen)
{
    const QRect screen(0, 0, 1400, 900);
    struct Case {
        const char* name;
        QSize size;
        QRect over;
        QRect want;
    };
    const Case cases[] = {
        {"centred", {600, 500}, {100, 100, 1000, 700}, {300, 200, 600, 500}},
        {"owner at the right edge", {600, 500}, {1200, 100, 1000, 700}, {800, 200, 600, 500}},
        {"owner above the top", {600, 500}, {100, -400, 1000, 700}, {300, 0, 600, 500}},
        {"owner off the bottom left", {600, 500}, {-900, 800, 1000, 700}, {0, 400, 600, 500}},
        {"taller than the screen", {600, 1200}, {100, 100, 1000, 700}, {300, 0, 600, 900}},
        {"no owner", {600, 500}, {}, {400, 200, 600, 500}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowPlacement::centredInside(c.size, c.over, screen), c.want);
    }
    // A second screen to the right counts on its own coordinates.
    EXPECT_EQ(
        WindowPlacement::centredInside({600, 500}, {1500, 100, 1000, 700}, {1400, 0, 1920, 1080}),
        QRect(1700, 200, 600, 500));
}

TEST_F(WindowLayout, TheLookingForDevicePageSaysHowDevicesAreFound)
{
    m_deviceServiceRunning = false;
    launch();
    QELLookingForDeviceView* page = m_delegate->lookingForDeviceView();
    ASSERT_NE(page, nullptr);
    QLabel* notice = page->deviceServiceNotice();
    EXPECT_TRUE(notice->isVisibleTo(page));
    EXPECT_EQ(notice->text(), L("DEVICESERVICENOTRUNNING"));
    EXPECT_TRUE(notice->text().contains(QLatin1String("usbmuxd")));
    EXPECT_FALSE(notice->text().contains(QLatin1Char('\n')));

    // Started meanwhile: after the next device leaves, the line is gone.
    m_deviceServiceRunning = true;
    ASSERT_NE(connectPhone(), nullptr);
    m_simulator->detach(m_udid);
    ASSERT_TRUE(waitUntil([&] { return shownPage() == m_delegate->lookingForDeviceView(); }));
    EXPECT_FALSE(notice->isVisibleTo(page));
}

TEST(DeviceService, AnswersOnlyWhereSomethingListens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/usbmuxd");
    EXPECT_FALSE(DeviceService::isRunning("UNIX:" + QFile::encodeName(path)));
    ListeningSocket service(path);
    ASSERT_TRUE(service.listening());
    EXPECT_TRUE(DeviceService::isRunning("UNIX:" + QFile::encodeName(path)));
    // A plain file is no service; a network address is not probed.
    const QString file = dir.path() + QStringLiteral("/file");
    ASSERT_TRUE(writeFixtureFile(file, "x"));
    EXPECT_FALSE(DeviceService::isRunning("UNIX:" + QFile::encodeName(file)));
    EXPECT_TRUE(DeviceService::isRunning("127.0.0.1:27015"));
    EXPECT_FALSE(DeviceService::isRunning("UNIX:" + QByteArray(200, 'x')));
}
