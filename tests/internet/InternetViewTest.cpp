// SPDX-License-Identifier: GPL-3.0-or-later
// The internet view over a folder of Safari's files: the lists after a load,
// which selection gives an address, the preview and the browser for web
// addresses only, and the shortcut saved. No page is ever loaded: the
// preview's navigations go to a hook that refuses them.
#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include "FolderBackupFileSource.h"
#include "InternetImages.h"
#include "Plist.h"
#include "QELInternetView.h"
#include "QtPrinters.h"
#include "SafariFixture.h"
#include "ThreadCheck.h"
#include "WaitUntil.h"

namespace {

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every index below `parent` that has children, in depth-first order.
QModelIndexList parents(const QAbstractItemModel* model, const QModelIndex& parent = {})
{
    QModelIndexList list;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex child = model->index(row, 0, parent);
        if (model->rowCount(child) > 0)
            list << child << parents(model, child);
    }
    return list;
}

QModelIndex find(const QAbstractItemModel* model, const QString& text,
                 const QModelIndex& parent = {})
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex child = model->index(row, 0, parent);
        if (child.data().toString() == text)
            return child;
        const QModelIndex below = find(model, text, child);
        if (below.isValid())
            return below;
    }
    return {};
}

class InternetView : public ::testing::Test {
protected:
    void SetUp() override
    {
        put(m_files.filePath(QStringLiteral("Bookmarks.db")),
            SafariFixture::bookmarksDbBytes(SafariFixture::edgeCaseBookmarks()));
        put(m_files.filePath(QStringLiteral("History.db")),
            SafariFixture::historyDbBytes(SafariFixture::edgeCaseDbVisits()));
        m_view = std::make_unique<QELInternetView>(QRect(0, 0, 900, 600));
        m_view->setTimeZone(QTimeZone(2 * 3600));
        m_view->setPreviewNavigationHook([this](const QUrl& url) { m_loaded << url; });
        m_view->setUrlOpener([this](const QUrl& url) { m_opened << url; });
        m_view->setFolderChooser([this](QWidget*) {
            ++m_panels;
            return m_chosenFolder;
        });
        m_view->show();
    }

    void load(const QString& folder)
    {
        m_view->setFileSource(std::make_shared<FolderBackupFileSource>(folder));
        m_view->loadData();
        ASSERT_TRUE(waitUntil([&] { return m_view->viewSideBarContentContainter()->isVisible(); }));
    }

    void select(QTreeView* outline, const QString& text)
    {
        const QModelIndex index = find(outline->model(), text);
        ASSERT_TRUE(index.isValid()) << text.toStdString();
        outline->selectionModel()->select(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    void selectVisit(const QString& title) { select(m_view->outlineViewHistory(), title); }
    void selectBookmark(const QString& title) { select(m_view->outlineViewBookmarks(), title); }

    QTemporaryDir m_files;
    std::unique_ptr<QELInternetView> m_view;
    QList<QUrl> m_loaded;
    QList<QUrl> m_opened;
    QString m_chosenFolder;
    int m_panels = 0;
};

TEST_F(InternetView, ALoadShowsTheHistoryFirstAndBothListsFullyExpanded)
{
    load(m_files.path());
    EXPECT_EQ(m_view->visibleList(), QELInternetView::HistoryList);
    EXPECT_TRUE(m_view->pageViewHistory()->isVisible());
    EXPECT_FALSE(m_view->pageViewBookmarks()->isVisible());
    EXPECT_FALSE(m_view->loadFailed());
    const QAbstractItemModel* history = m_view->historyModel();
    ASSERT_EQ(history->rowCount(), 3);
    const QLocale locale;
    EXPECT_EQ(history->index(0, 0).data().toString(),
              locale.toString(QDate(2024, 1, 2), QLocale::ShortFormat));
    EXPECT_EQ(history->index(1, 0).data().toString(),
              locale.toString(QDate(2024, 1, 1), QLocale::ShortFormat));
    for (QTreeView* outline : {m_view->outlineViewHistory(), m_view->outlineViewBookmarks()}) {
        const QModelIndexList expandable = parents(outline->model());
        EXPECT_FALSE(expandable.isEmpty());
        for (const QModelIndex& index : expandable) {
            SCOPED_TRACE(index.data().toString().toStdString());
            EXPECT_TRUE(outline->isExpanded(index));
        }
    }
    // The folder picture only for a row that holds something.
    const QImage folderImage = InternetImages::folder().pixmap(16).toImage();
    const QImage bookmarkImage = InternetImages::bookmark().pixmap(16).toImage();
    ASSERT_NE(folderImage, bookmarkImage);
    auto image = [](const QModelIndex& index) {
        return index.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    };
    const QAbstractItemModel* bookmarks = m_view->bookmarksModel();
    EXPECT_EQ(image(find(bookmarks, QStringLiteral("Favorites"))), folderImage);
    EXPECT_EQ(image(find(bookmarks, QStringLiteral("Empty"))), bookmarkImage);
    EXPECT_EQ(bookmarks->rowCount(find(bookmarks, QStringLiteral("Empty"))), 0);
    EXPECT_EQ(image(find(bookmarks, QStringLiteral("Deep"))), bookmarkImage);
    EXPECT_EQ(image(history->index(0, 0)), folderImage);
    EXPECT_EQ(image(history->index(0, 0, history->index(0, 0))), bookmarkImage);
    // Hidden rows are nowhere.
    EXPECT_FALSE(find(bookmarks, QStringLiteral("Secret")).isValid());
    EXPECT_FALSE(find(bookmarks, QStringLiteral("Inside hidden")).isValid());
}

TEST_F(InternetView, TheModelsAreSoundTrees)
{
    load(m_files.path());
    QAbstractItemModelTester history(m_view->historyModel(),
                                     QAbstractItemModelTester::FailureReportingMode::Warning);
    QAbstractItemModelTester bookmarks(m_view->bookmarksModel(),
                                       QAbstractItemModelTester::FailureReportingMode::Warning);
    // A second load resets both models under the testers.
    load(m_files.path());
    EXPECT_EQ(m_view->bookmarksModel()->rowCount(), 5);
}

TEST_F(InternetView, TheVisibleListsSelectionDecidesTheAddress)
{
    load(m_files.path());
    QPushButton* open = m_view->viewInSafariButton();
    QPushButton* save = m_view->saveShortcutButton();
    EXPECT_TRUE(m_view->_getSelectedUrlString().isNull());
    EXPECT_FALSE(open->isEnabled());

    // A day row has no address.
    m_view->outlineViewHistory()->selectionModel()->select(m_view->historyModel()->index(0, 0),
                                                           QItemSelectionModel::ClearAndSelect
                                                               | QItemSelectionModel::Rows);
    EXPECT_TRUE(m_view->_getSelectedUrlString().isNull());
    EXPECT_FALSE(open->isEnabled());
    EXPECT_FALSE(save->isEnabled());

    selectVisit(QStringLiteral("News"));
    EXPECT_EQ(m_view->_getSelectedUrlString(), QStringLiteral("https://example.org/ä"));
    EXPECT_TRUE(open->isEnabled());
    EXPECT_TRUE(save->isEnabled());

    // The bookmarks list shown: its selection counts, though the history still has one.
    m_view->segmentedControlListSelectionClicked(1);
    EXPECT_TRUE(m_view->pageViewBookmarks()->isVisible());
    EXPECT_FALSE(m_view->pageViewHistory()->isVisible());
    EXPECT_TRUE(m_view->_getSelectedUrlString().isNull());
    EXPECT_FALSE(open->isEnabled());
    for (const char* folder : {"Favorites", "Empty"}) {
        SCOPED_TRACE(folder);
        selectBookmark(QString::fromLatin1(folder));
        EXPECT_TRUE(m_view->_getSelectedUrlString().isNull());
        EXPECT_FALSE(save->isEnabled());
    }
    selectBookmark(QStringLiteral("Deep"));
    EXPECT_EQ(m_view->_getSelectedUrlString(), QStringLiteral("https://deep.example.org/"));
    EXPECT_TRUE(save->isEnabled());
    // Any other segment changes nothing.
    m_view->segmentedControlListSelectionClicked(2);
    EXPECT_EQ(m_view->visibleList(), QELInternetView::BookmarksList);
    m_view->segmentedControlListSelectionClicked(0);
    EXPECT_EQ(m_view->_getSelectedUrlString(), QStringLiteral("https://example.org/ä"));
}

TEST_F(InternetView, OnlyWebAddressesArePreviewedAndOpened)
{
    load(m_files.path());
    m_view->segmentedControlListSelectionClicked(1);
    struct Case {
        const char* title;
        const char* address; // null: not a web page
    };
    const Case cases[] = {
        {"Umlaut", "https://example.org/ä"},
        {"a/b", nullptr}, // javascript:
        {"", nullptr},    // file:
        {"..", nullptr},  // an application's scheme
        {"Deep", "https://deep.example.org/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        m_loaded.clear();
        m_opened.clear();
        m_view->statusLine()->clear();
        selectBookmark(QString::fromUtf8(c.title));
        m_view->viewInSafariButtonClicked();
        if (c.address) {
            const QList<QUrl> want{QUrl(QString::fromUtf8(c.address))};
            EXPECT_EQ(m_loaded, want);
            EXPECT_EQ(m_opened, want);
            EXPECT_TRUE(m_view->statusLine()->text().isEmpty());
        } else {
            EXPECT_TRUE(m_loaded.isEmpty());
            EXPECT_TRUE(m_opened.isEmpty());
            EXPECT_TRUE(m_view->statusLine()->text().contains(QStringLiteral("http")));
        }
    }
    // Folders and day rows load nothing.
    m_loaded.clear();
    m_opened.clear();
    selectBookmark(QStringLiteral("Favorites"));
    m_view->segmentedControlListSelectionClicked(0);
    m_view->outlineViewHistory()->selectionModel()->select(m_view->historyModel()->index(1, 0),
                                                           QItemSelectionModel::ClearAndSelect
                                                               | QItemSelectionModel::Rows);
    m_view->viewInSafariButtonClicked();
    EXPECT_TRUE(m_loaded.isEmpty());
    EXPECT_TRUE(m_opened.isEmpty());
}

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(InternetView, SavingAVisitWritesItsShortcutAndNumbersItTheNextTime)
{
    load(m_files.path());
    QTemporaryDir out;
    m_chosenFolder = out.path();
    const QString path = out.filePath(QStringLiteral("News.desktop"));
    selectVisit(QStringLiteral("News"));
    m_view->saveShortcutButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(path) && m_view->pendingSaves() == 0; }));
    const QByteArray text = fileText(path);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Link\n"));
    EXPECT_TRUE(text.contains("\nName=News\n"));
    EXPECT_TRUE(text.contains("\nURL=https://example.org/%C3%A4\n"));
    ASSERT_TRUE(waitUntil([&] { return m_view->statusLine()->text().contains("News.desktop"); }));
    // The control bar's copy saves too, beside the older file, never over it.
    QFile::remove(path);
    put(path, "older");
    m_view->RequestCopy();
    const QString numbered = out.filePath(QStringLiteral("News 1.desktop"));
    ASSERT_TRUE(waitUntil([&] { return fileText(numbered).startsWith("[Desktop Entry]"); }));
    EXPECT_EQ(fileText(path), QByteArray("older"));
    QStringList saved = QDir(out.path()).entryList(QDir::Files | QDir::Hidden);
    saved.sort();
    EXPECT_EQ(saved, (QStringList{"News 1.desktop", "News.desktop"}));
    EXPECT_EQ(m_panels, 2);

    // A hostile title stays in the folder.
    selectVisit(QStringLiteral("a/b"));
    m_view->RequestCopy();
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(out.filePath(QStringLiteral("a_b.desktop"))); }));

    // A cancelled panel writes nothing; a day row asks for no folder at all.
    m_chosenFolder.clear();
    selectVisit(QStringLiteral("Passwd"));
    m_view->saveShortcutButtonClicked();
    EXPECT_EQ(m_panels, 4);
    m_view->outlineViewHistory()->selectionModel()->select(m_view->historyModel()->index(0, 0),
                                                           QItemSelectionModel::ClearAndSelect
                                                               | QItemSelectionModel::Rows);
    m_view->RequestCopy();
    EXPECT_EQ(m_panels, 4);
    ASSERT_TRUE(waitUntil([&] { return m_view->pendingSaves() == 0; }));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(InternetView, SeveralSelectedEntriesAreSavedAtOnceAndOtherSchemesRefused)
{
    load(m_files.path());
    QTemporaryDir out;
    m_chosenFolder = out.path();
    QTreeView* outline = m_view->outlineViewHistory();
    for (const char* title : {"News", "a/b", "Passwd"})
        outline->selectionModel()->select(find(outline->model(), QString::fromUtf8(title)),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_view->saveShortcutButtonClicked();
    ASSERT_TRUE(waitUntil([&] { return !m_view->statusLine()->text().isEmpty(); }));
    EXPECT_EQ(m_panels, 1) << "one folder for all of them";
    QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(files, (QStringList{"News.desktop", "a_b.desktop"}));
    const QString status = m_view->statusLine()->text();
    EXPECT_TRUE(status.contains("2")) << status.toStdString();
    EXPECT_TRUE(status.contains("http")) << status.toStdString();
}

TEST_F(InternetView, LoadingSelectingAndSavingReadNothingOnTheGuiThread)
{
    std::atomic<int> violations{0};
    ThreadCheck::setViolationHandler([&](const char*) { ++violations; });
    ThreadCheck::setEnabled(true);
    load(m_files.path());
    QTemporaryDir out;
    m_chosenFolder = out.path();
    m_view->segmentedControlListSelectionClicked(1);
    selectBookmark(QStringLiteral("Deep"));
    m_view->saveShortcutButtonClicked();
    const bool saved = waitUntil([&] {
        return m_view->pendingSaves() == 0
            && QFile::exists(out.filePath(QStringLiteral("Deep.desktop")));
    });
    ThreadCheck::setEnabled(false);
    ThreadCheck::setViolationHandler({});
    EXPECT_TRUE(saved);
    EXPECT_EQ(violations.load(), 0);
}

} // namespace
