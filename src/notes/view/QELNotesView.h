// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELNoteDatabaseReader.h"
#include "QELNotesTable.h"
#include "WorkerThreads.h"

namespace Ui {
class QELNotesView;
}
class BackupFileSource;
class QELCopyNotes;
class QELNoteCopyOptionsWindowController;
class QELNotesListModel;
class QELPagedView;
class QELWebView;
class QLabel;
class QListView;
class QPrinter;
class QPushButton;
class QSplitter;

// The notes category: one list of account, folder and note rows beside the
// note shown (its title, when it was last changed, and its page with its
// pictures), Print, and Copy to the computer as HTML or text files. The notes
// are read on the load's worker and handed over in one queued call; a note's
// attachments are extracted and its page made on a worker too, so the window
// never waits for the backup. Main thread.
class QELNotesView : public QELDeviceDataCategoryContentView,
                     public QELCopyDelegate {
    Q_OBJECT
public:
    // Asks for the export's options (QELCopyNotes' mask); none: cancelled.
    using OptionsChooser = std::function<std::optional<int>(QWidget* parent)>;
    // Asks for the destination folder; empty: the user cancelled.
    // Asks for the printer's settings; false: the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;

    explicit QELNotesView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELNotesView() override;

    Requests answeredRequests() const override { return Copy | Search; }
    void loadData() override;
    // Exports the selected notes (nothing when none is selected).
    void RequestCopy() override;
    void RequestCancelCopy() override;
    void search(const QString& text) override;

    void buttonCopyToMacClicked() { RequestCopy(); }
    void buttonPrintClicked();

    void setOptionsChooser(OptionsChooser chooser) { m_chooseOptions = std::move(chooser); }
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }
    // The options dialog as Copy opens it (the screenshots show it).
    QELNoteCopyOptionsWindowController* makeCopyOptionsDialog();

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    const QELNoteDatabaseReader::NoteList& notes() const { return m_notes; }
    const QELNotesTable::Rows& rows() const;
    // The rows selected, in order.
    QList<int> selectedRows() const;
    // Selects rows as a click would (the last one as the current row).
    void selectRows(const QList<int>& rows);
    // The note on the page; null when none is.
    std::shared_ptr<QELNoteDetail> shownNote() const { return m_shownNote; }
    // Whether the page of the shown note has finished loading.
    bool notePageLoaded() const { return m_pageLoaded; }
    QListView* tableView() const;
    QELWebView* webView() const;
    QLabel* titleTextField() const;
    QLabel* modifiedTextField() const;
    QPushButton* printButton() const;
    QPushButton* copyButton() const;
    QELPagedView* noNotesFoundView() const { return m_noNotesFoundView; }
    QELCopyNotes* copyJob() const { return m_notesCopy.get(); }

signals:
    // The shown note's page has loaded (tests, screenshots).
    void notePageShown();

private:
    struct LoadResult;
    void finalizeLoad(const std::shared_ptr<LoadResult>& result);
    void processNotesForTable();
    void tableViewSelectionDidChange();
    void showNote(const std::shared_ptr<QELNoteDetail>& note);
    void showNoNotesFoundView();

    std::unique_ptr<Ui::QELNotesView> m_ui;
    QWidget* m_content = nullptr;
    QELNotesListModel* m_model = nullptr;
    QELPagedView* m_noNotesFoundView = nullptr;
    std::shared_ptr<BackupFileSource> m_source;
    std::shared_ptr<QELNoteDatabaseReader> _databaseReader;
    QELNoteDatabaseReader::NoteList m_notes;
    QELNoteDatabaseReader::NoteList m_filteredNotes;
    bool _processSelectionChange = false;
    std::shared_ptr<QELNoteDetail> m_shownNote;
    bool m_pageLoaded = false;
    quint64 m_loadGeneration = 0;
    quint64 m_pageGeneration = 0;
    std::unique_ptr<QELCopyNotes> m_notesCopy;
    std::unique_ptr<QPrinter> m_printer;
    OptionsChooser m_chooseOptions;
    PrinterChooser m_choosePrinter;
    // Last: joined before the members above go.
    WorkerThreads m_pageWorkers{QStringLiteral("A note page")};
};
