// SPDX-License-Identifier: GPL-3.0-or-later
// The messages view, headless: its load from a scripted backup, the page of
// the selected conversation, search, the date range, links, print and copy;
// the date-range panel; and a page as the web view shows and prints it.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "LocalizedStrings.h"
#include "MessagesPageSupport.h"
#include "MessagesTestSupport.h"
#include "QELCopyMessages.h"
#include "QELDateSelectPanel.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELMessagesConversationModel.h"
#include "QELMessagesHTMLGenerator.h"
#include "QELMessagesView.h"
#include "QELWebView.h"
#include "QtPrinters.h"
#include "SmsDbBuilder.h"
#include "WaitUntil.h"
#include "WebEnginePage.h"
#include "WhatsAppDbBuilder.h"

using namespace MessagesTest;

namespace {

const QString kWhatsAppDomain = QStringLiteral("AppDomain-net.whatsapp.WhatsApp");
const QString kSharedDomain = QStringLiteral("AppDomainGroup-group.net.whatsapp.WhatsApp.shared");

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

QByteArray bytesOf(const QString& path) { return fileBytes(path); }

QString plainText(QWebEnginePage* page)
{
    QString text;
    bool done = false;
    page->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    waitUntil([&] { return done; });
    return text;
}

class MessagesViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_source = std::make_shared<FakeAttachmentSource>(m_dir.filePath(QStringLiteral("copies")));
    }

    // sms.db: Anna (two messages on two days), Bob (a message holding "ANNUAL"),
    // and +44 7700 with nothing to find.
    void writeSms()
    {
        SmsDbBuilder sms;
        const qint64 anna = sms.handle("anna@example.org", "iMessage");
        const qint64 bob = sms.handle("+15550100999");
        const qint64 number = sms.handle("+447700900123");
        const qint64 annaChat = sms.chat({anna});
        const qint64 bobChat = sms.chat({bob});
        const qint64 numberChat = sms.chat({number});
        auto add = [&](qint64 chat, qint64 handle, const char* text, const QDateTime& when,
                       bool fromMe) {
            SmsDbBuilder::ChatMessage m;
            m.chat = chat;
            m.handle = handle;
            m.text = QString::fromUtf8(text);
            m.date = referenceSeconds(when);
            m.fromMe = fromMe;
            sms.chatMessage(m);
        };
        add(annaChat, anna, "Hello from Anna", utc(2024, 5, 1, 9), false);
        add(annaChat, anna, "See you <tomorrow>", utc(2024, 5, 2, 9), true);
        add(bobChat, bob, "The ANNUAL report", utc(2024, 5, 3, 9), false);
        add(numberChat, number, "Parcel waiting", utc(2024, 5, 4, 9), false);
        const QString path = m_dir.filePath(QStringLiteral("sms.db"));
        ASSERT_TRUE(sms.write(path));
        m_source->addDataType(5, bytesOf(path), QStringLiteral("sms.db"));
        ASSERT_TRUE(writeFullTextAddressBook(m_dir.filePath(QStringLiteral("AddressBook.sqlitedb")),
                                             {{"Anna", "Berg", "", "", "anna@example.org"},
                                              {"Bob", "Stone", "", "+15550100999", ""}}));
        m_source->addDataType(0, bytesOf(m_dir.filePath(QStringLiteral("AddressBook.sqlitedb"))),
                              QStringLiteral("AddressBook.sqlitedb"));
    }
    QByteArray chatStorage(const QString& partner)
    {
        WhatsAppDbBuilder db;
        const qint64 chat = db.chat(partner);
        db.message({chat,
                    false,
                    737888400.0,
                    WhatsAppDbBuilder::Text,
                    "1@s.whatsapp.net",
                    "Hi there",
                    {}});
        const QString path = m_dir.filePath(QStringLiteral("ChatStorage-%1.sqlite").arg(partner));
        EXPECT_TRUE(db.writeChatStorage(path));
        return bytesOf(path);
    }

    std::unique_ptr<QELMessagesView> loadedView(bool whatsAppInstalled = false)
    {
        auto view = std::make_unique<QELMessagesView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setFileSource(m_source);
        view->setAppLookup([whatsAppInstalled](QELDeviceInterface*) { return whatsAppInstalled; });
        view->setFileOpener([this](const QUrl& url) { m_opened << url; });
        view->QWidget::resize(900, 600);
        view->show();
        view->loadData();
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    QStringList shownTitles(const QELMessagesView& view) const
    {
        QStringList titles;
        for (const QString& header : view.headers()) {
            titles << QStringLiteral("[%1]").arg(header);
            for (const QELMessagesConversation& c : view.shownGroups().value(header))
                titles << c.title();
        }
        return titles;
    }
    QModelIndex rowTitled(QELMessagesView& view, const QString& title)
    {
        QAbstractItemModel* model = view.outlineViewConversations()->model();
        for (int h = 0; h < model->rowCount(); ++h) {
            const QModelIndex header = model->index(h, 0);
            if (header.data().toString() == title)
                return header;
            for (int r = 0; r < model->rowCount(header); ++r) {
                if (model->index(r, 0, header).data().toString() == title)
                    return model->index(r, 0, header);
            }
        }
        return {};
    }
    void select(QELMessagesView& view, const QStringList& titles)
    {
        QItemSelectionModel* selection = view.outlineViewConversations()->selectionModel();
        selection->clearSelection();
        for (const QString& title : titles)
            selection->select(rowTitled(view, title), QItemSelectionModel::Select);
    }
    QString waitForPage(QELMessagesView& view, const QString& expectedText)
    {
        QString text;
        waitUntil([&] {
            if (view.shownPagePath().isEmpty())
                return false;
            text = plainText(enginePageOf(view.messageDisplayWebView()));
            return text.contains(expectedText);
        });
        return text;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<FakeAttachmentSource> m_source;
    RecordingPage m_page;
    QList<QUrl> m_opened;
};

TEST_F(MessagesViewTest, LoadsTheGroupsSortedAndShowsTheFirstConversation)
{
    writeSms();
    m_source->addDataType(13, chatStorage(QStringLiteral("Carl")),
                          QStringLiteral("ChatStorage.sqlite"));
    auto view = loadedView(false);
    EXPECT_FALSE(view->loadFailed());
    EXPECT_EQ(shownTitles(*view),
              (QStringList{"[SMS & iMessage]", "Anna Berg", "Bob Stone", "+447700900123",
                           "[WhatsApp]", "Carl"}));
    QAbstractItemModelTester tester(view->outlineViewConversations()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_TRUE(view->outlineViewConversations()->isVisibleTo(view.get()));
    // The first conversation of the first group is selected and shown.
    const QString text = waitForPage(*view, QStringLiteral("See you <tomorrow>"));
    EXPECT_TRUE(text.contains(QStringLiteral("Hello from Anna"))) << text.toStdString();
    EXPECT_EQ(view->containerView()->currentWidget(),
              static_cast<QWidget*>(view->messageDisplayWebView()));
    EXPECT_TRUE(view->buttonPrint()->isEnabled());
    EXPECT_EQ(view->currentConversation()->title(), QStringLiteral("Anna Berg"));
    EXPECT_EQ(QFileInfo(view->shownPagePath()).fileName(), QStringLiteral("Anna Berg.html"));

    // The generator's progress, from its thread, makes the loading bar determinate.
    std::thread([&] { view->OnHTMLGeneratorProgressOf(3, 10); }).join();
    EXPECT_TRUE(waitUntil([&] {
        return view->loadConversationProgressView()->maximum() == 10
            && view->loadConversationProgressView()->value() == 3;
    }));
    // A header shows nothing new; two rows show nothing new.
    const QString shown = view->shownPagePath();
    select(*view, {QStringLiteral("WhatsApp")});
    QCoreApplication::processEvents();
    select(*view, {QStringLiteral("Bob Stone"), QStringLiteral("Carl")});
    QCoreApplication::processEvents();
    EXPECT_EQ(view->shownPagePath(), shown);
    EXPECT_EQ(view->currentConversation()->title(), QStringLiteral("Anna Berg"));
    // Another row shows its page.
    select(*view, {QStringLiteral("Carl")});
    EXPECT_TRUE(
        waitForPage(*view, QStringLiteral("Hi there")).contains(QStringLiteral("Hi there")));
}

TEST_F(MessagesViewTest, OnlyTheNewestConversationAskedForIsShown)
{
    writeSms();
    m_source->addDataType(13, chatStorage(QStringLiteral("Carl")),
                          QStringLiteral("ChatStorage.sqlite"));
    auto view = loadedView();
    ASSERT_FALSE(waitForPage(*view, QStringLiteral("Hello from Anna")).isEmpty());
    QSignalSpy shown(view.get(), &QELMessagesView::conversationPageShown);
    for (int round = 0; round < 5; ++round) {
        select(*view, {QStringLiteral("Bob Stone")});
        QCoreApplication::processEvents();
        const qsizetype before = shown.count();
        select(*view, {QStringLiteral("Carl")});
        ASSERT_TRUE(waitUntil([&] {
            return shown.count() > before
                && QFileInfo(shown.last().value(0).toString())
                       .fileName()
                       .startsWith(QStringLiteral("Carl"));
        })) << round
            << " " << view->shownPagePath().toStdString() << " " << shown.count();
        // Once Carl was asked for, Bob's page, cancelled or late, never showed.
        for (qsizetype i = before; i < shown.count(); ++i)
            EXPECT_FALSE(shown.at(i).value(0).toString().contains(QStringLiteral("Bob")));
        EXPECT_EQ(view->currentConversation()->title(), QStringLiteral("Carl"));
    }
    // The pages shown before do not pile up.
    const QString pages = QFileInfo(view->shownPagePath()).absolutePath();
    EXPECT_TRUE(waitUntil([&] {
        return QDir(pages).entryList({QStringLiteral("*.html")}, QDir::Files).size() <= 2;
    })) << QDir(pages).entryList(QDir::Files).join(',').toStdString();
}

TEST_F(MessagesViewTest, WhatsAppComesFromWhereTheInstalledAppKeepsItsDatabases)
{
    struct Case {
        const char* name;
        bool installed;
        bool appDomain; // Documents/ChatStorage.sqlite in the app's domain
        bool shared;    // ChatStorage.sqlite in the shared group container
        bool dataTypes; // data types 13 and 14
        QStringList headers;
        QString title;
    };
    const QList<Case> cases = {
        {"installed, its own domain", true, true, true, false, {"WhatsApp"}, "Own"},
        {"installed, shared container only", true, false, true, false, {"WhatsApp"}, "Shared"},
        {"not installed, the data types", false, false, true, true, {"WhatsApp"}, "Typed"},
        {"not installed, shared container only", false, false, true, false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_source = std::make_shared<FakeAttachmentSource>(m_dir.filePath(QStringLiteral("copies")));
        if (c.appDomain)
            m_source->add(kWhatsAppDomain, QStringLiteral("Documents/ChatStorage.sqlite"),
                          chatStorage(QStringLiteral("Own")));
        if (c.shared)
            m_source->add(kSharedDomain, QStringLiteral("ChatStorage.sqlite"),
                          chatStorage(QStringLiteral("Shared")));
        if (c.dataTypes)
            m_source->addDataType(13, chatStorage(QStringLiteral("Typed")),
                                  QStringLiteral("ChatStorage.sqlite"));
        auto view = loadedView(c.installed);
        EXPECT_EQ(view->headers(), c.headers);
        if (!c.headers.isEmpty()) {
            ASSERT_EQ(view->shownGroups().value(QStringLiteral("WhatsApp")).size(), 1);
            EXPECT_EQ(view->shownGroups().value(QStringLiteral("WhatsApp")).first().title(),
                      c.title);
        } else {
            // Nothing to show: the no-messages page, no list.
            EXPECT_EQ(view->containerView()->currentWidget(), view->noMessagesFoundView());
            EXPECT_FALSE(view->outlineViewConversations()->isVisibleTo(view.get()));
            EXPECT_FALSE(view->buttonPrint()->isVisibleTo(view.get()));
        }
    }
}

TEST_F(MessagesViewTest, AnUnreadableDatabaseSaysSoInsteadOfAnEmptyList)
{
    m_source->addDataType(5, QByteArray(4096, 'x'), QStringLiteral("sms.db"));
    auto view = loadedView();
    EXPECT_TRUE(view->loadFailed());
}

TEST_F(MessagesViewTest, SearchKeepsTitlesAtOnceAndMessageMatchesOnceRead)
{
    writeSms();
    auto view = loadedView();
    QSignalSpy finished(view.get(), &QELMessagesView::searchFinished);
    view->search(QStringLiteral("ann"));
    // The title half is there before any message is read.
    EXPECT_EQ(shownTitles(*view), (QStringList{"[SMS & iMessage]", "Anna Berg"}));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(shownTitles(*view), (QStringList{"[SMS & iMessage]", "Anna Berg", "Bob Stone"}));
    // A newer search wins; an empty one restores every list.
    view->search(QStringLiteral("zzz"));
    view->search(QString());
    EXPECT_EQ(shownTitles(*view),
              (QStringList{"[SMS & iMessage]", "Anna Berg", "Bob Stone", "+447700900123"}));
    waitUntil([&] { return finished.count() >= 3; }, 500);
    EXPECT_EQ(shownTitles(*view).size(), 4);
    // Headers stay when their list is empty.
    view->search(QStringLiteral("nobody"));
    ASSERT_TRUE(waitUntil([&] {
        return finished.count() >= 3 && finished.last().value(0).toString() == "nobody";
    })) << finished.count()
        << " " << finished.last().value(0).toString().toStdString();
    EXPECT_EQ(shownTitles(*view), QStringList{"[SMS & iMessage]"});
}

TEST_F(MessagesViewTest, ADateRangeLimitsThePageAndItsLabelFollowsTheRange)
{
    writeSms();
    auto view = loadedView();
    ASSERT_FALSE(waitForPage(*view, QStringLiteral("Hello from Anna")).isEmpty());
    EXPECT_FALSE(view->labelShowingSelectedDateRange()->isVisibleTo(view.get()));
    QDate from(2024, 6, 1);
    QDate to(2024, 6, 11);
    view->setPanelRunner([&](QELDateSelectPanel& panel) {
        panel.radioButtonShowSelectedDates()->click();
        panel.startDatePicker()->setDate(from);
        panel.endDatePicker()->setDate(to);
        panel.buttonOKClicked();
    });
    view->buttonSetDateRangeClicked();
    EXPECT_TRUE(view->labelShowingSelectedDateRange()->isVisibleTo(view.get()));
    EXPECT_EQ(view->startDateRange().date(), from);
    QString text = waitForPage(*view, L("NOMESSAGESINSELECTEDDATES"));
    EXPECT_FALSE(text.contains(QStringLiteral("Hello from Anna")));
    // A range holding the first day shows only its message.
    from = to = QDate(2024, 5, 1);
    view->buttonSetDateRangeClicked();
    text = waitForPage(*view, QStringLiteral("Hello from Anna"));
    EXPECT_FALSE(text.contains(QStringLiteral("tomorrow")));
    // Both dates cleared: the label goes and every message is back.
    view->setPanelRunner([](QELDateSelectPanel& panel) {
        panel.radioButtonShowAll()->click();
        panel.buttonOKClicked();
    });
    view->buttonSetDateRangeClicked();
    EXPECT_FALSE(view->labelShowingSelectedDateRange()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->startDateRange().isValid());
    EXPECT_TRUE(waitForPage(*view, QStringLiteral("tomorrow")).contains(QStringLiteral("Hello")));
}

// The sheet opens on the days of the whole conversation, refuses a From after
// the To, and its Cancel (like Esc) leaves the range shown as it was.
TEST_F(MessagesViewTest, TheDateRangeSheetStartsAtTheConversationAndCancelChangesNothing)
{
    writeSms();
    auto view = loadedView();
    select(*view, {QStringLiteral("Anna Berg")});
    ASSERT_FALSE(waitForPage(*view, QStringLiteral("tomorrow")).isEmpty());
    QDate shownFrom, shownTo;
    bool okRefused = false;
    view->setPanelRunner([&](QELDateSelectPanel& panel) {
        panel.radioButtonShowSelectedDates()->click();
        shownFrom = panel.startDatePicker()->date();
        shownTo = panel.endDatePicker()->date();
        // An empty range: OK is off and says why; pressing it takes nothing.
        panel.startDatePicker()->setDate(shownTo.addDays(5));
        okRefused = !panel.buttonOK()->isEnabled() && panel.emptyRangeLabel()->isVisibleTo(&panel);
        panel.buttonOKClicked();
        if (panel.result() == QDialog::Accepted)
            return;
        panel.buttonCancel()->click();
    });
    view->buttonSetDateRangeClicked();
    EXPECT_EQ(shownFrom, utc(2024, 5, 1, 9).toLocalTime().date());
    EXPECT_EQ(shownTo, utc(2024, 5, 2, 9).toLocalTime().date());
    EXPECT_TRUE(okRefused);
    EXPECT_FALSE(view->startDateRange().isValid());
    EXPECT_FALSE(view->endDateRange().isValid());
    EXPECT_FALSE(view->labelShowingSelectedDateRange()->isVisibleTo(view.get()));
}

// Ctrl+A selects the conversations, not their group headers, and a copy
// writes each conversation once even when a header and its rows are selected.
TEST_F(MessagesViewTest, SelectAllThenCopyWritesEachConversationOnce)
{
    writeSms();
    auto view = loadedView();
    QTreeView* outline = view->outlineViewConversations();
    outline->setFocus();
    QTest::keyClick(outline, Qt::Key_A, Qt::ControlModifier);
    const QModelIndexList rows = outline->selectionModel()->selectedRows();
    EXPECT_EQ(rows.size(), 3);
    for (const QModelIndex& row : rows)
        EXPECT_TRUE(row.parent().isValid()) << row.data().toString().toStdString();

    // A header selected with its rows, as a mouse sweep leaves it.
    const QModelIndex header = outline->model()->index(0, 0);
    outline->selectionModel()->select(header,
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTemporaryDir folder;
    view->setFolderChooser([&](QWidget*) { return folder.path(); });
    m_page.status.clear();
    m_page.progress.clear();
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"+447700900123.html", "Anna Berg.html", "Bob Stone.html"}));
    ASSERT_FALSE(m_page.progress.isEmpty());
    EXPECT_TRUE(m_page.progress.last().endsWith(QStringLiteral("3/3")));
}

TEST_F(MessagesViewTest, CopyQueuesTheSelectionOrEverythingIntoTheChosenFolder)
{
    writeSms();
    m_source->addDataType(13, chatStorage(QStringLiteral("Carl")),
                          QStringLiteral("ChatStorage.sqlite"));
    auto view = loadedView();
    struct Case {
        const char* name;
        QStringList selected;
        QStringList files;
    };
    const QList<Case> cases = {
        {"the WhatsApp header", {"WhatsApp"}, {"Carl.html"}},
        {"two rows", {"Bob Stone", "Anna Berg"}, {"Anna Berg.html", "Bob Stone.html"}},
        {"nothing selected",
         {},
         {"+447700900123.html", "Anna Berg.html", "Bob Stone.html", "Carl.html"}},
    };
    int runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        view->setFolderChooser([&](QWidget*) { return folder.path(); });
        select(*view, c.selected);
        m_page.status.clear();
        view->RequestCopy();
        ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
        ++runs;
        EXPECT_EQ(m_page.status, QStringList{L("ALLMESSAGECOPYCOMPLETE") + QLatin1Char('|')});
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files, QDir::Name), c.files);
    }
    EXPECT_TRUE(m_page.progress.contains(L("COPYINGMESSAGES") + QStringLiteral("|Carl|1/1")));
    // A cancelled folder choice copies nothing.
    view->setFolderChooser([](QWidget*) { return QString(); });
    m_page.status.clear();
    view->RequestCopy();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_page.status.isEmpty());
}

TEST_F(MessagesViewTest, AClickedLinkOpensOnlyAFileOfThePagesFolder)
{
    writeSms();
    auto view = loadedView();
    ASSERT_FALSE(waitForPage(*view, QStringLiteral("Hello from Anna")).isEmpty());
    const QString folder = QFileInfo(view->shownPagePath()).absolutePath();
    QDir().mkpath(folder + QStringLiteral("/files"));
    QFile inside(folder + QStringLiteral("/files/clip.aac"));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    QFile outside(m_dir.filePath(QStringLiteral("secret.txt")));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.close();
    EXPECT_TRUE(view->openClickedLink(QUrl::fromLocalFile(inside.fileName())));
    EXPECT_FALSE(view->openClickedLink(QUrl::fromLocalFile(outside.fileName())));
    EXPECT_FALSE(view->openClickedLink(
        QUrl::fromLocalFile(folder + QStringLiteral("/files/../../secret.txt"))));
    EXPECT_FALSE(view->openClickedLink(QUrl(QStringLiteral("https://example.org/"))));
    EXPECT_EQ(m_opened, QList<QUrl>{QUrl::fromLocalFile(inside.fileName())});
}

TEST(DateSelectPanel, OpensOnTheStoredRangeOrOffersTheLastMonth)
{
    QELDateSelectPanel panel;
    panel.setDatesEndDate({}, {});
    panel.show();
    EXPECT_TRUE(panel.radioButtonShowAll()->isChecked());
    EXPECT_FALSE(panel.boxSelectDates()->isVisible());
    EXPECT_FALSE(panel.getStartDate().isValid());
    EXPECT_FALSE(panel.getEndDate().isValid());
    panel.radioButtonShowSelectedDates()->click();
    EXPECT_TRUE(panel.boxSelectDates()->isVisible());
    const QDate today = QDate::currentDate();
    EXPECT_EQ(panel.endDatePicker()->date(), today);
    EXPECT_EQ(panel.startDatePicker()->date(), today.addMonths(-1));
    EXPECT_EQ(panel.getEndDate(), today.startOfDay());
    panel.radioButtonShowAll()->click();
    EXPECT_FALSE(panel.boxSelectDates()->isVisible());

    const QDateTime start = QDate(2014, 3, 1).startOfDay();
    const QDateTime end = QDate(2014, 3, 31).startOfDay();
    panel.setDatesEndDate(start, end);
    EXPECT_TRUE(panel.radioButtonShowSelectedDates()->isChecked());
    EXPECT_TRUE(panel.boxSelectDates()->isVisible());
    EXPECT_EQ(panel.getStartDate(), start);
    EXPECT_EQ(panel.getEndDate(), end);
    // Closed by its window's close control, it keeps what it shows.
    panel.close();
    EXPECT_EQ(panel.getStartDate(), start);
}

TEST(DateSelectPanel, RefusesAnEmptyRangeOffersCancelAndStartsAtTheConversation)
{
    QELDateSelectPanel panel;
    panel.setConversationRange(QDate(2019, 2, 3).startOfDay(), QDate(2023, 8, 9).startOfDay());
    panel.setDatesEndDate({}, {});
    panel.show();
    ASSERT_NE(panel.buttonCancel(), nullptr);
    EXPECT_EQ(panel.buttonCancel()->text(), L("CANCEL"));
    panel.radioButtonShowSelectedDates()->click();
    EXPECT_EQ(panel.startDatePicker()->date(), QDate(2019, 2, 3));
    EXPECT_EQ(panel.endDatePicker()->date(), QDate(2023, 8, 9));
    EXPECT_TRUE(panel.buttonOK()->isEnabled());
    EXPECT_FALSE(panel.emptyRangeLabel()->isVisible());

    struct Case {
        QDate from, to;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {QDate(2020, 1, 2), QDate(2020, 1, 1), false},
        {QDate(2020, 1, 1), QDate(2020, 1, 1), true},
        {QDate(2020, 1, 1), QDate(2021, 1, 1), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.toString(Qt::ISODate).toStdString());
        panel.setResult(QDialog::Rejected);
        panel.startDatePicker()->setDate(c.from);
        panel.endDatePicker()->setDate(c.to);
        EXPECT_EQ(panel.buttonOK()->isEnabled(), c.accepted);
        EXPECT_EQ(panel.emptyRangeLabel()->isVisible(), !c.accepted);
        panel.buttonOKClicked();
        EXPECT_EQ(panel.result() == QDialog::Accepted, c.accepted);
        panel.show();
    }
    // Show all is never an empty range.
    panel.startDatePicker()->setDate(QDate(2022, 1, 2));
    panel.endDatePicker()->setDate(QDate(2022, 1, 1));
    panel.radioButtonShowAll()->click();
    EXPECT_TRUE(panel.buttonOK()->isEnabled());
    panel.buttonCancel()->click();
    EXPECT_EQ(panel.result(), QDialog::Rejected);
}

TEST(MessagesPageInTheWebView, LoadsFromItsFileAndPrintsItsTextToPdf)
{
    QTemporaryDir dir;
    QELMessagesHTMLGenerator generator;
    setUpForGoldenPages(generator, dir.path());
    QELMessagesConversation c;
    QELMessageParticipant p;
    p.setAddress(QStringLiteral("+1555"));
    p.setName(QStringLiteral("Ann Lee"));
    c.setParticipants({p});
    // Large enough that the engine would refuse it inline (over 2 MB).
    QList<QELMessageDetail> messages;
    for (int i = 0; i < 6000; ++i) {
        QELMessageDetail m;
        m.setTime(utc(2024, 5, 1, 9).addSecs(i * 60));
        m.setMessage(QStringLiteral("Message number %1 with some text to fill the page <b>").arg(i)
                     + QString(120, QLatin1Char('x')));
        messages << m;
    }
    const QStringList pages =
        generator.generateHTMLForConversationWithMessagesUseDeviceBackup(c, messages, nullptr);
    ASSERT_EQ(pages.size(), 1);
    ASSERT_GT(QFileInfo(pages.first()).size(), 2 * 1024 * 1024);
    QELWebView view;
    view.resize(800, 600);
    QSignalSpy loaded(&view, &QELWebView::loadFinished);
    view.loadFile(pages.first());
    ASSERT_TRUE(waitUntil([&] { return loaded.count() > 0; }, 60000));
    EXPECT_TRUE(loaded.first().value(0).toBool());
    const QString text = plainText(enginePageOf(&view));
    EXPECT_TRUE(
        text.contains(QStringLiteral("Message number 5999 with some text to fill the page <b>")));
    EXPECT_TRUE(text.contains(L("CONVERSATIONWITH").arg(QStringLiteral("Ann Lee"))));
    // Its text cannot be selected, as an inline page's cannot.
    QVariant userSelect;
    bool asked = false;
    enginePageOf(&view)->runJavaScript(
        QStringLiteral("getComputedStyle(document.body).webkitUserSelect"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
            userSelect = v;
            asked = true;
        });
    ASSERT_TRUE(waitUntil([&] { return asked; }));
    EXPECT_EQ(userSelect.toString(), QStringLiteral("none"));

    // A short page prints to a PDF that holds its text.
    const QStringList shortPages = generator.generateHTMLForConversationWithMessagesUseDeviceBackup(
        c, messages.mid(0, 3), nullptr);
    ASSERT_EQ(shortPages.size(), 1);
    loaded.clear();
    view.loadFile(shortPages.first());
    ASSERT_TRUE(waitUntil([&] { return loaded.count() > 0; }, 60000));
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    QSignalSpy printed(&view, &QELWebView::pdfPrintingFinished);
    view.printToPdf(pdf);
    ASSERT_TRUE(waitUntil([&] { return printed.count() > 0; }, 60000));
    EXPECT_TRUE(printed.first().value(1).toBool());
    QProcess toText;
    toText.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(toText.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    const QString pdfText = QString::fromUtf8(toText.readAllStandardOutput());
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Message number 2 with some text")))
        << pdfText.toStdString();
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Ann Lee")));

    // The print dialog's "Print to File" gives the page's own PDF: its text
    // can be found and copied, and no page is a picture; a heading (a note's
    // title and date) stands above the page on paper only.
    const auto printedText = [&](const std::function<void(QPrinter*)>& print) {
        const QString file = dir.filePath(QStringLiteral("printed.pdf"));
        QFile::remove(file);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        QSignalSpy finished(&view, &QELWebView::printFinished);
        print(&printer);
        EXPECT_TRUE(waitUntil([&] { return finished.count() > 0; }, 60000));
        EXPECT_TRUE(finished.value(0).value(0).toBool());
        QProcess images;
        images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file});
        EXPECT_TRUE(images.waitForFinished(30000));
        // The header lines only: no picture in the file.
        EXPECT_LE(QString::fromUtf8(images.readAllStandardOutput()).trimmed().count('\n'), 1);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(30000));
        return QString::fromUtf8(text.readAllStandardOutput());
    };
    const QString printedPage = printedText([&](QPrinter* p) { view.print(p); });
    EXPECT_TRUE(printedPage.contains(QStringLiteral("Message number 1 with some text")))
        << printedPage.toStdString();
    const QString headed = printedText([&](QPrinter* p) {
        view.print(p, QStringLiteral("Shopping <list>"), QStringLiteral("12 May 2024"));
    });
    EXPECT_TRUE(headed.contains(QStringLiteral("Shopping <list>"))) << headed.toStdString();
    EXPECT_TRUE(headed.contains(QStringLiteral("12 May 2024")));
    EXPECT_TRUE(headed.contains(QStringLiteral("Message number 1 with some text")));
    EXPECT_FALSE(plainText(enginePageOf(&view)).startsWith(QStringLiteral("Shopping")));
}

} // namespace
