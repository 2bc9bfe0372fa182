// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNotesView.h"

#include <algorithm>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include "FolderBackupFileSource.h"
#include "LocaleTime.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "Log.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyNotes.h"
#include "QELCopyOutcome.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELNoteCopyOptionsWindowController.h"
#include "QELNoteTableCellView.h"
#include "QELNotesListModel.h"
#include "QELNothingFoundView.h"
#include "QELPagedView.h"
#include "QELWebView.h"
#include "TextEscaping.h"
#include "ui_QELNotesView.h"

namespace {

std::optional<int> chooseOptionsWithDialog(QWidget* parent)
{
    QELNoteCopyOptionsWindowController dialog(parent);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedOptions();
}

bool choosePrinterWithDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

QString lockedPage(const QString& title)
{
    return QStringLiteral("<!DOCTYPE HTML>\n<html>\n<head>\n\t<title>%1</title>\n</head>\n<body>"
                          "\n\t<p style=\"margin-top:48px;text-align:center;color:#777;\">%2</p>"
                          "\n</body>\n</html>")
        .arg(TextEscaping::htmlText(title), TextEscaping::htmlText(L("LOCKEDNOTE")));
}

// Pictures on a page are local files of the attachments folder.
QUrl pageBaseUrl()
{
    const QString temporary = Locations::temporaryFolder();
    if (temporary.isEmpty())
        return {};
    return QUrl::fromLocalFile(temporary + QStringLiteral("/attachments/"));
}

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELNotesView::LoadResult {
    quint64 generation = 0;
    std::shared_ptr<BackupFileSource> source;
    std::shared_ptr<QELNoteDatabaseReader> reader;
    QELNoteDatabaseReader::NoteList notes;
    bool failed = false;
    QString error;
};

QELNotesView::QELNotesView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_ui(std::make_unique<Ui::QELNotesView>())
    , m_chooseOptions(chooseOptionsWithDialog)
    , m_choosePrinter(choosePrinterWithDialog)
{
    setObjectName(QStringLiteral("QELNotesView"));
    m_content = new QWidget;
    m_ui->setupUi(m_content);
    setView(m_content);
    m_model = new QELNotesListModel(this);
    m_ui->tableView->setModel(m_model);
    m_ui->tableView->setItemDelegate(new QELNoteTableCellView(m_ui->tableView));
    // What a note says can be selected and copied.
    m_ui->webView->setTextSelectable(true);
    QFont titleFont = m_ui->titleTextField->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    m_ui->titleTextField->setFont(titleFont);
    m_ui->copyButton->setText(L("COPYTOMAC"));
    m_ui->printButton->setText(L("PRINT"));
    m_ui->printButton->setEnabled(false);
    m_ui->splitView->setStretchFactor(0, 0);
    m_ui->splitView->setStretchFactor(1, 1);
    m_ui->splitView->setSizes({240, 560});
    m_ui->splitView->setVisible(false);
    m_ui->controlBox->setVisible(false);
    connect(m_ui->tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                // After the view has finished its own handling of the click.
                QMetaObject::invokeMethod(
                    this, [this] { tableViewSelectionDidChange(); }, Qt::QueuedConnection);
            });
    connect(m_ui->copyButton, &QPushButton::clicked, this, &QELNotesView::buttonCopyToMacClicked);
    connect(m_ui->printButton, &QPushButton::clicked, this, &QELNotesView::buttonPrintClicked);
    // Printing a page before it has loaded would print an empty one.
    connect(m_ui->webView, &QELWebView::loadFinished, this, [this] {
        if (!m_shownNote)
            return;
        m_pageLoaded = true;
        m_ui->printButton->setEnabled(true);
        emit notePageShown();
    });
    connect(m_ui->webView, &QELWebView::printFinished, this, [this] { m_printer.reset(); });
}

QELNotesView::~QELNotesView()
{
    // Workers hand their results to this view.
    m_pageWorkers.stopAndJoinAll();
    joinWorkerLoads();
}

void QELNotesView::loadData()
{
    _processSelectionChange = false;
    m_ui->splitView->setVisible(false);
    m_ui->controlBox->setVisible(false);
    QELDeviceDataCategoryContentView::loadData();
    const std::shared_ptr<QELDeviceBackup> backup = deviceBackup();
    const QString folder = viewDataPath();
    const quint64 generation = ++m_loadGeneration;
    startWorkerLoad([this, backup, folder, generation] {
        auto result = std::make_shared<LoadResult>();
        result->generation = generation;
        if (!folder.isEmpty())
            result->source = std::make_shared<FolderBackupFileSource>(folder);
        else
            result->source = backup;
        if (result->source) {
            std::shared_ptr<QELNoteDatabaseReader> reader =
                QELNoteDatabaseReader::makeReader(*result->source);
            if (reader) {
                result->notes = reader->getAllNotes();
                if (result->notes.isEmpty() && !reader->lastError().isEmpty()) {
                    result->failed = true;
                    result->error = reader->lastError();
                }
            }
            result->reader = std::move(reader);
        }
        QMetaObject::invokeMethod(
            this, [this, result] { finalizeLoad(result); }, Qt::QueuedConnection);
    });
}

void QELNotesView::finalizeLoad(const std::shared_ptr<LoadResult>& result)
{
    // A newer load started meanwhile: its result is the one to show.
    if (result->generation != m_loadGeneration)
        return;
    m_source = result->source;
    _databaseReader = result->reader;
    m_notes = result->notes;
    m_filteredNotes = m_notes;
    m_shownNote.reset();
    m_pageLoaded = false;
    processNotesForTable();
    if (result->failed) {
        loadDataFailed(QStringLiteral("notes: ") + result->error);
        return;
    }
    loadDataComplete();
    if (m_notes.isEmpty()) {
        showNoNotesFoundView();
        return;
    }
    if (m_noNotesFoundView)
        m_noNotesFoundView->close();
    m_content->show();
    m_ui->splitView->setVisible(true);
    m_ui->controlBox->setVisible(true);
    _processSelectionChange = true;
    const QELNotesTable::Rows& rows = m_model->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).type() == QELNoteTableObjectDefinition::kNote) {
            selectRows({i});
            break;
        }
    }
}

void QELNotesView::showNoNotesFoundView()
{
    if (!m_noNotesFoundView)
        m_noNotesFoundView = new QELNothingFoundView(
            L("NONOTESFOUND"), QStringLiteral("noNotesFoundLabel"), rect(), this);
    m_noNotesFoundView->setIsOpaque(true);
    m_noNotesFoundView->addToSuperview(this);
    m_noNotesFoundView->hideAllOtherSubViews();
    m_noNotesFoundView->resize();
}

void QELNotesView::processNotesForTable()
{
    m_model->setRows(QELNotesTable::processNotesForTable(m_filteredNotes));
}

const QELNotesTable::Rows& QELNotesView::rows() const { return m_model->rows(); }

QList<int> QELNotesView::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_ui->tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void QELNotesView::selectRows(const QList<int>& rows)
{
    QItemSelectionModel* selection = m_ui->tableView->selectionModel();
    QItemSelection chosen;
    for (int row : rows) {
        const QModelIndex index = m_model->index(row);
        chosen.select(index, index);
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        selection->setCurrentIndex(m_model->index(rows.constLast()), QItemSelectionModel::NoUpdate);
}

void QELNotesView::tableViewSelectionDidChange()
{
    if (!_processSelectionChange)
        return;
    const QList<int> selected = selectedRows();
    if (selected.isEmpty())
        return;
    _processSelectionChange = false;
    const QModelIndex current = m_ui->tableView->selectionModel()->currentIndex();
    const std::optional<int> last = current.isValid() && selected.contains(current.row())
        ? std::optional<int>(current.row())
        : std::optional<int>(selected.last());
    const QELNotesTable::Selection expanded =
        QELNotesTable::expandSelection(m_model->rows(), selected, last);
    if (expanded.rows != selected) {
        QItemSelection chosen;
        for (int row : expanded.rows) {
            const QModelIndex index = m_model->index(row);
            chosen.select(index, index);
        }
        m_ui->tableView->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
    }
    if (expanded.shownRow) {
        const std::shared_ptr<QELNoteDetail> note =
            QELNotesTable::noteForRow(m_filteredNotes, m_model->rows().at(*expanded.shownRow));
        if (note && note != m_shownNote)
            showNote(note);
    }
    // After the selection changes made here have been delivered.
    QMetaObject::invokeMethod(
        this, [this] { _processSelectionChange = true; }, Qt::QueuedConnection);
}

void QELNotesView::showNote(const std::shared_ptr<QELNoteDetail>& note)
{
    m_shownNote = note;
    m_pageLoaded = false;
    m_ui->printButton->setEnabled(false);
    // A title is device text: never read as markup.
    m_ui->titleTextField->setTextFormat(Qt::PlainText);
    m_ui->titleTextField->setText(note->title());
    const QDateTime modified = note->lastModified().toLocalTime();
    const QLocale locale;
    m_ui->modifiedTextField->setText(
        modified.isValid()
            ? L("LASTMODIFIEDFORMAT")
                  .arg(locale.toString(modified.date(), QLocale::LongFormat) + QLatin1Char(' ')
                       + LocaleTime::shortTime(modified.time(), locale))
            : QString());
    const quint64 generation = ++m_pageGeneration;
    if (note->passwordProtected()) {
        m_ui->webView->setHtml(lockedPage(note->title()));
        return;
    }
    // The attachments are copied out of the backup before the page shows them.
    std::shared_ptr<QELNoteDatabaseReader> reader = _databaseReader;
    m_pageWorkers.reapFinished();
    m_pageWorkers.start([this, reader, note, generation] {
        if (reader)
            reader->extractMediaForNote(*note);
        QString html = note->htmlRepresentationWithTitle(note->title());
        QMetaObject::invokeMethod(
            this,
            [this, generation, html = std::move(html)] {
                if (generation == m_pageGeneration)
                    m_ui->webView->setHtml(html, pageBaseUrl());
            },
            Qt::QueuedConnection);
    });
}

void QELNotesView::search(const QString& text)
{
    if (m_notes.isEmpty())
        return;
    m_filteredNotes = QELNotesTable::filterNotes(m_notes, text);
    processNotesForTable();
    const QELNotesTable::Rows& rows = m_model->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).type() == QELNoteTableObjectDefinition::kNote) {
            selectRows({i});
            break;
        }
    }
}

void QELNotesView::buttonPrintClicked()
{
    if (m_printer || !m_shownNote || !m_pageLoaded)
        return; // nothing shown yet, or the engine is still printing the last page
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_choosePrinter(*printer, this))
        return;
    m_printer = std::move(printer);
    // The page is the note's body; on paper it is headed by its title and date.
    const QDateTime date = m_shownNote->lastModified().isValid() ? m_shownNote->lastModified()
                                                                 : m_shownNote->creationDate();
    m_ui->webView->print(
        m_printer.get(), m_shownNote->title(),
        date.isValid() ? QLocale().toString(date.toLocalTime(), QLocale::LongFormat) : QString());
}

QELNoteCopyOptionsWindowController* QELNotesView::makeCopyOptionsDialog()
{
    return new QELNoteCopyOptionsWindowController(this);
}

void QELNotesView::RequestCopy()
{
    QList<QELNoteRowKey> keys;
    const QELNotesTable::Rows& rows = m_model->rows();
    for (int row : selectedRows())
        if (rows.at(row).type() == QELNoteTableObjectDefinition::kNote)
            keys.append(rows.at(row).rowKey());
    if (keys.isEmpty())
        return;
    if (m_notesCopy) {
        m_notesCopy->cancelCopy();
    } else {
        m_notesCopy = std::make_unique<QELCopyNotes>();
        m_notesCopy->setDeviceInteface(deviceInterface());
        m_notesCopy->setDelegate(this);
    }
    const std::optional<int> options = m_chooseOptions(this);
    if (!options)
        return;
    const QString folder = chooseCopyFolder(L("SELECTOUTPUTDIRECTORY"), L("SELECTOUTPUT"));
    if (folder.isEmpty())
        return;
    // All notes, not only those the search shows, in the reader's order.
    QVariantList items;
    for (const std::shared_ptr<QELNoteDetail>& note : std::as_const(m_notes))
        if (keys.contains(note->rowKey()))
            items.append(QELCopyNotes::itemForNote(note));
    m_notesCopy->setItemQueue(items);
    m_notesCopy->setDatabaseReader(_databaseReader);
    m_notesCopy->setExportOptions(*options);
    m_notesCopy->setBaseCopyPath(folder);
    m_notesCopy->startCopy();
}

void QELNotesView::RequestCancelCopy()
{
    if (m_notesCopy)
        m_notesCopy->cancelCopy();
}

void QELNotesView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGNOTES"), args);
}

void QELNotesView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELNotesView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELNotesView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLNOTECOPYCOMPLETE"), lastCopyFolder());
}

QListView* QELNotesView::tableView() const { return m_ui->tableView; }
QELWebView* QELNotesView::webView() const { return m_ui->webView; }
QLabel* QELNotesView::titleTextField() const { return m_ui->titleTextField; }
QLabel* QELNotesView::modifiedTextField() const { return m_ui->modifiedTextField; }
QPushButton* QELNotesView::printButton() const { return m_ui->printButton; }
QPushButton* QELNotesView::copyButton() const { return m_ui->copyButton; }
