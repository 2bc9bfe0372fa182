// SPDX-License-Identifier: GPL-3.0-or-later
// The category table of a program whose view libraries registered rows: the
// sample category of sample/view is linked in as orvane_app links a real one.
#include <memory>

#include <gtest/gtest.h>

#include <QListView>

#include "CategoryRegistry.h"
#include "CategoryViews.h"
#include "QELCategoryNotAvailableView.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceContentView.h"
#include "QELDeviceContentViewDelegate.h"
#include "QtPrinters.h"

using namespace CategoryViews;

namespace {

constexpr int kSample = 200;
// The sample's row that replaces a placeholder row.
constexpr int kReplacing = 201;

// Names no class of the sample library, so that nothing but linking the
// library whole can bring its registrations in.
bool isSampleView(const QWidget* view)
{
    return view
        && QLatin1String(view->metaObject()->className()) == QLatin1String("SampleCategoryView");
}

class Notices : public QELDeviceContentViewDelegate {
public:
    void OnCopyToITunesFunctionalityAvailableNotification(bool a) override
    {
        list << QStringLiteral("transfer=%1").arg(a);
    }
    void OnBackUpFunctionalityAvailableNotification(bool a) override
    {
        list << QStringLiteral("backup=%1").arg(a);
    }
    void OnMediaPlaybackFunctionalityAvailableNotification(bool a) override
    {
        list << QStringLiteral("play=%1").arg(a);
    }
    void OnSearchFunctionalityAvailableNotification(bool a) override
    {
        list << QStringLiteral("search=%1").arg(a);
    }
    void OnSearchPlaceholderTextNotification(const QString& p) override
    {
        list << QStringLiteral("placeholder=") + p;
    }
    QStringList list;
};

std::unique_ptr<QELDeviceContentView> pageFor(qint64 deviceType)
{
    QELDeviceInformation info;
    info.setDeviceType(deviceType);
    auto page = std::make_unique<QELDeviceContentView>(QRect(0, 0, 800, 500), info, nullptr);
    page->show();
    return page;
}

} // namespace

TEST(CategoryTable, AViewLibrarysRowsAreRegisteredAndReplaceThePlaceholder)
{
    const CategoryRegistry& table = registry();
    const CategoryDescriptor* sample = table.find(kSample);
    ASSERT_NE(sample, nullptr) << "the sample view library's registration was dropped at link time";
    EXPECT_FALSE(table.isPlaceholder(kSample));
    EXPECT_EQ(titleKey(kSample), QStringLiteral("SAMPLE"));
    // Its own row took the place of the placeholder row of its view type.
    ASSERT_NE(table.find(kReplacing), nullptr);
    EXPECT_FALSE(table.isPlaceholder(kReplacing));
    std::unique_ptr<QELDeviceCategoryContentView> replacing(
        makeView(kReplacing, QRect(0, 0, 300, 200), nullptr));
    EXPECT_TRUE(isSampleView(replacing.get()));
    // Every category of the application has its own view: no row is a
    // placeholder any more.
    for (const CategoryDescriptor* row : table.rows()) {
        SCOPED_TRACE(row->viewType);
        EXPECT_FALSE(table.isPlaceholder(row->viewType));
    }
    // The thirteen rows of the application and the sample's two.
    EXPECT_EQ(table.rows().size(), 15);
    EXPECT_TRUE(table.rows().contains(sample));
}

TEST(CategoryTable, ARegisteredCategoryIsListedByItsFlagColumnWithItsIconAndMadeByItsFactory)
{
    struct Case {
        qint64 deviceType;
        bool listed;
    };
    // Flag column 1: set for an iPhone (2) and an iPod touch 4 (10), not for an iPod touch (3) or a
    // shuffle (5).
    for (const Case c : {Case{2, true}, Case{10, true}, Case{3, false}, Case{5, false}}) {
        SCOPED_TRACE(c.deviceType);
        EXPECT_EQ(
            QELDeviceContentView::categoriesForDevice(c.deviceType, 8, true).contains(kSample),
            c.listed);
    }

    auto page = pageFor(2);
    Notices notices;
    page->setDelegate(&notices, nullptr);
    const QList<QELFunctionDetail> sidebar = page->functionList();
    ASSERT_FALSE(sidebar.isEmpty());
    // After every other category of the sidebar, its icon from the view library's own resources.
    EXPECT_EQ(sidebar.constLast().displayViewType, kSample);
    EXPECT_EQ(sidebar.constLast().functionName, QStringLiteral("SAMPLE"));
    EXPECT_FALSE(sidebar.constLast().functionIcon.isNull());
    EXPECT_EQ(sidebar.constFirst().displayViewType, int(Music));

    ASSERT_TRUE(page->selectCategory(kSample));
    QELDeviceCategoryContentView* view = page->GetCurrentCategoryContentView();
    ASSERT_TRUE(isSampleView(view));
    EXPECT_EQ(view->delegate(), page.get());
    EXPECT_EQ(page->cachedView(kSample), view);
    // What the row offers and the view answers reaches the control bar.
    EXPECT_EQ(
        notices.list,
        (QStringList{"transfer=0", "backup=0", "play=0", "search=1", "placeholder=SEARCHSAMPLE"}));
    ASSERT_TRUE(page->selectCategory(kReplacing));
    EXPECT_TRUE(isSampleView(page->GetCurrentCategoryContentView()));
    ASSERT_TRUE(page->selectCategory(kSample));
    EXPECT_EQ(page->GetCurrentCategoryContentView(), view);
}

// Copy to the computer is on exactly while the page shown answers it: the
// sample view does, the page of a category whose view is not made yet does not.
TEST(CategoryTable, CopyToTheComputerIsOfferedOnlyByAPageThatAnswersIt)
{
    struct CopyNotices : Notices {
        void OnCopyToMacFunctionalityAvailableNotification(bool a) override { copy << a; }
        QList<bool> copy;
    };
    auto page = pageFor(2);
    CopyNotices notices;
    page->setDelegate(&notices, nullptr);
    ASSERT_TRUE(page->selectCategory(kSample));
    ASSERT_TRUE(isSampleView(page->GetCurrentCategoryContentView()));
    // A backup-derived category before its backup: its view is not made yet
    // and the page shown answers no copy.
    ASSERT_TRUE(page->selectCategory(Contacts));
    QELDeviceCategoryContentView* shown = page->GetCurrentCategoryContentView();
    ASSERT_TRUE(!shown || !shown->answers(QELDeviceCategoryContentView::Copy))
        << (shown ? shown->metaObject()->className() : "none");
    ASSERT_TRUE(page->selectCategory(kSample));
    EXPECT_EQ(notices.copy, (QList<bool>{true, false, true}));
}

// Every row's view answers what the control bar sends it: the requests its
// availability offers and copy to the computer. A view may answer more (the
// photos view transfers through its own button, not the bar's); it may not
// answer less, or a control of the bar would do nothing. The placeholder
// answers nothing, so the page offers nothing while it is shown.
TEST(CategoryTable, EveryRegisteredViewAnswersTheRequestsOfItsAvailabilityRow)
{
    using R = QELDeviceCategoryContentView;
    const QList<const CategoryDescriptor*> rows = registry().rows();
    ASSERT_GE(rows.size(), 15);
    for (const CategoryDescriptor* row : rows) {
        SCOPED_TRACE(row->viewType);
        std::unique_ptr<R> view(makeView(row->viewType, QRect(0, 0, 300, 200), nullptr));
        ASSERT_NE(view, nullptr);
        if (registry().isPlaceholder(row->viewType)) {
            EXPECT_NE(qobject_cast<QELCategoryNotAvailableView*>(view.get()), nullptr);
            EXPECT_EQ(view->answeredRequests(), R::Requests());
            EXPECT_FALSE(view->hasMediaListForPlayback());
            continue;
        }
        for (R::Request request : {R::Copy, R::Transfer, R::BackUp, R::Search}) {
            SCOPED_TRACE(int(request));
            EXPECT_EQ(view->answers(request) || !row->barRequests().testFlag(request), true)
                << "the row offers a request its view does not answer";
        }
        // Play and next go to a view only when it hands a list; one whose row
        // offers no playback never does.
        if (!row->availability.playback) {
            EXPECT_FALSE(view->hasMediaListForPlayback());
        }
        // Only the bar's requests belong in a row.
        EXPECT_EQ(row->availability.requests & ~(R::Transfer | R::BackUp | R::Search),
                  R::Requests());
    }
}
