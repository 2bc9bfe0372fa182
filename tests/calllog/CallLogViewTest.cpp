// SPDX-License-Identifier: GPL-3.0-or-later
// The call log view, headless: its load, list order, page, print and copy.
#include <memory>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEnginePage>

#include "AddressBookFixture.h"
#include "CallLogTestSupport.h"
#include "CategoryRegistry.h"
#include "LocalizedStrings.h"
#include "QELCallLogParticipantListModel.h"
#include "QELCallLogView.h"
#include "QELCopyCallLogs.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELPagedView.h"
#include "QELWebView.h"
#include "QtPrinters.h"
#include "WaitUntil.h"
#include "WebEnginePage.h"

using namespace CallLogTest;

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
    void OnClear() override {}
    void OnAllItemsCopiedEventWithType(int) override {}
    QStringList progress;
    QStringList status;
};

class CallLogViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }
    // A view over the folder's files, loaded.
    std::unique_ptr<QELCallLogView> loadedView()
    {
        auto view = std::make_unique<QELCallLogView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setViewDataPath(m_folder);
        view->QWidget::resize(900, 600);
        view->loadData();
        EXPECT_TRUE(view->loadingPageView() && view->loadingPageView()->isVisibleTo(view.get()));
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    void select(QELCallLogView& view, const QStringList& names)
    {
        QItemSelectionModel* selection = view.participantList()->selectionModel();
        selection->clearSelection();
        for (int row = 0; row < view.participantList()->model()->rowCount(); ++row) {
            const QModelIndex index = view.participantList()->model()->index(row, 0);
            if (names.contains(index.data().toString()))
                selection->select(index, QItemSelectionModel::Select);
        }
    }

    QTemporaryDir m_dir;
    QString m_folder;
    RecordingPage m_page;
};

TEST(CallLogParticipantList, ListsNamesBeforeNumbersIgnoringCase)
{
    QELCallLogParticipantListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<QELCallLogParticipant> participants;
    for (const char* name : {"Bob", "+44 20", "alice", "123", "Émile", "", "bob"}) {
        QELCallLogParticipant p;
        p.setAddressAndName(QStringLiteral("addr-") + QString::fromUtf8(name),
                            QString::fromUtf8(name));
        participants << p;
    }
    model.setParticipants(participants);
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.index(row, 0).data().toString();
    // An empty name is its address, so it sorts as a name.
    EXPECT_EQ(shown, (QStringList{"addr-", "alice", "Bob", "bob", "Émile", "+44 20", "123"}));
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("addr-"));
}

TEST_F(CallLogViewTest, ShowsTheParticipantsThenTheCallsOfTheSelectedNewestFirst)
{
    ASSERT_FALSE(
        writeHistory(Generation::StoreWithTextAddress, m_folder,
                     {{QStringLiteral("+1555123"), utc(2024, 5, 1), 60, true, false},
                      {QStringLiteral("+4420"), utc(2024, 5, 3), 0, false, false},
                      {QStringLiteral("bob@example.com"), utc(2024, 5, 2), 125, false, true},
                      {QStringLiteral("+1555123"), utc(2024, 5, 4), 5, false, false}})
            .isEmpty());
    AddressBookFixture book;
    const qint64 bob = book.person(AddressBookFixture::Person::named("Bob", "Stone"));
    book.email(bob, QStringLiteral("bob@example.com"));
    const qint64 alice = book.person(AddressBookFixture::Person::named("alice", "Ray"));
    book.phone(alice, QStringLiteral("+1555123"));
    ASSERT_TRUE(book.write(m_folder + QStringLiteral("/AddressBook.sqlitedb")));

    auto view = loadedView();
    EXPECT_FALSE(view->loadFailed());
    EXPECT_TRUE(view->clipViewContactsList()->isVisibleTo(view.get()));
    QStringList shown;
    for (const QELCallLogParticipant& p : view->participants())
        shown << p.name();
    EXPECT_EQ(shown, (QStringList{"alice Ray", "Bob Stone", "+4420"}));

    select(*view, {"alice Ray", "Bob Stone"});
    ASSERT_TRUE(waitUntil([&] { return view->callLogs().size() == 3; }));
    EXPECT_EQ(view->callLogs()[0].date(), utc(2024, 5, 4));
    EXPECT_EQ(view->callLogs()[1].name(), QStringLiteral("Bob Stone"));
    EXPECT_EQ(view->callLogs()[2].date(), utc(2024, 5, 1));
    EXPECT_FALSE(view->buttonPrint()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return view->buttonPrint()->isEnabled(); }));
    QString text;
    enginePageOf(view->webView())->toPlainText([&](const QString& t) { text = t; });
    ASSERT_TRUE(waitUntil([&] { return !text.isEmpty(); }));
    // The address stands beside the contact's name; a stranger's is shown once.
    EXPECT_TRUE(text.contains(QStringLiteral("Bob Stone (bob@example.com) on")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("alice Ray (+1555123) on")));
    EXPECT_TRUE(text.contains(QStringLiteral("(FaceTime)")));

    // Search has no effect.
    view->search(QStringLiteral("Bob"));
    EXPECT_EQ(view->participants().size(), 3);
}

TEST_F(CallLogViewTest, AHistoryWithoutCallsShowsTheEmptyPageAndADamagedOneSaysItCouldNotBeRead)
{
    ASSERT_FALSE(writeHistory(Generation::CallHistoryDb, m_folder, {}).isEmpty());
    {
        auto view = loadedView();
        ASSERT_NE(view->noCallLogsFoundView(), nullptr);
        EXPECT_TRUE(view->noCallLogsFoundView()->isVisibleTo(view.get()));
        EXPECT_FALSE(view->clipViewContactsList()->isVisibleTo(view.get()));
        EXPECT_FALSE(view->loadFailed());
    }
    QFile damaged(m_folder + QStringLiteral("/CallHistory.storedata"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("SQLite format 3\0", 16) + QByteArray(500, '\x07'));
    damaged.close();
    auto view = loadedView();
    EXPECT_TRUE(view->loadFailed());
    EXPECT_EQ(view->noCallLogsFoundView(), nullptr);
}

TEST_F(CallLogViewTest, CopiesTheSelectedParticipantOrEveryoneIntoTheChosenFolder)
{
    ASSERT_FALSE(writeHistory(Generation::CallHistoryDb, m_folder,
                              {{QStringLiteral("+1111"), utc(2012, 1, 1), 1, false, false},
                               {QStringLiteral("+2222"), utc(2012, 1, 2), 2, true, false},
                               {QStringLiteral("+1111"), utc(2012, 1, 3), 3, false, false}})
                     .isEmpty());
    auto view = loadedView();
    const QString target = m_dir.filePath(QStringLiteral("saved"));
    ASSERT_TRUE(QDir().mkpath(target));
    int asked = 0;
    QString answer = target;
    view->setFolderChooser([&](QWidget*) {
        ++asked;
        return answer;
    });
    auto waitForStatus = [&](int n) {
        return waitUntil([&] { return m_page.status.size() == n; });
    };

    select(*view, {"+1111"});
    view->RequestCopy();
    ASSERT_TRUE(waitForStatus(1));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/+1111.html")));
    EXPECT_EQ(m_page.progress,
              (QStringList{L("COPYINGCALLLOG") + QStringLiteral("|+1111|1/2"),
                           L("COPYINGCALLLOG") + QStringLiteral("|+1111|2/2")}));
    EXPECT_EQ(m_page.status.last(), L("ALLCALLLOGCOPYCOMPLETE") + QLatin1Char('|'));

    view->participantList()->selectionModel()->clearSelection();
    view->RequestCopy();
    ASSERT_TRUE(waitForStatus(2));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/Call Logs.html")));
    EXPECT_EQ(m_page.progress.size(), 5);

    // A cancelled panel copies nothing.
    answer.clear();
    view->RequestCopy();
    EXPECT_EQ(asked, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_page.status.size(), 2);
}

TEST_F(CallLogViewTest, PrintsThroughTheChosenPrinterOnlyWhenConfirmed)
{
    ASSERT_FALSE(writeHistory(Generation::CallHistoryDb, m_folder,
                              {{QStringLiteral("+1111"), utc(2012, 1, 1), 1, false, false}})
                     .isEmpty());
    auto view = loadedView();
    int asked = 0;
    view->setPrinterChooser([&](QPrinter&, QWidget*) {
        ++asked;
        return false;
    });
    view->buttonPrintClicked();
    EXPECT_EQ(asked, 1);
}

// A history of 50,000 calls is gathered and laid out on a worker and shown a
// page at a time, so the window never waits for the whole history.
TEST_F(CallLogViewTest, AHugeHistoryIsShownAPageAtATime)
{
    QList<CallHistoryFixture::StoreCall> calls;
    for (int i = 0; i < 50000; ++i) {
        CallHistoryFixture::StoreCall c;
        c.address = i < 5000 ? QStringLiteral("+15550001") : QStringLiteral("+15550002");
        c.date = 700000000 + i * 60;
        c.duration = i % 7;
        c.originated = i % 3 == 0;
        calls << c;
    }
    ASSERT_TRUE(CallHistoryFixture::writeCallHistoryStore(
        m_folder + QStringLiteral("/CallHistory.storedata"), {}, calls));
    auto view = loadedView();
    ASSERT_EQ(view->participants().size(), 2);

    select(*view, {"+15550001", "+15550002"});
    ASSERT_TRUE(waitUntil([&] { return view->callLogs().size() == 50000; }));
    EXPECT_EQ(view->pageCount(), 50000 / QELCallLogView::kCallsPerPage);
    ASSERT_TRUE(waitUntil([&] { return view->buttonPrint()->isEnabled(); }, 120000));
    QString text;
    enginePageOf(view->webView())->toPlainText([&](const QString& t) { text = t; });
    ASSERT_TRUE(waitUntil([&] { return !text.isEmpty(); }, 60000));
    EXPECT_EQ(text.count(QStringLiteral("Call ")), QELCallLogView::kCallsPerPage);

    // 5,000 calls: ten pages, the first shown.
    select(*view, {"+15550001"});
    ASSERT_TRUE(waitUntil([&] { return view->callLogs().size() == 5000; }));
    EXPECT_EQ(view->pageCount(), 5000 / QELCallLogView::kCallsPerPage);
    EXPECT_EQ(view->pageIndex(), 0);
}

TEST(CallLogCategoryRow, RegistersTheCallLogViewForItsViewType)
{
    const CategoryDescriptor* row = CategoryRegistry::instance().find(11);
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(CategoryRegistry::instance().isPlaceholder(11));
    EXPECT_TRUE(row->backupDerived);
    EXPECT_EQ(row->titleKey, QStringLiteral("CALLLOGS"));
    std::unique_ptr<QELDeviceCategoryContentView> view(
        row->makeView(CategoryViewContext{11, QRect(0, 0, 400, 300), nullptr, nullptr}));
    ASSERT_NE(dynamic_cast<QELCallLogView*>(view.get()), nullptr);
    EXPECT_TRUE(view->answers(QELDeviceCategoryContentView::Copy));
}

} // namespace

namespace {

// A long history is gathered and laid out on a worker and shown a page at a
// time; the page controls step through it and a new selection starts again.
TEST_F(CallLogViewTest, ALongHistoryIsShownInPages)
{
    QList<Call> calls;
    const int count = int(QELCallLogView::kCallsPerPage * 2 + 17);
    for (int i = 0; i < count; ++i)
        calls.append({QStringLiteral("+15550100111"), utc(2020, 1, 1).addSecs(qint64(i) * 3600), i,
                      false, false});
    calls.append({QStringLiteral("+15550100222"), utc(2019, 1, 1), 5, false, false});
    ASSERT_FALSE(writeHistory(Generation::StoreWithTextAddress, m_folder, calls).isEmpty());
    AddressBookFixture book;
    ASSERT_TRUE(book.write(m_folder + QStringLiteral("/AddressBook.sqlitedb")));
    auto view = loadedView();
    ASSERT_EQ(view->participants().size(), 2);
    // One page: no page controls.
    select(*view, {"+15550100222"});
    ASSERT_TRUE(waitUntil([&] { return view->callLogs().size() == 1; }));
    EXPECT_EQ(view->pageCount(), 1);
    EXPECT_FALSE(view->buttonNextPage()->isVisibleTo(view.get()));

    select(*view, {"+15550100111"});
    ASSERT_TRUE(waitUntil([&] { return view->callLogs().size() == count; }));
    EXPECT_EQ(view->pageCount(), 3);
    EXPECT_EQ(view->pageIndex(), 0);
    EXPECT_TRUE(view->buttonNextPage()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->buttonPreviousPage()->isEnabled());
    EXPECT_EQ(view->pageLabel()->text(),
              L("CALLLOGPAGE")
                  .arg(QLocale().toString(1), QLocale().toString(500), QLocale().toString(count)));
    EXPECT_EQ(view->pageLabel()->textFormat(), Qt::PlainText);

    view->buttonNextPage()->click();
    view->buttonNextPage()->click(); // before the second page came: asks for it again
    ASSERT_TRUE(waitUntil([&] { return view->pageIndex() == 1; }));
    view->buttonNextPage()->click();
    ASSERT_TRUE(waitUntil([&] { return view->pageIndex() == 2; }));
    EXPECT_FALSE(view->buttonNextPage()->isEnabled());
    EXPECT_TRUE(view->buttonPreviousPage()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return view->buttonPrint()->isEnabled(); }));
    // The last page holds the oldest 17 calls. The engine answers with the
    // text of the page it has committed, which can lag a moment behind the
    // finished load: ask until the answer is the last page's.
    struct Answer {
        QString text;
        bool given = true;
    };
    const auto answer = std::make_shared<Answer>(); // outlives a late answer
    EXPECT_TRUE(waitUntil([&] {
        if (answer->given && answer->text.count(QStringLiteral("Call received from")) == 17)
            return true;
        if (answer->given) {
            answer->given = false;
            enginePageOf(view->webView())->toPlainText([answer](const QString& t) {
                answer->text = t;
                answer->given = true;
            });
        }
        return false;
    })) << answer->text.left(300).toStdString();
}

} // namespace
