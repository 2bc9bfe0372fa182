// SPDX-License-Identifier: GPL-3.0-or-later
// The books view, headless, over the simulated device: its pages, search,
// View PDF, the copies and their messages.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>

#include "BooksFixture.h"
#include "BooksTestSupport.h"
#include "CategoryRegistry.h"
#include "FolderMediaLibraryHost.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "QELBookViewingCopy.h"
#include "QELBooksListModel.h"
#include "QELBooksView.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELTransferBooks.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

using namespace BooksTest;

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

QStringList names(const QList<QELBookDetails>& books)
{
    QStringList out;
    for (const QELBookDetails& book : books)
        out << book.name();
    return out;
}

class BooksViewTest : public ::testing::Test {
protected:
    // A view over the connected device, loaded.
    std::unique_ptr<QELBooksView> loadedView()
    {
        auto view = std::make_unique<QELBooksView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setDeviceInterface(&m_phone.device());
        view->setFileOpener([this](const QUrl& file) { m_opened << file.toLocalFile(); });
        view->setFolderChooser([this](QWidget*) {
            ++m_panels;
            return m_folder;
        });
        int loads = 0;
        QObject::connect(view.get(), &QELBooksView::booksLoaded, view.get(), [&loads] { ++loads; });
        view->loadBooks();
        EXPECT_TRUE(waitUntil([&] { return loads == 1; }));
        QObject::disconnect(view.get(), &QELBooksView::booksLoaded, nullptr, nullptr);
        return view;
    }
    void select(QELBooksView& view, const QStringList& titles)
    {
        QListView* grid = view.booksCollectionView();
        grid->selectionModel()->clearSelection();
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            const QModelIndex index = grid->model()->index(row, 0);
            if (titles.contains(index.data().toString()))
                grid->selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }
    // Clicks View PDF and waits for its copy; answers the files opened since.
    QStringList viewPDF(QELBooksView& view)
    {
        m_opened.clear();
        bool ready = false;
        const auto connection = QObject::connect(&view, &QELBooksView::pdfReady, &view,
                                                 [&ready](const QString&) { ready = true; });
        if (view.viewPDFButtonClicked()) {
            EXPECT_TRUE(waitUntil([&] { return ready; }));
        }
        QObject::disconnect(connection);
        return m_opened;
    }
    bool waitForStatus(int count)
    {
        return waitUntil([&] { return m_page.status.size() >= count; });
    }

    Device m_phone;
    RecordingPage m_page;
    QStringList m_opened;
    QString m_folder;
    int m_panels = 0;
};

TEST(BooksViewModel, PassesTheModelTester)
{
    QELBooksListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QELBookDetails a;
    a.setName(QStringLiteral("A"));
    model.setBooks({a, QELBookDetails()});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("A"));
    model.setBooks({});
    EXPECT_EQ(model.rowCount(), 0);
}

// Which page the view ends on: the grid, the no-books page, or the
// books-app-not-found page (no app, or no "/Books").
TEST(BooksViewPages, TheLoadEndsOnThePageTheDeviceCallsFor)
{
    struct Case {
        const char* name;
        Device::Apps apps;
        std::function<void(SimulatedDeviceBuilder&)> describe;
        QString page;
        int books;
    };
    const std::vector<Case> cases{
        {"library", Device::WithBooksApp, [](auto& d) { addLibrary(d); }, "books", 9},
        {"no books app", Device::WithoutBooksApp, [](auto& d) { addLibrary(d); },
         "booksAppNotFound", 0},
        {"no /Books", Device::WithBooksApp, [](auto& d) { d.afcFolder("Other"); },
         "booksAppNotFound", 0},
        {"empty lists", Device::WithBooksApp,
         [](auto& d) {
             d.afcFile("Books/Books.plist", BooksFixture::mainList({}))
                 .afcFile("Books/Purchases/Purchases.plist", BooksFixture::purchasesList({}));
         },
         "noBooks", 0},
        {"truncated list", Device::WithBooksApp,
         [](auto& d) {
             d.afcFile("Books/Books.plist",
                       QByteArray("<?xml version=\"1.0\"?><plist><dict><key>Bo"));
         },
         "noBooks", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device phone(c.apps);
        c.describe(phone.builder());
        ASSERT_TRUE(phone.connect());
        QELBooksView view(QRect(0, 0, 800, 600));
        view.setDeviceInterface(&phone.device());
        EXPECT_EQ(view.shownPage(), QStringLiteral("loading"));
        bool loaded = false;
        QObject::connect(&view, &QELBooksView::booksLoaded, &view, [&loaded] { loaded = true; });
        view.loadBooks();
        ASSERT_TRUE(waitUntil([&] { return loaded; }));
        EXPECT_EQ(view.shownPage(), c.page);
        EXPECT_EQ(view.booksList().size(), size_t(c.books));
        // The check never leaves the apps connection open.
        EXPECT_FALSE(phone.device().appsConnectionIsOpen());
    }
}

TEST_F(BooksViewTest, TheSearchIgnoresCaseAndDiacriticsAndAnEmptyTextShowsEveryBook)
{
    addLibrary(m_phone.builder());
    ASSERT_TRUE(m_phone.connect());
    auto view = loadedView();
    struct Case {
        QString text;
        QStringList shown;
    };
    const std::vector<Case> cases{
        {"moby", {"Moby Dick"}},
        {"CAFE UNI", {"Café ünï"}},
        {"o", {"Report", "Moby Dick", "Folder Book", "Bought", "Cloud Only"}},
        {"nothing like it", {}},
        {"",
         {"Report", "Moby Dick", "Folder Book", "a/b", "..", "", "Café ünï", "Bought",
          "Cloud Only"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        view->search(c.text);
        EXPECT_EQ(names(view->shownBooks()), c.shown);
    }
}

// View PDF takes the first selected book of the PDF kind (here the second of
// the selection), copies it into the temporary folder's "pdf" under its ID,
// named by its title (what the viewer shows), and opens that copy; a copy of the same size is
// opened again, a stale one is replaced.
TEST_F(BooksViewTest, ViewPDFOpensAFreshCopyOfTheFirstSelectedPDF)
{
    addLibrary(m_phone.builder());
    ASSERT_TRUE(m_phone.connect());
    auto view = loadedView();
    select(*view, {"Moby Dick", "Report"});
    const QString copy = Locations::temporaryFolder() + QStringLiteral("/pdf/A1/Report.pdf");
    EXPECT_EQ(viewPDF(*view), QStringList{copy});
    EXPECT_EQ(readLocalFile(copy), reportPdf());

    // Opened again from the same copy.
    const QDateTime marked = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);
    {
        QFile made(copy);
        ASSERT_TRUE(made.open(QIODevice::ReadWrite));
        ASSERT_TRUE(made.setFileTime(marked, QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(viewPDF(*view), QStringList{copy});
    EXPECT_EQ(QFileInfo(copy).lastModified().toUTC(), marked);

    // A copy that no longer matches the device's file is made afresh.
    QFile stale(copy);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
    stale.write("another book's pages");
    stale.close();
    EXPECT_EQ(viewPDF(*view), QStringList{copy});
    EXPECT_EQ(readLocalFile(copy), reportPdf());

    // Only ePubs selected: nothing is opened.
    select(*view, {"Moby Dick", "Café ünï"});
    EXPECT_FALSE(view->viewPDFButtonClicked());
    EXPECT_FALSE(QFileInfo::exists(QELBookViewingCopy::folder() + QStringLiteral("/B2")));
}

// Two books of one name each open their own copy.
TEST_F(BooksViewTest, TwoPDFsOfOneNameOpenTheirOwnCopies)
{
    m_phone.builder()
        .afcFile("Books/one.pdf", BooksFixture::pdf("one"))
        .afcFile("Books/two.pdf", BooksFixture::pdf("two, a longer one"))
        .afcFile(
            "Books/Books.plist",
            BooksFixture::mainList(
                {{QString("Manual"), QString("M1"), {}, {}, QString("one.pdf"), QString("pdf"), {}},
                 {QString("Manual"),
                  QString("M2"),
                  {},
                  {},
                  QString("two.pdf"),
                  std::nullopt,
                  {}}}));
    ASSERT_TRUE(m_phone.connect());
    auto view = loadedView();
    QListView* grid = view->booksCollectionView();
    grid->selectionModel()->select(grid->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    const QStringList second = viewPDF(*view);
    grid->selectionModel()->select(grid->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    const QStringList first = viewPDF(*view);
    ASSERT_EQ(first.size(), 1);
    ASSERT_EQ(second.size(), 1);
    EXPECT_NE(first, second);
    // Each under the book's name, as the viewer shows it.
    EXPECT_EQ(QFileInfo(first.constFirst()).fileName(), QStringLiteral("Manual.pdf"));
    EXPECT_EQ(QFileInfo(second.constFirst()).fileName(), QStringLiteral("Manual.pdf"));
    EXPECT_EQ(readLocalFile(first.constFirst()), BooksFixture::pdf("one"));
    EXPECT_EQ(readLocalFile(second.constFirst()), BooksFixture::pdf("two, a longer one"));
}

// Copy to the computer: only PDF books are taken; with none the folder is
// not even asked for. The progress and the end reach the page, the end with
// the skipped count of a second run.
TEST_F(BooksViewTest, CopyToTheComputerTakesPDFBooksAndReportsSkippedOnes)
{
    addLibrary(m_phone.builder());
    ASSERT_TRUE(m_phone.connect());
    auto view = loadedView();
    m_folder = m_phone.scratch(QStringLiteral("Chosen"));

    select(*view, {"Moby Dick", "Café ünï"});
    view->RequestCopy();
    EXPECT_EQ(m_panels, 0);

    select(*view, {"Moby Dick", "Report"});
    view->RequestCopy();
    EXPECT_EQ(m_panels, 1);
    ASSERT_TRUE(waitForStatus(1));
    EXPECT_EQ(m_page.progress, QStringList{L("COPYINGBOOK") + "|Report|1/1"});
    EXPECT_EQ(m_page.status, QStringList{L("ALLBOOKCOPYINGCOMPLETE") + "|"});
    EXPECT_EQ(localTree(m_folder), QStringList{"Report.pdf"});

    view->RequestCopy();
    ASSERT_TRUE(waitForStatus(2));
    EXPECT_EQ(m_page.status.at(1), L("ALLBOOKCOPYINGCOMPLETE") + "|" + Ln("BOOKSSKIPPED", 1));

    // Nothing selected: every shown PDF book.
    view->booksCollectionView()->selectionModel()->clearSelection();
    view->search(QStringLiteral("book"));
    view->RequestCopy();
    ASSERT_TRUE(waitForStatus(3));
    EXPECT_EQ(localTree(m_folder).filter(".pdf").size(), 6); // the folder book's two parts too
    EXPECT_TRUE(QFileInfo(m_folder + "/Folder Book.pdf").isDir());
}

// The transfer takes every chosen book into the library and leaves the
// view's records as they were.
TEST_F(BooksViewTest, TheTransferTakesEveryChosenBookAndLeavesTheViewsRecords)
{
    addLibrary(m_phone.builder());
    ASSERT_TRUE(m_phone.connect());
    auto view = loadedView();
    const QString music = m_phone.scratch(QStringLiteral("Music"));
    ASSERT_TRUE(QDir().mkpath(music + "/iTunes"));
    view->transferBooksJob()->setMediaLibraryHost(std::make_shared<FolderMediaLibraryHost>(music));
    select(*view, {"Report", "Moby Dick"});
    view->RequestTransfer();
    ASSERT_TRUE(waitForStatus(1));
    EXPECT_EQ(m_page.progress,
              (QStringList{L("COPYINGBOOK") + "|Report|1/2", L("COPYINGBOOK") + "|Moby Dick|2/2"}));
    const QString books = music + "/iTunes/iTunes Media/Books";
    EXPECT_TRUE(QFileInfo::exists(books + "/Report.pdf"));
    EXPECT_TRUE(QFileInfo(books + "/Moby Dick.epub").isDir());
    EXPECT_EQ(view->booksList().at(0).extension(), std::optional<QString>("pdf"));
    EXPECT_EQ(view->booksList().at(0).name(), QStringLiteral("Report"));
}

// The category's row makes the view and starts its load.
TEST_F(BooksViewTest, TheCategoryRowMakesALoadingView)
{
    addLibrary(m_phone.builder());
    ASSERT_TRUE(m_phone.connect());
    const CategoryDescriptor* row = CategoryRegistry::instance().find(9);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->titleKey, QStringLiteral("BOOKS"));
    EXPECT_EQ(row->flagColumn, 9);
    std::unique_ptr<QELDeviceCategoryContentView> made(
        row->makeView({9, QRect(0, 0, 800, 600), &m_phone.device(), nullptr}));
    auto* view = qobject_cast<QELBooksView*>(made.get());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->answers(QELDeviceCategoryContentView::Transfer));
    EXPECT_TRUE(view->answers(QELDeviceCategoryContentView::CancelCopy));
    EXPECT_TRUE(waitUntil([&] { return view->shownPage() == QStringLiteral("books"); }));
}

} // namespace
