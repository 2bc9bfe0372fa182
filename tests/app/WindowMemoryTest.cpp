// SPDX-License-Identifier: GPL-3.0-or-later
// What the window keeps between runs, and the locked page's sign that it tried.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QVBoxLayout>

#include "LocaleTime.h"
#include "LocalizedStrings.h"
#include "OpenGLAvailability.h"
#include "QELBackupNoticePage.h"
#include "QELMainWindow.h"
#include "QELWebView.h"
#include "WaitUntil.h"

TEST(WindowMemory, TheWindowComesBackAtItsSizeAndPlace)
{
    {
        QELMainWindow first;
        first.restoreRememberedGeometry();
        // A first run: the first size.
        EXPECT_EQ(first.size(), QELMainWindow::firstSize());
        first.show();
        first.setGeometry(QRect(40, 50, 1000, 650));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
        // A window manager answers a move when it gets to it.
        ASSERT_TRUE(waitUntil([&] { return first.geometry() == QRect(40, 50, 1000, 650); }));
        first.close();
    }
    QSettings().sync();
    QELMainWindow second;
    second.restoreRememberedGeometry();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_EQ(second.size(), QSize(1000, 650));
    EXPECT_EQ(second.geometry().topLeft(), QPoint(40, 50));
}

TEST(WindowMemory, APlaceOffEveryScreenComesBackOnAScreen)
{
    {
        QELMainWindow first;
        first.show();
        first.setGeometry(QRect(40000, 30000, 1000, 650));
        first.close();
    }
    QELMainWindow second;
    second.restoreRememberedGeometry();
    bool onAScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onAScreen = onAScreen || screen->availableGeometry().intersects(second.frameGeometry());
    EXPECT_TRUE(onAScreen);
}

TEST(DeviceLockedPage, TryAgainShowsThatItTriedWhenThePageComesBack)
{
    QWidget window;
    window.resize(800, 500);
    window.show();
    QELBackupNoticePage page(QStringLiteral("deviceLockedView"), L("DEVICELOCKED"),
                             L("DEVICELOCKEDDETAIL"), false);
    int tries = 0;
    QObject::connect(page.addButton(QStringLiteral("tryAgainButton"), L("TRYAGAIN")),
                     &QPushButton::clicked, [&] {
                         ++tries;
                         // As the gate does: another page while it tries, then this one again.
                         page.setParent(nullptr);
                         page.addToSuperview(&window);
                     });
    page.addToSuperview(&window);
    EXPECT_FALSE(page.retriedLabel()->isVisibleTo(&page));
    auto* button = page.findChild<QPushButton*>(QStringLiteral("tryAgainButton"));
    button->click();
    ASSERT_EQ(tries, 1);
    ASSERT_TRUE(page.retriedLabel()->isVisibleTo(&page));
    const QString once = page.retriedLabel()->text();
    EXPECT_TRUE(once.startsWith(Ln("TRIEDAGAINAT", 1).section(QLatin1Char('%'), 0, 0)));
    button->click();
    EXPECT_NE(page.retriedLabel()->text(), once);
    EXPECT_TRUE(page.retriedLabel()->text().contains(QStringLiteral("2")));
}

// The first web page shown must not make the window anew (it would vanish and
// come back elsewhere), with OpenGL or without (the pages then draw in
// software). Only a real display makes windows that can be remade: these run
// with QT_QPA_PLATFORM=xcb under Xvfb (tests/app/CMakeLists.txt).
namespace {

bool onARealDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Shows one web page in a main window and checks the window is the one it was,
// where it was, and that the page was drawn.
void showFirstWebPageInAMainWindow()
{
    QELMainWindow window;
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    window.setCentralWidget(central);
    window.setGeometry(QRect(120, 90, 900, 600));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The window manager places the frame as it likes: the place it ends at counts.
    ASSERT_TRUE(waitUntil([&] { return window.geometry().size() == QSize(900, 600); }));
    QCoreApplication::processEvents();
    const WId before = window.winId();
    const QRect placed = window.geometry();
    auto* page = new QELWebView(central);
    ASSERT_TRUE(page->hasEngine());
    bool finished = false;
    bool ok = false;
    QObject::connect(page, &QELWebView::loadFinished, page, [&](bool success) {
        finished = true;
        ok = success;
    });
    layout->addWidget(page);
    page->setHtml(QStringLiteral("<body style='margin:0;background:#fff'>"
                                 "<div style='width:100%;height:100vh;background:#000'></div>"
                                 "</body>"));
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_TRUE(ok);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.winId(), before);
    EXPECT_EQ(window.geometry(), placed);
    EXPECT_TRUE(window.isVisible());
    // The page is drawn (black all over), not an empty or white view.
    const auto drawn = [&] {
        const QImage image = page->grab().toImage();
        return !image.isNull() && image.pixelColor(image.rect().center()) == QColor(Qt::black);
    };
    EXPECT_TRUE(waitUntil(drawn));
}

} // namespace

TEST(WebPageWindow, TheWindowStaysTheSameWhenTheFirstWebPageIsShown)
{
    if (!onARealDisplay())
        GTEST_SKIP() << "needs a real display (xcb)";
    // Run in a process without OpenGL (below), the page draws in software.
    if (qEnvironmentVariable("QT_XCB_GL_INTEGRATION") == QLatin1String("none")) {
        EXPECT_FALSE(openGLContextsCanBeMade());
    }
    showFirstWebPageInAMainWindow();
}

// Where no OpenGL context can be made the program must still show its pages,
// in software, and not crash. The X connection chooses its OpenGL once per
// process: this runs the case above in a process of its own without OpenGL.
TEST(WebPageWindow, WithoutOpenGLTheFirstWebPageShowsInTheSameWindow)
{
    if (!onARealDisplay())
        GTEST_SKIP() << "needs a real display (xcb)";
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=WebPageWindow.TheWindowStaysTheSameWhenTheFirstWeb"
                                "PageIsShown"),
                 QStringLiteral("--gtest_repeat=1"), QStringLiteral("--gtest_shuffle=0")});
    ASSERT_TRUE(child.waitForStarted());
    const bool ended = child.waitForFinished(static_cast<int>(kTestWaitLimit.count()) * 6);
    if (!ended)
        child.kill();
    const QString output = QString::fromLocal8Bit(child.readAll());
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}
