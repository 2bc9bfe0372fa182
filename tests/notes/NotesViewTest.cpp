// SPDX-License-Identifier: GPL-3.0-or-later
// The notes view, headless: its load, rows, the note shown with its picture,
// the selection of headings, search, print and the export.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWebEnginePage>

#include "LocalizedStrings.h"
#include "NotesTestSupport.h"
#include "QELCopyNotes.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceDataCategoryLoadingView.h"
#include "QELNoteCopyOptionsWindowController.h"
#include "QELNotesListModel.h"
#include "QELNotesView.h"
#include "QELPagedView.h"
#include "QELWebView.h"
#include "WaitUntil.h"
#include "WebEnginePage.h"

using namespace NotesTest;
using namespace NoteStoreFixture;

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

// Two accounts, folders, a note with a picture, a locked note.
void writeBackup(const QString& folder)
{
    const QString F = objectReplacement();
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}, {2, QStringLiteral("On My iPhone")}};
    store.folders = {{20, QStringLiteral("Notes")}, {21, QStringLiteral("Travel")}};
    auto note = [](qint64 key, const char* title, qint64 account, qint64 folder,
                   const QString& text, const QList<Attachment>& attachments = {}) {
        Note n;
        n.key = key;
        n.title = QString::fromUtf8(title);
        n.account = account;
        n.folders = {folder};
        n.created = referenceSeconds(2024, 5, 1);
        n.modified = referenceSeconds(2024, 5, 2);
        n.body = noteBody(text, attachments);
        return n;
    };
    Note locked = note(13, "Bank", 1, 20, QStringLiteral("x"));
    locked.passwordProtected = 1;
    store.notes = {
        note(10, "Groceries", 1, 20, QStringLiteral("Groceries\nmilk & <eggs>")),
        note(11, "Lisbon", 1, 21, QStringLiteral("Lisbon\n") + F + QStringLiteral("\nTram 28"),
             {{identifier(1), QStringLiteral("public.jpeg")}}),
        locked,
        note(12, "Recipe", 2, 20, QStringLiteral("Recipe\nflour")),
    };
    store.attachments = {{30, identifier(1), QStringLiteral("public.jpeg"), 31, 0, 96, 64}};
    store.media = {{31, identifier(2), QStringLiteral("IMG_1.jpeg")}};
    ASSERT_TRUE(writeNoteStore(folder + QStringLiteral("/NoteStore.sqlite"), store));
    ASSERT_TRUE(writeFile(
        folder
            + QStringLiteral("/Accounts/LocalAccount/Media/%1/1_a/IMG_1.jpeg").arg(identifier(2)),
        withExifOrientation(encoded(storedPicture(-90), "jpeg"), 6)));
}

QString pageText(QELWebView* view)
{
    QString text;
    bool done = false;
    enginePageOf(view)->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done; }));
    return text;
}

QString pageHtml(QELWebView* view)
{
    QString html;
    bool done = false;
    enginePageOf(view)->toHtml([&](const QString& t) {
        html = t;
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done; }));
    return html;
}

class NotesViewTest : public ::testing::Test {
protected:
    std::unique_ptr<QELNotesView> loadedView()
    {
        auto view = std::make_unique<QELNotesView>(QRect(0, 0, 900, 600));
        view->setDelegate(&m_page);
        view->setViewDataPath(m_dir.path());
        view->QWidget::resize(900, 600);
        view->loadData();
        EXPECT_TRUE(waitUntil([&] { return !view->loadingPageView()->parent(); }));
        return view;
    }
    QStringList rowTitles(const QELNotesView& view)
    {
        QStringList out;
        for (const auto& row : view.rows())
            out.append(row.title());
        return out;
    }

    QTemporaryDir m_dir;
    RecordingPage m_page;
};

} // namespace

TEST_F(NotesViewTest, ShowsHeadingsAndTheFirstNoteWithItsPicture)
{
    writeBackup(m_dir.path());
    auto view = loadedView();
    ASSERT_FALSE(view->loadFailed());
    EXPECT_EQ(rowTitles(*view),
              QStringList({"iCloud", "Notes", "Bank", "Groceries", "Travel", "Lisbon",
                           "On My iPhone", "Notes", "Recipe"}));
    QAbstractItemModelTester tester(view->tableView()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QModelIndex heading = view->tableView()->model()->index(0, 0);
    EXPECT_EQ(heading.data(Qt::SizeHintRole).toSize().height(), 32);
    EXPECT_EQ(view->tableView()->model()->index(2, 0).data(Qt::SizeHintRole).toSize().height(), 28);

    // The first note row is shown: the locked note, with its short page.
    ASSERT_TRUE(waitUntil([&] { return view->notePageLoaded(); }));
    EXPECT_EQ(view->titleTextField()->text(), QStringLiteral("Bank"));
    EXPECT_TRUE(pageText(view->webView()).contains(L("LOCKEDNOTE")));
    EXPECT_TRUE(view->printButton()->isEnabled());

    view->selectRows({5});
    ASSERT_TRUE(waitUntil([&] {
        return view->shownNote() && view->shownNote()->title() == QStringLiteral("Lisbon")
            && view->notePageLoaded();
    }));
    EXPECT_FALSE(view->modifiedTextField()->text().isEmpty());
    const QString html = pageHtml(view->webView());
    static const QRegularExpression kImage(QStringLiteral("<img src=\"([^\"]+)\""));
    const QRegularExpressionMatch image = kImage.match(html);
    ASSERT_TRUE(image.hasMatch()) << qPrintable(html);
    const QString file = QUrl(image.captured(1)).toLocalFile();
    EXPECT_EQ(redEdge(QImage(file)), QStringLiteral("top"));
    EXPECT_TRUE(pageText(view->webView()).contains(QStringLiteral("Tram 28")));
}

TEST_F(NotesViewTest, AnAccountRowSelectsItsNotes)
{
    writeBackup(m_dir.path());
    auto view = loadedView();
    ASSERT_TRUE(waitUntil([&] { return view->notePageLoaded(); }));
    view->selectRows({0});
    ASSERT_TRUE(waitUntil([&] { return view->selectedRows() == QList<int>({2, 3, 5}); }));
    ASSERT_TRUE(waitUntil([&] { return view->shownNote()->title() == QStringLiteral("Bank"); }));
    view->selectRows({4});
    ASSERT_TRUE(waitUntil([&] { return view->selectedRows() == QList<int>({5}); }));
    ASSERT_TRUE(waitUntil([&] { return view->shownNote()->title() == QStringLiteral("Lisbon"); }));
}

TEST_F(NotesViewTest, SearchKeepsAFoldersNotesAndAnEmptyResultKeepsThePage)
{
    writeBackup(m_dir.path());
    auto view = loadedView();
    ASSERT_TRUE(waitUntil([&] { return view->notePageLoaded(); }));
    view->search(QStringLiteral("travel"));
    EXPECT_EQ(rowTitles(*view), QStringList({"iCloud", "Travel", "Lisbon"}));
    ASSERT_TRUE(waitUntil([&] { return view->shownNote()->title() == QStringLiteral("Lisbon"); }));
    view->search(QStringLiteral("nothing like this"));
    EXPECT_TRUE(view->rows().isEmpty());
    EXPECT_EQ(view->shownNote()->title(), QStringLiteral("Lisbon"));
    view->search(QString());
    EXPECT_EQ(view->rows().size(), 9);
}

TEST_F(NotesViewTest, PrintIsOfferedOnlyWithANoteShown)
{
    auto view = std::make_unique<QELNotesView>(QRect(0, 0, 900, 600));
    EXPECT_FALSE(view->printButton()->isEnabled());
    int asked = 0;
    view->setPrinterChooser([&](QPrinter&, QWidget*) {
        ++asked;
        return false;
    });
    view->buttonPrintClicked();
    EXPECT_EQ(asked, 0);

    writeBackup(m_dir.path());
    view = loadedView();
    view->setPrinterChooser([&](QPrinter&, QWidget*) {
        ++asked;
        return false;
    });
    ASSERT_TRUE(waitUntil([&] { return view->printButton()->isEnabled(); }));
    view->buttonPrintClicked();
    EXPECT_EQ(asked, 1);
}

TEST_F(NotesViewTest, NoNotesShowTheNoNotesPage)
{
    ASSERT_TRUE(writeNoteStore(m_dir.filePath(QStringLiteral("NoteStore.sqlite")), Store()));
    auto view = loadedView();
    EXPECT_FALSE(view->loadFailed());
    ASSERT_TRUE(view->noNotesFoundView());
    EXPECT_TRUE(view->noNotesFoundView()->isVisibleTo(view.get()));
}

TEST_F(NotesViewTest, AnUnreadableStoreSaysSo)
{
    ASSERT_TRUE(
        writeFile(m_dir.filePath(QStringLiteral("NoteStore.sqlite")), QByteArray(3000, 'x')));
    auto view = loadedView();
    EXPECT_TRUE(view->loadFailed());
}

TEST_F(NotesViewTest, CopyExportsTheSelectedNotesLeavingLockedOnesOut)
{
    writeBackup(m_dir.path());
    auto view = loadedView();
    ASSERT_TRUE(waitUntil([&] { return view->notePageLoaded(); }));
    QTemporaryDir out;
    view->setOptionsChooser([](QWidget*) { return std::optional<int>(QELCopyNotes::kHTML); });
    view->setFolderChooser([&](QWidget*) { return out.path(); });
    view->selectRows({0});
    ASSERT_TRUE(waitUntil([&] { return view->selectedRows() == QList<int>({2, 3, 5}); }));
    view->RequestCopy();
    ASSERT_TRUE(waitUntil([&] { return !m_page.status.isEmpty(); }));
    EXPECT_EQ(
        m_page.status,
        QStringList({"2 of 3 items copied|1 item could not be copied: a read or a write failed"}));
    EXPECT_EQ(m_page.progress.size(), 3);
    QStringList files = QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    files.sort();
    EXPECT_EQ(files, QStringList({"Groceries.html", "Lisbon - Attachments", "Lisbon.html"}));
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("Lisbon - Attachments/1.jpeg"))));
}

TEST(NoteCopyOptionsTest, TheDialogsChoicesMakeTheMask)
{
    QELNoteCopyOptionsWindowController dialog;
    EXPECT_EQ(dialog.selectedOptions(), QELCopyNotes::kHTML);
    EXPECT_FALSE(dialog.warningTextField()->isVisibleTo(&dialog));
    dialog.txtButtonCell()->setChecked(true);
    EXPECT_TRUE(dialog.warningTextField()->isVisibleTo(&dialog));
    dialog.modifiedDateButtonCell()->setChecked(true);
    EXPECT_EQ(dialog.selectedOptions(), QELCopyNotes::kModifiedDate);
    dialog.htmlButtonCell()->setChecked(true);
    dialog.createdDateButtonCell()->setChecked(true);
    EXPECT_EQ(dialog.selectedOptions(), QELCopyNotes::kHTML | QELCopyNotes::kCreationDate);
    EXPECT_FALSE(dialog.warningTextField()->isVisibleTo(&dialog));
}

// The plain-text warning, shown once the sheet is up, gets every line it wraps to.
TEST(NoteCopyOptionsTest, ThePlainTextWarningIsNeverCut)
{
    QELNoteCopyOptionsWindowController dialog;
    dialog.show();
    QCoreApplication::processEvents();
    const QSize before = dialog.size();
    dialog.txtButtonCell()->setChecked(true);
    QCoreApplication::processEvents();
    QLabel* warning = dialog.warningTextField();
    ASSERT_TRUE(warning->isVisible());
    EXPECT_GE(warning->height(), warning->heightForWidth(warning->width()));
    EXPECT_EQ(dialog.size(), before);
}
