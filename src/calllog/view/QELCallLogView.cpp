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
#include "QELCopyItemBeginEventArgs.h"
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
    connect(m_ui->webView, &QELWebView::loadFinished, this,
            [this] { m_ui->buttonPrint->setEnabled(true); });
    connect(m_ui->webView, &QELWebView::printFinished, this, [this] { m_printer.reset(); });
}

QELCallLogView::~QELCallLogView()
{
    // The load's worker hands its result to this view.
    joinWorkerLoads();
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
    m_callLogs.clear();
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

void QELCallLogView::_displayCallHistoryForSelection()
{
    m_ui->buttonPrint->setEnabled(false);
    const QList<QELCallLogParticipant> selected = selectedParticipants();
    if (selected.isEmpty() || !_callLogReader) {
        m_ui->buttonPrint->setEnabled(true);
        return;
    }
    m_callLogs = _callLogReader->getCallLogForParticipants(selected);
    m_ui->webView->setHtml(QELCallLogHTMLGenerator::generateHTMLForCallLogs(m_callLogs));
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
    QVariantList items;
    for (const QELCallLogEntryDetail& call : _callLogReader->getCallLogForParticipants(chosen))
        items.append(QVariant::fromValue(call));
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    // Cancelled first, so that a run still going takes nothing of the new queue.
    m_copyCallLogs->cancelCopy();
    m_copyCallLogs->setItemQueue(items);
    m_copyCallLogs->setBaseCopyPath(folder);
    m_copyCallLogs->startCopy();
}

void QELCallLogView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGCALLLOG"), args);
}

void QELCallLogView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELCallLogView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithTypeNotCopied(copyType, 0);
}

void QELCallLogView::OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
{
    (void)copyType;
    reportCopyEnd(L("ALLCALLLOGCOPYCOMPLETE"), notCopied, lastCopyFolder());
}

QListView* QELCallLogView::participantList() const { return m_ui->participantList; }
QELWebView* QELCallLogView::webView() const { return m_ui->webView; }
QPushButton* QELCallLogView::buttonPrint() const { return m_ui->buttonPrint; }
QWidget* QELCallLogView::clipViewContactsList() const { return m_ui->participantList; }
