// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogView.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include "FolderBackupFileSource.h"
#include "LocalizedStrings.h"
#include "QELCallLogHTMLGenerator.h"
#include "QELCallLogParticipantListModel.h"
#include "QELCallLogReader.h"
#include "QELCopyCallLogs.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELNothingFoundView.h"
#include "QELPagedView.h"
#include "QELWebView.h"
#include "ui_QELCallLogView.h"

namespace {

bool choosePrinterWithDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELCallLogView::LoadResult {
    std::shared_ptr<QELCallLogReader> reader;
    QList<QELCallLogParticipant> participants;
    // The history is there but could not be read (why, for the log).
    bool failed = false;
    QString error;
};

QELCallLogView::QELCallLogView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_ui(std::make_unique<Ui::QELCallLogView>())
    , m_choosePrinter(choosePrinterWithDialog)
{
    setObjectName(QStringLiteral("QELCallLogView"));
    m_content = new QWidget;
    m_ui->setupUi(m_content);
    setView(m_content);
    m_model = new QELCallLogParticipantListModel(this);
    m_ui->participantList->setModel(m_model);
    m_ui->participantList->setVisible(false);
    m_ui->buttonPrint->setText(L("PRINT"));
    m_ui->buttonPreviousPage->setText(L("CALLLOGPREVIOUSPAGE"));
    m_ui->buttonNextPage->setText(L("CALLLOGNEXTPAGE"));
    updatePageControls();
    connect(m_ui->buttonPreviousPage, &QPushButton::clicked, this,
            [this] { showPage(m_pageIndex - 1); });
    connect(m_ui->buttonNextPage, &QPushButton::clicked, this,
            [this] { showPage(m_pageIndex + 1); });
    m_ui->splitter->setStretchFactor(0, 0);
    m_ui->splitter->setStretchFactor(1, 1);
    m_ui->splitter->setSizes({220, 580});
    connect(m_ui->participantList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                QMetaObject::invokeMethod(
                    this, [this] { _displayCallHistoryForSelection(); }, Qt::QueuedConnection);
            });
    connect(m_ui->buttonPrint, &QPushButton::clicked, this, &QELCallLogView::buttonPrintClicked);
    // Printing a page before it has loaded would print an empty one.
    // The page before the one asked for may finish loading while the next is
    // still being laid out: that would print the page the user left.
    connect(m_ui->webView, &QELWebView::loadFinished, this, [this] {
        if (m_shownGeneration == m_pageGeneration)
            m_ui->buttonPrint->setEnabled(true);
    });
    connect(m_ui->webView, &QELWebView::printFinished, this, [this] { m_printer.reset(); });
}

QELCallLogView::~QELCallLogView()
{
    // The load's and the pages' workers hand their results to this view.
    joinWorkerLoads();
    m_pageBuilders.stopAndJoinAll();
}

void QELCallLogView::loadData()
{
    QELDeviceDataCategoryContentView::loadData();
    const std::shared_ptr<QELDeviceBackup> backup = deviceBackup();
    const QString folder = viewDataPath();
    startWorkerLoad([this, backup, folder] {
        auto result = std::make_shared<LoadResult>();
        std::unique_ptr<QELCallLogReader> reader;
        if (!folder.isEmpty()) {
            FolderBackupFileSource source(folder);
            reader = QELCallLogReader::makeReader(source);
        } else if (backup) {
            reader = QELCallLogReader::makeReader(*backup);
        }
        if (reader && reader->loadCallLog()) {
            result->participants = reader->getCallLogParticipantList();
        } else if (reader && reader->callLogExists()) {
            result->failed = true;
            result->error = reader->lastError();
        }
        result->reader = std::move(reader);
        QMetaObject::invokeMethod(
            this, [this, result] { _workerLoadComplete(result); }, Qt::QueuedConnection);
    });
}

void QELCallLogView::_workerLoadComplete(const std::shared_ptr<LoadResult>& result)
{
    _callLogReader = result->reader;
    ++m_pageGeneration; // a page of the last history is no longer wanted
    m_callLogs.clear();
    m_pageIndex = 0;
    updatePageControls();
    m_model->setParticipants(result->participants);
    if (result->failed) {
        loadDataFailed(QStringLiteral("call history: ") + result->error);
        return;
    }
    loadDataComplete();
    if (result->participants.isEmpty()) {
        showNoCallLogsFoundView();
        return;
    }
    if (m_noCallLogsFoundView)
        m_noCallLogsFoundView->close();
    m_content->show();
    m_ui->participantList->setVisible(true);
}

void QELCallLogView::showNoCallLogsFoundView()
{
    if (!m_noCallLogsFoundView)
        m_noCallLogsFoundView = new QELNothingFoundView(
            L("NOCALLLOGSFOUND"), QStringLiteral("noCallLogsFoundLabel"), rect(), this);
    m_noCallLogsFoundView->setIsOpaque(true);
    m_noCallLogsFoundView->addToSuperview(this);
    m_noCallLogsFoundView->hideAllOtherSubViews();
    m_noCallLogsFoundView->resize();
}

void QELCallLogView::search(const QString& text) { (void)text; }

QList<QELCallLogParticipant> QELCallLogView::participants() const
{
    return QList<QELCallLogParticipant>(m_model->participants().cbegin(),
                                        m_model->participants().cend());
}

QList<QELCallLogParticipant> QELCallLogView::selectedParticipants() const
{
    QModelIndexList rows = m_ui->participantList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<QELCallLogParticipant> selected;
    for (const QModelIndex& row : std::as_const(rows))
        selected.append(m_model->participantAt(row.row()));
    return selected;
}

// What a page's worker hands to the main thread: the selection's calls (read
// for the first page, kept for the next ones) and the page made of them.
struct QELCallLogView::PageResult {
    quint64 generation = 0;
    qsizetype index = 0;
    QList<QELCallLogEntryDetail> calls;
    QString html;
};

void QELCallLogView::_displayCallHistoryForSelection()
{
    m_ui->buttonPrint->setEnabled(false);
    const QList<QELCallLogParticipant> selected = selectedParticipants();
    if (selected.isEmpty() || !_callLogReader) {
        m_ui->buttonPrint->setEnabled(true);
        return;
    }
    // Tens of thousands of calls are gathered, sorted and laid out off the
    // main thread, a page at a time.
    const quint64 generation = ++m_pageGeneration;
    const std::shared_ptr<QELCallLogReader> reader = _callLogReader;
    m_pageBuilders.start([this, reader, selected, generation] {
        auto result = std::make_shared<PageResult>();
        result->generation = generation;
        result->calls = reader->getCallLogForParticipants(selected);
        if (generation != m_pageGeneration)
            return;
        result->html =
            QELCallLogHTMLGenerator::generateHTMLForCallLogs(result->calls.mid(0, kCallsPerPage));
        QMetaObject::invokeMethod(
            this, [this, result] { pageBuilt(result); }, Qt::QueuedConnection);
    });
}

qsizetype QELCallLogView::pageCount() const
{
    return (m_callLogs.size() + kCallsPerPage - 1) / kCallsPerPage;
}

void QELCallLogView::showPage(qsizetype index)
{
    if (index < 0 || index >= pageCount() || index == m_pageIndex)
        return;
    m_ui->buttonPrint->setEnabled(false);
    const quint64 generation = ++m_pageGeneration;
    const QList<QELCallLogEntryDetail> calls = m_callLogs; // shared, not copied
    m_pageBuilders.start([this, calls, index, generation] {
        auto result = std::make_shared<PageResult>();
        result->generation = generation;
        result->index = index;
        result->calls = calls;
        result->html = QELCallLogHTMLGenerator::generateHTMLForCallLogs(
            calls.mid(index * kCallsPerPage, kCallsPerPage));
        QMetaObject::invokeMethod(
            this, [this, result] { pageBuilt(result); }, Qt::QueuedConnection);
    });
}

void QELCallLogView::pageBuilt(const std::shared_ptr<PageResult>& result)
{
    if (result->generation != m_pageGeneration)
        return; // a later selection or page is on its way
    m_shownGeneration = result->generation;
    m_callLogs = std::move(result->calls);
    m_pageIndex = result->index;
    updatePageControls();
    m_ui->webView->setHtml(result->html);
}

void QELCallLogView::updatePageControls()
{
    const qsizetype pages = pageCount();
    const bool paged = pages > 1;
    m_ui->buttonPreviousPage->setVisible(paged);
    m_ui->buttonNextPage->setVisible(paged);
    m_ui->pageLabel->setVisible(paged);
    m_ui->buttonPreviousPage->setEnabled(m_pageIndex > 0);
    m_ui->buttonNextPage->setEnabled(m_pageIndex + 1 < pages);
    const qsizetype first = m_pageIndex * kCallsPerPage;
    m_ui->pageLabel->setText(
        L("CALLLOGPAGE")
            .arg(QLocale().toString(first + 1),
                 QLocale().toString(qMin(first + kCallsPerPage, m_callLogs.size())),
                 QLocale().toString(m_callLogs.size())));
}

void QELCallLogView::buttonPrintClicked()
{
    if (m_printer)
        return; // the engine is still printing the last page
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_choosePrinter(*printer, this))
        return;
    m_printer = std::move(printer);
    m_ui->webView->print(m_printer.get());
}

void QELCallLogView::copyCallLogButtonClicked()
{
    if (!m_copyCallLogs) {
        m_copyCallLogs = std::make_unique<QELCopyCallLogs>();
        m_copyCallLogs->setDelegate(this);
    }
    if (!_callLogReader)
        return;
    QList<QELCallLogParticipant> chosen = selectedParticipants();
    if (chosen.isEmpty())
        chosen = participants();
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    // The calls of a whole history are gathered off the main thread too.
    const std::shared_ptr<QELCallLogReader> reader = _callLogReader;
    m_pageBuilders.start([this, reader, chosen, folder] {
        QVariantList items;
        for (const QELCallLogEntryDetail& call : reader->getCallLogForParticipants(chosen))
            items.append(QVariant::fromValue(call));
        QMetaObject::invokeMethod(
            this,
            [this, items, folder] {
                // Cancelled first, so that a run still going takes nothing of
                // the new queue.
                m_copyCallLogs->cancelCopy();
                m_copyCallLogs->setItemQueue(items);
                m_copyCallLogs->setBaseCopyPath(folder);
                m_copyCallLogs->startCopy();
            },
            Qt::QueuedConnection);
    });
}

void QELCallLogView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGCALLLOG"), args);
}

void QELCallLogView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELCallLogView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELCallLogView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLCALLLOGCOPYCOMPLETE"), lastCopyFolder());
}

QListView* QELCallLogView::participantList() const { return m_ui->participantList; }
QELWebView* QELCallLogView::webView() const { return m_ui->webView; }
QPushButton* QELCallLogView::buttonPrint() const { return m_ui->buttonPrint; }
QPushButton* QELCallLogView::buttonPreviousPage() const { return m_ui->buttonPreviousPage; }
QPushButton* QELCallLogView::buttonNextPage() const { return m_ui->buttonNextPage; }
QLabel* QELCallLogView::pageLabel() const { return m_ui->pageLabel; }
QWidget* QELCallLogView::clipViewContactsList() const { return m_ui->participantList; }
