// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QList>
#include <QStringList>

#include "MessagesListRules.h"
#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELMessagesHTMLGeneratorDelegate.h"
#include "WorkerThreads.h"

namespace Ui {
class QELMessages;
}
class BackupFileSource;
class QELCopyMessages;
class QELDateSelectPanel;
class QELMessagesConversationModel;
class QELMessagesDBReaderProtocol;
class QELMessagesHTMLGenerator;
class QELWebView;
class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeView;

// The messages category: the SMS and iMessage conversations and, when
// WhatsApp is on the device, its chats, listed under their group headers;
// the selected conversation as its page in a read-only web view, limited to
// a date range; search, print, and a copy of conversations as HTML pages into
// a chosen folder. Databases are read, and pages written, on worker threads;
// only the newest page asked for is shown. Main thread.
class QELMessagesView : public QELDeviceDataCategoryContentView,
                        public QELCopyDelegate,
                        public QELMessagesHTMLGeneratorDelegate {
    Q_OBJECT
public:
    using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;
    // Runs the date-range sheet until it ends.
    using PanelRunner = std::function<void(QELDateSelectPanel& panel)>;
    // Whether WhatsApp is installed on the device (worker thread).
    using AppLookup = std::function<bool(QELDeviceInterface* device)>;
    // Opens an attachment file the user clicked.
    using FileOpener = std::function<void(const QUrl& file)>;

    static constexpr const char* kWhatsAppBundleId = "net.whatsapp.WhatsApp";

    explicit QELMessagesView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELMessagesView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Search; }
    // Shows the loading page and reads the conversations on a worker.
    void loadData() override;
    // Keeps the conversations whose title holds the text at once, then adds
    // those whose messages in the range hold it once they are read; the
    // empty text shows every conversation again.
    void search(const QString& text) override;
    // Copies the selected conversations (a header: all of its group), or
    // all of them, into a folder the user chooses.
    void RequestCopy() override;
    void RequestCancelCopy() override;
    void copySelectedConversationsButtonClicked() { RequestCopy(); }
    void buttonSetDateRangeClicked();
    void buttonPrintClicked();

    // QELCopyDelegate
    // Ctrl+A in the list: every conversation, no group header.
    void selectAllConversations();

    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;
    // QELMessagesHTMLGeneratorDelegate (the production's thread)
    void OnHTMLGeneratorProgressOf(double current, double total) override;

    // The device's iOS major version; taken from the device when not set.
    int iOSVersion() const { return m_iOSVersion; }
    void setIOSVersion(int version) { m_iOSVersion = version; }
    QDateTime startDateRange() const { return _startDateRange; }
    QDateTime endDateRange() const { return _endDateRange; }

    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }
    void setPanelRunner(PanelRunner runner) { m_runPanel = std::move(runner); }
    void setAppLookup(AppLookup lookup) { m_appLookup = std::move(lookup); }
    void setFileOpener(FileOpener opener) { m_openFile = std::move(opener); }
    // Where the backup's files come from in place of the device's backup
    // (tests: a scripted backup); null: the backup, or the view data path.
    void setFileSource(const std::shared_ptr<BackupFileSource>& source) { m_fileSource = source; }

    // The headers shown, and the conversations under them (after search).
    QStringList headers() const;
    MessagesListRules::Groups shownGroups() const;
    std::optional<QELMessagesConversation> currentConversation() const
    {
        return _currentConversation;
    }
    // The file of the page shown; empty when none is.
    QString shownPagePath() const { return m_shownPage; }
    // What a link click on the page does: opens a file of the page's folder,
    // nothing else. Answers whether it opened one.
    bool openClickedLink(const QUrl& url);

    QTreeView* outlineViewConversations() const;
    QELWebView* messageDisplayWebView() const;
    QStackedWidget* containerView() const;
    QWidget* loadConversationView() const;
    QProgressBar* loadConversationProgressView() const;
    QWidget* noMessagesFoundView() const;
    QPushButton* buttonPrint() const;
    QLabel* labelShowingSelectedDateRange() const;
    QELDateSelectPanel* panelSetDates() const { return _panelSetDates; }
    QELCopyMessages* copyJob() const { return _copyMessages.get(); }

signals:
    // A conversation's page has loaded in the web view.
    void conversationPageShown(const QString& path);
    // The message half of a search has ended (or there was none).
    void searchFinished(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct LoadResult;
    void _workerLoad(const std::shared_ptr<LoadResult>& result,
                     const std::shared_ptr<BackupFileSource>& source, const AppLookup& lookup,
                     QELDeviceInterface* device);
    void _workerLoadComplete(const std::shared_ptr<LoadResult>& result);
    void _displayConversation(const QELMessagesConversation& conversation);
    void _produceConversationComplete(quint64 production, const QString& path);
    void _abandonLoadingPage();
    void _updateLoadHTMLProgressbar();
    void showPage(QWidget* page);
    void showGroups(const MessagesListRules::Groups& groups);
    void selectionChanged();
    std::shared_ptr<BackupFileSource> attachmentSource() const;

    std::unique_ptr<Ui::QELMessages> m_ui;
    QWidget* m_content = nullptr;
    QELMessagesConversationModel* m_model = nullptr;
    QELDateSelectPanel* _panelSetDates = nullptr;
    int m_iOSVersion = 0;

    QStringList _outlineViewHeaders;
    MessagesListRules::Groups _outlineViewChildrenForheaders;
    MessagesListRules::Groups _originalOutlineViewChildrenForHeaders;
    QList<std::shared_ptr<QELMessagesDBReaderProtocol>> m_readers;
    QDateTime _startDateRange;
    QDateTime _endDateRange;
    // The first and last message of the conversation shown without a range.
    QDateTime m_conversationFirst;
    QDateTime m_conversationLast;
    std::optional<QELMessagesConversation> _currentConversation;
    QString m_shownPage;
    QString m_loadingPage;
    // The last page that was shown, removed once the next one is.
    QString m_previousPage;

    std::unique_ptr<QELCopyMessages> _copyMessages;
    std::unique_ptr<QPrinter> m_printer;
    PrinterChooser m_choosePrinter;
    PanelRunner m_runPanel;
    AppLookup m_appLookup;
    FileOpener m_openFile;
    std::shared_ptr<BackupFileSource> m_fileSource;

    // The newest production and search asked for: older ones are dropped.
    std::atomic<quint64> m_production{0};
    quint64 m_search = 0;
    std::shared_ptr<std::atomic<bool>> m_searchCancel;
    std::atomic<double> m_progressCurrent{0};
    std::atomic<double> m_progressTotal{0};
    std::atomic<bool> m_progressPending{false};
    // One production at a time; a new one waits for the cancelled one.
    std::shared_ptr<std::mutex> m_producing = std::make_shared<std::mutex>();
    std::shared_ptr<QELMessagesHTMLGenerator> _htmlGenerator;
    // Last: joined before the members above go.
    WorkerThreads m_workers{QStringLiteral("A messages page")};
};
