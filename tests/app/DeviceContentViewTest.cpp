// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdexcept>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QListView>

#include "CategoryListModel.h"
#include "CategoryViews.h"
#include "QELCategoryNotAvailableView.h"
#include "QELDeviceCategoryContentView.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceContentView.h"
#include "QELDeviceContentViewDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QtPrinters.h"

using namespace CategoryViews;

namespace {

struct ListCase {
    const char* name;
    qint64 deviceType;
    int iOSMajor;
    bool books;
    QList<int> expected;
};

class CategoryList : public ::testing::TestWithParam<ListCase> {};

TEST_P(CategoryList, FollowsTheFlagTableAndTheVersionRules)
{
    const ListCase& c = GetParam();
    EXPECT_EQ(QELDeviceContentView::categoriesForDevice(c.deviceType, c.iOSMajor, c.books),
              c.expected);
}

const QList<int> kAllIPhone{Music,    Photos, Apps,     Books,    Calendars, CallLogs,
                            Contacts, Files,  Internet, Messages, Notes,     Voicemail};
const QList<int> kIPhoneNoApps{Music, Photos,   Books,    Calendars, CallLogs, Contacts,
                               Files, Internet, Messages, Notes,     Voicemail};

INSTANTIATE_TEST_SUITE_P(
    DeviceTypes, CategoryList,
    ::testing::Values(
        ListCase{"shuffle_music_only", 5, 6, true, {Music}},
        ListCase{"disk_mode_ipod", 1, 6, true, {Music, Photos}},
        ListCase{"nano", 6, 6, true, {Music, Photos}},
        ListCase{"iphone_ios8", 2, 8, true, kAllIPhone},
        ListCase{"iphone_ios9_no_apps", 2, 9, true, kIPhoneNoApps},
        ListCase{"iphone6s_never_apps", 19, 8, true, kIPhoneNoApps},
        ListCase{"iphone_without_version_counts_as_6", 18, 6, true, kAllIPhone},
        ListCase{"no_books_when_the_system_rule_says_so",
                 2,
                 8,
                 false,
                 {Music, Photos, Apps, Calendars, CallLogs, Contacts, Files, Internet, Messages,
                  Notes, Voicemail}},
        ListCase{"ipod_touch_no_messages_or_calls",
                 3,
                 8,
                 true,
                 {Music, Photos, Apps, Books, Calendars, Contacts, Files, Internet, Notes}},
        ListCase{"ipad_air_no_voicemail_or_calls",
                 17,
                 12,
                 true,
                 {Music, Photos, Books, Calendars, Contacts, Files, Internet, Messages, Notes}},
        ListCase{"ipod_touch_5_calls_but_no_voicemail",
                 11,
                 8,
                 true,
                 {Music, Photos, Apps, Books, Calendars, CallLogs, Contacts, Files, Internet,
                  Messages, Notes}},
        ListCase{"unknown_ios_class",
                 0,
                 8,
                 true,
                 {Music, Photos, Apps, Books, Calendars, Contacts, Notes}},
        // Outside the table: the row of an iOS device of no known class, never a read past the
        // table.
        ListCase{"type_out_of_range_high",
                 57,
                 8,
                 true,
                 {Music, Photos, Apps, Books, Calendars, Contacts, Notes}},
        ListCase{"type_negative",
                 -3,
                 8,
                 true,
                 {Music, Photos, Apps, Books, Calendars, Contacts, Notes}}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST(CategoryRules, BooksSystemVersionRuleAndIOSVersion)
{
    struct Case {
        const char* version;
        bool books;
    };
    for (const Case& c :
         {Case{"Version 10.8.5 (Build 12F45)", true}, Case{"10.9", false}, Case{"10.13.4", false},
          Case{"11.2", true}, Case{"", true}, Case{"Version 12", true}}) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(
            QELDeviceContentView::booksOfferedForSystemVersion(QString::fromLatin1(c.version)),
            c.books);
    }
    EXPECT_EQ(QELDeviceContentView::iOSMajorVersionOf(QString()), 6);
    EXPECT_EQ(QELDeviceContentView::iOSMajorVersionOf(QStringLiteral("8.4.1")), 8);
    EXPECT_EQ(QELDeviceContentView::iOSMajorVersionOf(QStringLiteral("17.2")), 17);
}

class RecordingDelegate : public QELDeviceContentViewDelegate,
                          public QELDeviceCategoryContentViewDelegate {
public:
    void OnCopyToITunesFunctionalityAvailableNotification(bool a) override
    {
        notices << QStringLiteral("transfer=%1").arg(a);
    }
    void OnBackUpFunctionalityAvailableNotification(bool a) override
    {
        notices << QStringLiteral("backup=%1").arg(a);
    }
    void OnMediaPlaybackFunctionalityAvailableNotification(bool a) override
    {
        notices << QStringLiteral("play=%1").arg(a);
    }
    void OnSearchFunctionalityAvailableNotification(bool a) override
    {
        notices << QStringLiteral("search=%1").arg(a);
    }
    void OnSearchPlaceholderTextNotification(const QString& p) override
    {
        notices << QStringLiteral("placeholder=") + p;
    }
    void OnCategorySwitchNotification() override { notices << QStringLiteral("switch"); }
    void OnProgressEventCurrentValueMaximumValue(const QString& t, double c, double m) override
    {
        events << QStringLiteral("progress %1 %2 %3").arg(t).arg(c).arg(m);
    }
    void OnInformationStatusEventBottomLine(const QString& t, const QString& b) override
    {
        events << t + QLatin1Char('|') + b;
    }
    void OnMediaViewChanged() override { events << QStringLiteral("changed"); }
    void OnMediaSelectionPlayRequested() override { events << QStringLiteral("play"); }
    void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(const QString& t,
                                                                            const QString& d, int c,
                                                                            int m) override
    {
        events << QStringLiteral("copy %1 %2 %3/%4").arg(t, d).arg(c).arg(m);
    }
    void OnClear() override { events << QStringLiteral("clear"); }
    void OnCopyEndedInFolder(const QString& t, const QString& b, const QString& f) override
    {
        events << t + QLatin1Char('|') + b + QLatin1Char('|') + f;
    }
    void OnAllItemsCopiedEventWithType(int type) override
    {
        events << QStringLiteral("done %1").arg(type);
    }
    QStringList notices, events;
};

class ContentPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        QELDeviceInformation info;
        info.setDeviceType(2);
        m_page = std::make_unique<QELDeviceContentView>(QRect(0, 0, 800, 500), info, nullptr);
        m_page->show();
    }
    std::unique_ptr<QELDeviceContentView> m_page;
    RecordingDelegate m_delegate;
};

} // namespace

TEST_F(ContentPage, SidebarModelIsSoundAndNeverListsCamera)
{
    QAbstractItemModelTester tester(m_page->functionCollectionView()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    m_page->DisplayCategoriesForDevice(19);
    for (const QELFunctionDetail& f : m_page->functionList()) {
        EXPECT_NE(f.displayViewType, Camera);
        EXPECT_FALSE(f.functionName.isEmpty());
    }
    EXPECT_EQ(m_page->functionList().constFirst().displayViewType, Music);
    EXPECT_FALSE(m_page->selectCategory(Camera));
}

TEST_F(ContentPage, SelectingMakesEachViewOnceAndReusesIt)
{
    // Music is selected first; its view is made by the library hand-over, not by selection.
    EXPECT_EQ(m_page->selectedViewType(), Music);
    EXPECT_EQ(m_page->currentPage(), nullptr);
    ASSERT_TRUE(m_page->selectCategory(Photos));
    QELDeviceCategoryContentView* photos = m_page->GetCurrentCategoryContentView();
    ASSERT_NE(photos, nullptr);
    // (The backup-derived categories come after a backup: BackupDerivedCategoriesTest.)
    ASSERT_TRUE(m_page->selectCategory(Files));
    QELDeviceCategoryContentView* files = m_page->GetCurrentCategoryContentView();
    ASSERT_NE(files, nullptr);
    EXPECT_NE(files, photos);
    ASSERT_TRUE(m_page->selectCategory(Photos));
    EXPECT_EQ(m_page->GetCurrentCategoryContentView(), photos);
    EXPECT_EQ(QELPagedView::subviewsOf(m_page->functionContentView()).size(), 1);
    EXPECT_EQ(m_page->cachedViewCount(), 2);

    // Photos has its own view; the plain page, which a registry placeholder
    // row makes for a category without one, says which category it stands for.
    EXPECT_EQ(qobject_cast<QELCategoryNotAvailableView*>(photos), nullptr);
    QELCategoryNotAvailableView plain(Music, QStringLiteral("Music"), QRect(0, 0, 300, 200),
                                      nullptr);
    EXPECT_EQ(plain.viewType(), int(Music));
    EXPECT_TRUE(plain.detailLabel()->text().contains(QStringLiteral("Music")));

    m_page->setDeviceMediaLibraryWithITunesLibraryWithArtwork(nullptr, nullptr, nullptr);
    QELDeviceCategoryContentView* music = m_page->GetCurrentCategoryContentView();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(m_page->cachedView(Music), music);
    m_page->setDeviceMediaLibraryWithITunesLibraryWithArtwork(nullptr, nullptr, nullptr);
    EXPECT_EQ(m_page->GetCurrentCategoryContentView(), music);

    m_page->ResetAllContentViews();
    EXPECT_EQ(m_page->GetCurrentCategoryContentView(), nullptr);
    EXPECT_EQ(m_page->currentPage(), nullptr);
    EXPECT_EQ(m_page->cachedViewCount(), 0);
}

TEST_F(ContentPage, AvailabilityNoticesFollowTheCategoryAndWhatItsPageAnswers)
{
    m_page->setDelegate(&m_delegate, &m_delegate);
    m_page->resendAvailability();
    // Music before its view exists: the category's own functions.
    EXPECT_EQ(
        m_delegate.notices,
        (QStringList{"transfer=1", "backup=1", "play=1", "search=1", "placeholder=Search music"}));
    m_delegate.notices.clear();
    // Every switch first says so: what the last category reported goes.
    ASSERT_TRUE(m_page->selectCategory(Photos));
    EXPECT_EQ(m_delegate.notices,
              (QStringList{"switch", "transfer=0", "backup=0", "play=0", "search=0"}));
    m_delegate.notices.clear();
    // Contacts searches, but the plain page answers no request: none is offered.
    ASSERT_TRUE(m_page->selectCategory(Contacts));
    EXPECT_EQ(m_delegate.notices,
              (QStringList{"switch", "transfer=0", "backup=0", "play=0", "search=0",
                           "placeholder=Search contacts"}));
}

namespace {

// A category view that counts how often the content page leaves it.
class LeavingCountView : public QELDeviceCategoryContentView {
public:
    using QELDeviceCategoryContentView::QELDeviceCategoryContentView;
    void categoryWillBeLeft() override { ++left; }
    int left = 0;
};

} // namespace

// A switch tells the view it leaves, once, and never the view it shows.
TEST_F(ContentPage, ASwitchTellsTheViewItLeavesAndOnlyThatOne)
{
    QHash<int, LeavingCountView*> made;
    QELDeviceContentView::BackupServices services;
    services.makeView = [&](int viewType, const QRect& frame, QELDeviceInterface*) {
        auto* view = new LeavingCountView(frame);
        made.insert(viewType, view);
        return view;
    };
    m_page->setBackupServices(services);
    ASSERT_TRUE(m_page->selectCategory(Photos));
    ASSERT_TRUE(m_page->selectCategory(Files));
    ASSERT_TRUE(made.value(Photos) && made.value(Files));
    EXPECT_EQ(made.value(Photos)->left, 1);
    EXPECT_EQ(made.value(Files)->left, 0);
    ASSERT_TRUE(m_page->selectCategory(Photos));
    EXPECT_EQ(made.value(Photos)->left, 1);
    EXPECT_EQ(made.value(Files)->left, 1);
}

TEST_F(ContentPage, PassesCategoryEventsOnOnlyWithADelegate)
{
    // Without a delegate the events are dropped.
    m_page->OnClear();
    m_page->OnProgressEventCurrentValueMaximumValue(QStringLiteral("x"), 1, 2);
    m_page->setDelegate(&m_delegate, &m_delegate);
    m_page->OnProgressEventCurrentValueMaximumValue(QStringLiteral("Loading"), 2, 10);
    m_page->OnInformationStatusEventBottomLine(QStringLiteral("Top"), QStringLiteral("Bottom"));
    m_page->OnMediaViewChanged();
    m_page->OnMediaSelectionPlayRequested();
    m_page->OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        QStringLiteral("T"), QStringLiteral("D"), 3, 7);
    m_page->OnClear();
    m_page->OnAllItemsCopiedEventWithType(4);
    m_page->OnCopyEndedInFolder(QStringLiteral("Done"), QString(), QStringLiteral("/home/u/Music"));
    EXPECT_EQ(m_delegate.events,
              (QStringList{"progress Loading 2 10", "Top|Bottom", "changed", "play", "copy T D 3/7",
                           "clear", "done 4", "Done||/home/u/Music"}));
}

TEST(CategoryViewBase, AbstractRequestsThrowNamingTheOperation)
{
    QELDeviceCategoryContentView view;
    struct Case {
        const char* name;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"RequestCopy", [&] { view.RequestCopy(); }},
        {"RequestCancelCopy", [&] { view.RequestCancelCopy(); }},
        {"RequestTransfer", [&] { view.RequestTransfer(); }},
        {"RequestBackUp", [&] { view.RequestBackUp(); }},
        {"search:", [&] { view.search(QStringLiteral("x")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.call();
            ADD_FAILURE() << "no exception";
        } catch (const std::logic_error& e) {
            EXPECT_EQ(
                QString::fromUtf8(e.what()),
                QStringLiteral("You must override %1 in a subclass of QELDeviceCategoryContentView")
                    .arg(c.name));
        }
    }
    EXPECT_FALSE(view.answers(QELDeviceCategoryContentView::Search));
    EXPECT_FALSE(view.hasMediaListForPlayback());
}

TEST(DataCategoryView, LoadingPageCoversTheViewUntilTheLoadCompletes)
{
    QWidget area;
    area.resize(600, 400);
    QELDeviceDataCategoryContentView view(QRect(0, 0, 600, 400));
    auto* sibling = new QWidget(&area);
    view.addToSuperview(&area);
    area.show();
    // Before any load: nothing happens.
    view.loadDataComplete();
    EXPECT_EQ(view.loadingPageView(), nullptr);

    view.loadData();
    QELDeviceDataCategoryLoadingView* loading = view.loadingPageView();
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading->parentWidget(), &view);
    EXPECT_TRUE(loading->isOpaque());
    EXPECT_TRUE(loading->isAnimating());
    EXPECT_EQ(loading->geometry(), view.rect());
    EXPECT_TRUE(sibling->isHidden());

    view.loadDataComplete();
    EXPECT_EQ(view.loadingPageView(), loading); // still referenced after closing
    EXPECT_EQ(loading->parentWidget(), nullptr);

    // A second load makes a new page.
    view.loadData();
    EXPECT_NE(view.loadingPageView(), nullptr);
    EXPECT_EQ(view.loadingPageView()->parentWidget(), &view);
    view.setParent(nullptr);
}
