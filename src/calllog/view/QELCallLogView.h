// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QList>

#include "QELCallLogEntryDetail.h"
#include "QELCallLogParticipant.h"
#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "WorkerThreads.h"

namespace Ui {
class QELCallLogView;
}
class QELCallLogParticipantListModel;
class QELCallLogReader;
class QELCopyCallLogs;
class QELPagedView;
class QELWebView;
class QLabel;
class QListView;
class QPrinter;
class QPushButton;

// The call log category: the participants of the call history on the left,
// the calls of the selected ones as the call log page on the right, with a
// Print button; Copy saves the page of the selected participants (or of all)
// into a chosen folder. Everything is read on the load's worker thread and
// handed over in one queued call; the page is made from what was read.
// Main thread.
class QELCallLogView : public QELDeviceDataCategoryContentView,
                       public QELCopyDelegate {
    Q_OBJECT
public:
    // Asks for the printer's settings; false: the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;

    explicit QELCallLogView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELCallLogView() override;

    Requests answeredRequests() const override { return Copy | Search; }
    // Shows the loading page and reads the call history on a worker.
    void loadData() override;
    // Saves the selected participants' calls, or everyone's.
    void RequestCopy() override { copyCallLogButtonClicked(); }
    // The search field has no effect on the call log.
    void search(const QString& text) override;

    void copyCallLogButtonClicked();
    void buttonPrintClicked();

    // Replaces the folder panel and the print dialog (tests).
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    // The participants shown, in list order.
    QList<QELCallLogParticipant> participants() const;
    // The calls of the selection, all pages of them.
    const QList<QELCallLogEntryDetail>& callLogs() const { return m_callLogs; }
    // The calls shown at once; the rest are a page away.
    static constexpr qsizetype kCallsPerPage = 500;
    // The page shown (from 0) and the number of pages of the selection.
    qsizetype pageIndex() const { return m_pageIndex; }
    qsizetype pageCount() const;
    // Shows another page of the selection's calls, made on a worker.
    void showPage(qsizetype index);
    QPushButton* buttonPreviousPage() const;
    QPushButton* buttonNextPage() const;
    QLabel* pageLabel() const;
    QListView* participantList() const;
    QELWebView* webView() const;
    QPushButton* buttonPrint() const;
    // The page shown when the call history has no calls; null until then.
    QELPagedView* noCallLogsFoundView() const { return m_noCallLogsFoundView; }
    // The widget of the participant list, hidden until participants exist.
    QWidget* clipViewContactsList() const;
    QELCopyCallLogs* copyJob() const { return m_copyCallLogs.get(); }

private:
    struct LoadResult;
    void _workerLoadComplete(const std::shared_ptr<LoadResult>& result);
    void _displayCallHistoryForSelection();
    struct PageResult;
    void pageBuilt(const std::shared_ptr<PageResult>& result);
    void updatePageControls();
    QList<QELCallLogParticipant> selectedParticipants() const;
    void showNoCallLogsFoundView();

    std::unique_ptr<Ui::QELCallLogView> m_ui;
    QWidget* m_content = nullptr;
    QELCallLogParticipantListModel* m_model = nullptr;
    QELPagedView* m_noCallLogsFoundView = nullptr;
    std::shared_ptr<QELCallLogReader> _callLogReader;
    QList<QELCallLogEntryDetail> m_callLogs;
    std::unique_ptr<QELCopyCallLogs> m_copyCallLogs;
    // Kept until the engine has printed (printFinished).
    std::unique_ptr<QPrinter> m_printer;
    PrinterChooser m_choosePrinter;
    qsizetype m_pageIndex = 0;
    // Counts requested pages, so that only the newest one is shown.
    std::atomic<quint64> m_pageGeneration{0};
    quint64 m_shownGeneration = 0; // the page last handed to the web view
    // Last: joined before the members above go.
    WorkerThreads m_pageBuilders{QStringLiteral("A call log page")};
};
