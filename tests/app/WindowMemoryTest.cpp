// SPDX-License-Identifier: GPL-3.0-or-later
// What the window keeps between runs, and the locked page's sign that it tried.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QVBoxLayout>

#include "LocaleTime.h"
#include "LocalizedStrings.h"
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
// come back elsewhere). Only a real display makes windows that can be remade:
// run with QT_QPA_PLATFORM=xcb under Xvfb.
TEST(WebPageWindow, TheWindowStaysTheSameWhenTheFirstWebPageIsShown)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs a real display (xcb)";
    QELMainWindow window;
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    window.setCentralWidget(central);
    window.resize(900, 600);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const WId before = window.winId();
    auto* page = new QELWebView(central);
    bool loaded = false;
    QObject::connect(page, &QELWebView::loadFinished, page, [&loaded] { loaded = true; });
    layout->addWidget(page);
    page->setHtml(QStringLiteral("<p>A page</p>"));
    ASSERT_TRUE(waitUntil([&] { return loaded; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.winId(), before);
    EXPECT_TRUE(window.isVisible());
}
