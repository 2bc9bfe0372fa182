// SPDX-License-Identifier: GPL-3.0-or-later
// The apps view, headless, over the simulated device: load, count line,
// grid and icons, search, install filter, uninstall confirmation, copies.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>

#include "AppsTestSupport.h"
#include "CategoryRegistry.h"
#include "LocalizedStrings.h"
#include "QELAppDetailSummary.h"
#include "QELAppListModel.h"
#include "QELAppsCollectionViewItem.h"
#include "QELAppsView.h"
#include "QELCollectionAppsView.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QtPrinters.h"

using namespace AppsTest;

namespace {

struct RecordingPage : QELDeviceCategoryContentViewDelegate {
    void OnProgressEventCurrentValueMaximumValue(const QString&, double, double) override {}
    void OnInformationStatusEventBottomLine(const QString& top, const QString& bottom) override
    {
        status << top + QLatin1Char('|') + bottom;
    }
    void OnMediaViewChanged() override {}
    void OnMediaSelectionPlayRequested() override {}
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) override
    {
        progress << QStringLiteral("%1|%2|%3/%4").arg(title, description).arg(current).arg(maximum);
    }
    void OnClear() override { ++clears; }
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList progress;
    QStringList status;
    int clears = 0;
};

QStringList names(const QList<QELAppDetailSummary>& apps)
{
    QStringList out;
    for (const QELAppDetailSummary& app : apps)
        out << app.bundleName();
    return out;
}

class AppsViewTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    // A view over the connected device, loaded once.
    std::unique_ptr<QELAppsView> loadedView()
    {
        auto view = std::make_unique<QELAppsView>(QRect(0, 0, 800, 600));
        view->setDelegate(&m_page);
        view->setDeviceInterface(&m_device.interface());
        QObject::connect(view.get(), &QELAppsView::appsLoaded, view.get(), [this] { ++m_loads; });
        view->loadApps();
        EXPECT_TRUE(waitUntil([&] { return m_loads == 1; }));
        m_loads = 0;
        return view;
    }
    QTemporaryDir m_dir;
    Device m_device{m_dir.filePath(QStringLiteral("phone"))};
    RecordingPage m_page;
    // Loads ended since the view's first.
    int m_loads = 0;
};

TEST(AppsViewText, CountLineAndInstallablePackages)
{
    EXPECT_EQ(QELAppsView::countLine(1), QStringLiteral("1 app loaded"));
    EXPECT_EQ(QELAppsView::countLine(12), QStringLiteral("12 apps loaded"));

    struct Case {
        QString file;
        bool kept;
    };
    const std::vector<Case> cases{
        {QStringLiteral("/home/u/Game.IPA"), true},
        {QStringLiteral("/home/u/Game.ipa"), true},
        {QStringLiteral("/home/u/old.ipa/notes.txt"), false},
        {QStringLiteral("/home/u/notes.txt"), false},
        {QStringLiteral("/home/u/archive.ipa.zip"), false},
        {QStringLiteral("/home/u/.ipa"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(QELAppsView::installablePackages({c.file}).size() == 1, c.kept);
    }
}

TEST(AppsViewModel, PassesTheModelTester)
{
    QELAppListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setApps(
        {std::make_shared<QELAppDetailSummary>(QStringLiteral("A"), QStringLiteral("a")),
         std::make_shared<QELAppDetailSummary>(QStringLiteral("B"), QStringLiteral("b"))});
    EXPECT_EQ(model.rowCount(), 2);
    model.iconChanged(model.appAt(1).get());
    model.setApps({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(AppsViewTest, ShowsTheAppsSortedWithTheirCountAndFetchesIconsNewestFirst)
{
    m_device.builder()
        .app(QStringLiteral("com.example.c"), app(QStringLiteral("Cherry")))
        .appIcon(QStringLiteral("com.example.c"), iconPng(qRgb(0, 0, 200)))
        .app(QStringLiteral("com.example.a"), app(QStringLiteral("Apple")))
        .appIcon(QStringLiteral("com.example.a"), iconPng(qRgb(200, 0, 0)))
        .app(QStringLiteral("com.example.b"), app(QStringLiteral("Banana")))
        .appIcon(QStringLiteral("com.example.b"), iconPng(qRgb(0, 200, 0)));
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    EXPECT_EQ(view->shownPage(), QStringLiteral("apps"));
    EXPECT_EQ(
        names(view->shownApps()),
        (QStringList{QStringLiteral("Apple"), QStringLiteral("Banana"), QStringLiteral("Cherry")}));
    EXPECT_EQ(view->labelStatus()->text(), QStringLiteral("3 apps loaded"));
    EXPECT_TRUE(m_page.progress.contains(
        L("LOADINGAPPS") + QStringLiteral("|")
        + LocalizedStrings::text(QStringLiteral("LOADINGAPPXOFY")).arg(3).arg(3)
        + QStringLiteral("|3/3")));
    EXPECT_EQ(m_page.clears, 1);
    EXPECT_EQ(m_device.interface().applicationInstallDelegate(), view.get());

    // The real icons replace the placeholders, the last item's first.
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& app : view->appsList())
            if (app->bundleIcon().pixel(5, 5)
                == QELAppsCollectionViewItem::placeholderIcon().pixel(5, 5))
                return false;
        return true;
    }));
    QStringList iconCalls;
    for (const QString& call : m_device.appCalls())
        if (call.startsWith(QLatin1String("getIconPNGData")))
            iconCalls << call.section(QLatin1Char(' '), 1);
    EXPECT_EQ(iconCalls,
              (QStringList{QStringLiteral("com.example.c"), QStringLiteral("com.example.b"),
                           QStringLiteral("com.example.a")}));
    EXPECT_TRUE(waitUntil([&] { return !m_device.interface().appsConnectionIsOpen(); }))
        << "the icon thread lets the connection go once it is idle";
}

TEST_F(AppsViewTest, OneAppHasTheSingularCountLineAndNoAppsShowTheirPage)
{
    m_device.builder().app(QStringLiteral("com.example.a"), app(QStringLiteral("Apple")));
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    EXPECT_EQ(view->labelStatus()->text(), QStringLiteral("1 app loaded"));

    ASSERT_TRUE(QDir(m_device.folder() + QStringLiteral("/apps")).removeRecursively());
    view->loadApps();
    view->loadApps(); // asked for while the first runs: runs once after it
    ASSERT_TRUE(waitUntil([&] { return m_loads == 2; }));
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->shownPage(), QStringLiteral("noApps"));
    EXPECT_EQ(m_device.backend().callCount(m_device.udid(), QStringLiteral("Lookup")), 3);
}

TEST_F(AppsViewTest, SearchIgnoresCaseAndDiacritics)
{
    m_device.builder()
        .app(QStringLiteral("com.example.gmail"), app(QStringLiteral("Gmail")))
        .app(QStringLiteral("com.example.mail"), app(QStringLiteral("MAIL")))
        .app(QStringLiteral("com.example.maps"), app(QStringLiteral("Maps")))
        .app(QStringLiteral("com.example.cafe"), app(QStringLiteral("Café")));
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    view->search(QStringLiteral("mail"));
    EXPECT_EQ(names(view->shownApps()),
              (QStringList{QStringLiteral("Gmail"), QStringLiteral("MAIL")}));
    view->search(QStringLiteral("CAFE"));
    EXPECT_EQ(names(view->shownApps()), QStringList{QStringLiteral("Café")});
    view->search(QString());
    EXPECT_EQ(view->shownApps().size(), 4);
}

TEST_F(AppsViewTest, UninstallAsksWithTheNamesAndDoesNothingWithoutASelection)
{
    m_device.builder()
        .app(QStringLiteral("com.example.a"), app(QStringLiteral("Apple")))
        .app(QStringLiteral("com.example.b"), app(QStringLiteral("Banana")));
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    QStringList asked;
    bool answer = false;
    view->setUninstallConfirmer([&](const QStringList& names, QWidget*) {
        asked = names;
        return answer;
    });
    view->menuUninstallAppClicked();
    EXPECT_TRUE(asked.isEmpty()) << "no selection: no question";

    QItemSelectionModel* selection = view->appCollectionView()->selectionModel();
    selection->select(view->appCollectionView()->model()->index(1, 0), QItemSelectionModel::Select);
    view->menuUninstallAppClicked();
    EXPECT_EQ(asked, QStringList{QStringLiteral("Banana")});
    EXPECT_FALSE(m_device.appCalls().join(QLatin1Char(',')).contains(QLatin1String("Uninstall")));

    answer = true;
    selection->select(view->appCollectionView()->model()->index(1, 0), QItemSelectionModel::Select);
    view->menuUninstallAppClicked();
    ASSERT_TRUE(waitUntil([&] { return m_loads == 1; }));
    EXPECT_TRUE(m_device.appCalls().contains(QStringLiteral("Uninstall com.example.b")));
    EXPECT_EQ(names(view->shownApps()), QStringList{QStringLiteral("Apple")});
}

// Every install ends with its result on the status panel, never with the
// "Installing..." line: all installed, none (a truncated package), or some.
TEST_F(AppsViewTest, EachInstallEndsWithItsResult)
{
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    EXPECT_EQ(view->shownPage(), QStringLiteral("noApps"));
    const QByteArray zip = SimulatedInstallationProxy::storedZip(QStringLiteral("a"), "b");
    auto write = [&](const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    };
    const QString good = write(QStringLiteral("Good.ipa"), zip);
    const QString cut = write(QStringLiteral("Cut.ipa"), zip.left(zip.size() - 10));
    const QString title = L("INSTALLINGAPPS");
    struct Case {
        const char* name;
        QStringList packages;
        QString top;
        QString bottom;
    };
    const std::vector<Case> cases = {
        {"a truncated package",
         {cut},
         Ln("APPSINSTALLEDNONE", 1),
         L("APPSINSTALLED").arg(0).arg(1) + QStringLiteral(" — ")
             + L("APPSNOTINSTALLEDNAMES").arg(QStringLiteral("Cut.ipa"))},
        {"a good package", {good}, Ln("APPSINSTALLEDALL", 1), L("APPSINSTALLED").arg(1).arg(1)},
        {"both, and a file that is no package",
         {good, cut, m_dir.filePath(QStringLiteral("x.txt"))},
         L("APPSINSTALLEDSOME"),
         L("APPSINSTALLED").arg(1).arg(2) + QStringLiteral(" — ")
             + L("APPSNOTINSTALLEDNAMES").arg(QStringLiteral("Cut.ipa"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_page.progress.clear();
        m_page.status.clear();
        m_loads = 0;
        view->setFilesChooser([&](QWidget*) { return c.packages; });
        view->buttonInstallAppClicked();
        ASSERT_TRUE(waitUntil([&] { return m_loads == 1; }));
        EXPECT_TRUE(m_page.progress.contains(
            title + QStringLiteral("|") + QFileInfo(c.packages.constFirst()).fileName()
            + QStringLiteral("|1/") + QString::number(std::min<qsizetype>(c.packages.size(), 2))));
        ASSERT_FALSE(m_page.status.isEmpty());
        EXPECT_EQ(m_page.status.last(), c.top + QLatin1Char('|') + c.bottom);
        EXPECT_FALSE(m_page.status.last().startsWith(title));
    }
    EXPECT_EQ(names(view->shownApps()), QStringList{QStringLiteral("Good")});
}

TEST_F(AppsViewTest, CopyQueuesTheSelectionOrEverythingShown)
{
    m_device.builder()
        .app(QStringLiteral("com.example.gmail"), app(QStringLiteral("Gmail")))
        .app(QStringLiteral("com.example.mail"), app(QStringLiteral("MAIL")))
        .app(QStringLiteral("com.example.maps"), app(QStringLiteral("Maps")));
    ASSERT_TRUE(m_device.connect());
    auto view = loadedView();
    const QString out = m_dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    view->setFolderChooser([&](QWidget*) { return out; });
    view->search(QStringLiteral("mail"));
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] {
        return !m_page.status.isEmpty()
            && m_page.status.last().startsWith(L("ALLAPPCOPYINGCOMPLETED"));
    }));
    QStringList files = QDir(out).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, (QStringList{QStringLiteral("Gmail.ipa"), QStringLiteral("MAIL.ipa")}));
    EXPECT_TRUE(m_page.progress.contains(L("COPYINGAPPSTOMAC") + QStringLiteral("|Gmail|1/2")));
}

TEST(AppsCategory, IsListedBelowIOS9AndLoadsWithoutADevice)
{
    const CategoryDescriptor* row = CategoryRegistry::instance().find(2);
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(row->offeredWhen);
    EXPECT_TRUE(row->offeredWhen(CategoryOfferContext{8, true}));
    EXPECT_FALSE(row->offeredWhen(CategoryOfferContext{9, true}));
    std::unique_ptr<QELDeviceCategoryContentView> view(
        row->makeView(CategoryViewContext{2, QRect(0, 0, 300, 200), nullptr, nullptr}));
    auto* apps = qobject_cast<QELAppsView*>(view.get());
    ASSERT_NE(apps, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !apps->isLoading(); }));
    EXPECT_EQ(apps->shownPage(), QStringLiteral("noApps"));
}

} // namespace
