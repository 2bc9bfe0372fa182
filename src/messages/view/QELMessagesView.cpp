// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesView.h"

#include <utility>

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTreeView>

#include "FolderBackupFileSource.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyMessages.h"
#include "QELCopyOutcome.h"
#include "QELDateSelectPanel.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELMessagesConversationModel.h"
#include "QELMessagesDbReader.h"
#include "QELMessagesHTMLGenerator.h"
#include "QELMessagesWhatsAppDbReader.h"
#include "QELWebView.h"
#include "SafePath.h"
#include "TextMatch.h"
#include "ui_QELMessages.h"

namespace {

using MessagesListRules::Groups;

const QString kWhatsAppDomain = QStringLiteral("AppDomain-net.whatsapp.WhatsApp");
const QString kWhatsAppSharedDomain =
    QStringLiteral("AppDomainGroup-group.net.whatsapp.WhatsApp.shared");
constexpr int kWhatsAppChats = 13;
constexpr int kWhatsAppContacts = 14;

bool choosePrinterWithDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void runPanelAsSheet(QELDateSelectPanel& panel)
{
    panel.setWindowModality(Qt::WindowModal);
    panel.exec();
}

bool whatsAppIsInstalled(QELDeviceInterface* device)
{
    if (!device)
        return false;
    const bool opened = device->StartAppsService();
    const bool present = opened
        && device->ApplicationIsPresent(QString::fromLatin1(QELMessagesView::kWhatsAppBundleId));
    device->StopAppsService();
    return present;
}

void openWithDesktop(const QUrl& file) { QDesktopServices::openUrl(file); }

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELMessagesView::LoadResult {
    QStringList headers;
    Groups groups;
    QList<std::shared_ptr<QELMessagesDBReaderProtocol>> readers;
    // A database is there but could not be read (why, for the log).
    bool unreadable = false;
    QString error;
};

QELMessagesView::QELMessagesView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_ui(std::make_unique<Ui::QELMessages>())
    , m_choosePrinter(choosePrinterWithDialog)
    , m_runPanel(runPanelAsSheet)
    , m_appLookup(whatsAppIsInstalled)
    , m_openFile(openWithDesktop)
{
    setObjectName(QStringLiteral("QELMessagesView"));
    m_content = new QWidget;
    m_ui->setupUi(m_content);
    setView(m_content);
    m_model = new QELMessagesConversationModel(this);
    QTreeView* outline = m_ui->outlineViewConversations;
    outline->setModel(m_model);
    outline->setVisible(false);
    outline->setIconSize(QSize(18, 18));
    m_ui->buttonPrint->setText(L("PRINT"));
    m_ui->buttonPrint->setEnabled(false);
    m_ui->buttonSetDateRange->setText(L("SELECTDATES"));
    m_ui->copySelectedConversationsButton->setText(L("COPYCONVERSATIONS"));
    m_ui->labelShowingSelectedDateRange->setText(L("SHOWINGSELECTEDDATERANGE"));
    m_ui->labelShowingSelectedDateRange->setVisible(false);
    m_ui->noMessagesFoundLabel->setText(L("NOMESSAGESFOUND"));
    m_ui->splitter->setStretchFactor(0, 0);
    m_ui->splitter->setStretchFactor(1, 1);
    m_ui->splitter->setSizes({240, 560});
    outline->installEventFilter(this);
    connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { selectionChanged(); }, Qt::QueuedConnection);
    });
    connect(m_ui->buttonPrint, &QPushButton::clicked, this, &QELMessagesView::buttonPrintClicked);
    connect(m_ui->buttonSetDateRange, &QPushButton::clicked, this,
            &QELMessagesView::buttonSetDateRangeClicked);
    connect(m_ui->copySelectedConversationsButton, &QPushButton::clicked, this,
            &QELMessagesView::copySelectedConversationsButtonClicked);
    QELWebView* web = m_ui->messageDisplayWebView;
    // Printing a page before it has loaded would print an empty one.
    connect(web, &QELWebView::loadFinished, this, [this](bool ok) {
        if (!ok || m_loadingPage.isEmpty()
            || m_ui->messageDisplayWebView->url() != QUrl::fromLocalFile(m_loadingPage))
            return;
        // The page shown before is not needed any more: each showing writes
        // a page of its own, which would otherwise pile up until the program's
        // temporary folder is emptied.
        const QString previous = m_previousPage;
        if (!previous.isEmpty() && previous != m_loadingPage)
            m_workers.start([previous] { QFile::remove(previous); });
        m_shownPage = m_loadingPage;
        m_previousPage = m_shownPage;
        m_ui->buttonPrint->setEnabled(true);
        emit conversationPageShown(m_shownPage);
    });
    connect(web, &QELWebView::linkClicked, this, [this](const QUrl& url) { openClickedLink(url); });
    connect(web, &QELWebView::printFinished, this, [this] { m_printer.reset(); });
    showPage(m_ui->loadConversationView);
}

QELMessagesView::~QELMessagesView()
{
    ++m_production;
    if (m_searchCancel)
        *m_searchCancel = true;
    if (_htmlGenerator)
        _htmlGenerator->cancel();
    m_workers.stopAndJoinAll();
    // The load's worker hands its result to this view.
    joinWorkerLoads();
}

std::shared_ptr<BackupFileSource> QELMessagesView::attachmentSource() const
{
    if (m_fileSource)
        return m_fileSource;
    if (!viewDataPath().isEmpty())
        return std::make_shared<FolderBackupFileSource>(viewDataPath());
    return deviceBackup();
}

void QELMessagesView::loadData()
{
    QELDeviceDataCategoryContentView::loadData();
    if (m_iOSVersion == 0 && deviceInterface())
        m_iOSVersion =
            QELDeviceInterface::majorVersionOf(deviceInterface()->deviceInformation().iOSVersion());
    const std::shared_ptr<BackupFileSource> source = attachmentSource();
    auto result = std::make_shared<LoadResult>();
    startWorkerLoad([this, result, source, lookup = m_appLookup, device = deviceInterface()] {
        _workerLoad(result, source, lookup, device);
        QMetaObject::invokeMethod(
            this, [this, result] { _workerLoadComplete(result); }, Qt::QueuedConnection);
    });
}

void QELMessagesView::_workerLoad(const std::shared_ptr<LoadResult>& result,
                                  const std::shared_ptr<BackupFileSource>& source,
                                  const AppLookup& lookup, QELDeviceInterface* device)
{
    if (!source)
        return;
    std::shared_ptr<QELMessagesDbReader> sms = QELMessagesDbReader::makeReader(*source);
    if (sms && sms->loadMessages()) {
        QString error;
        QList<QELMessagesConversation> conversations;
        if (sms->canOpenDatabase(&error))
            conversations = sms->readConversationList(&error);
        if (error.isEmpty()) {
            result->headers << MessagesListRules::kSmsGroup;
            result->groups.insert(MessagesListRules::kSmsGroup,
                                  MessagesListRules::sortedByTitle(conversations));
            result->readers << sms;
        } else {
            result->unreadable = true;
            result->error = QStringLiteral("sms.db: ") + error;
        }
    }
    if (isLoadCancelled())
        return;
    try {
        QString chats;
        QString contacts;
        if (lookup && lookup(device)) {
            chats = source->GetPathForDeviceFileNameInDomain(
                QStringLiteral("Documents/ChatStorage.sqlite"), kWhatsAppDomain);
            if (!chats.isEmpty()) {
                contacts = source->GetPathForDeviceFileNameInDomain(
                    QStringLiteral("Documents/Contacts.sqlite"), kWhatsAppDomain);
            } else {
                // Where newer versions keep their databases.
                chats = source->GetPathForDeviceFileNameInDomain(
                    QStringLiteral("ChatStorage.sqlite"), kWhatsAppSharedDomain);
                contacts = source->GetPathForDeviceFileNameInDomain(
                    QStringLiteral("Contacts.sqlite"), kWhatsAppSharedDomain);
            }
        } else {
            chats = source->GetPathToDataOfType(kWhatsAppChats);
            contacts = source->GetPathToDataOfType(kWhatsAppContacts);
        }
        std::shared_ptr<QELMessagesWhatsAppDbReader> whatsApp =
            QELMessagesWhatsAppDbReader::create(chats, contacts);
        if (whatsApp && whatsApp->loadMessages()) {
            QString error;
            if (whatsApp->canOpenDatabase(&error)) {
                result->groups.insert(
                    MessagesListRules::kWhatsAppGroup,
                    MessagesListRules::sortedByTitle(whatsApp->getConversationList()));
                result->headers << MessagesListRules::kWhatsAppGroup;
                result->readers << whatsApp;
            } else {
                result->unreadable = true;
                result->error += QStringLiteral(" ChatStorage.sqlite: ") + error;
            }
        }
    } catch (const std::exception& error) {
        qCWarning(lcOrvane).noquote() << "Error reading Whats App :" << error.what();
    }
}

void QELMessagesView::_workerLoadComplete(const std::shared_ptr<LoadResult>& result)
{
    m_readers = result->readers;
    _outlineViewHeaders = result->headers;
    _originalOutlineViewChildrenForHeaders = result->groups;
    if (result->headers.isEmpty() && result->unreadable) {
        loadDataFailed(QStringLiteral("messages: ") + result->error.trimmed());
        return;
    }
    loadDataComplete();
    m_content->show();
    showGroups(result->groups);
    // Without conversations there is nothing to date, print or copy.
    const bool any = !result->headers.isEmpty();
    m_ui->buttonSetDateRange->setVisible(any);
    m_ui->buttonPrint->setVisible(any);
    m_ui->copySelectedConversationsButton->setVisible(any);
    m_ui->outlineViewConversations->setVisible(any);
    if (!any) {
        m_ui->noMessagesFoundLabel->setText(L("NOMESSAGESFOUND"));
        showPage(m_ui->noMessagesFoundView);
        return;
    }
    showPage(m_ui->messageDisplayWebView);
    for (int header = 0; header < m_model->rowCount(); ++header) {
        const QModelIndex group = m_model->index(header, 0);
        if (m_model->rowCount(group) > 0) {
            m_ui->outlineViewConversations->selectionModel()->select(
                m_model->index(0, 0, group), QItemSelectionModel::ClearAndSelect);
            break;
        }
    }
}

void QELMessagesView::showGroups(const Groups& groups)
{
    _outlineViewChildrenForheaders = groups;
    m_model->setGroups(_outlineViewHeaders, groups);
    m_ui->outlineViewConversations->expandAll();
}

void QELMessagesView::showPage(QWidget* page) { m_ui->containerView->setCurrentWidget(page); }

QStringList QELMessagesView::headers() const { return _outlineViewHeaders; }
Groups QELMessagesView::shownGroups() const { return _outlineViewChildrenForheaders; }

void QELMessagesView::selectionChanged()
{
    const QModelIndexList rows = m_ui->outlineViewConversations->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return;
    if (const QELMessagesConversation* conversation = m_model->conversationAt(rows.first()))
        _displayConversation(*conversation);
}

void QELMessagesView::_displayConversation(const QELMessagesConversation& conversation)
{
    _currentConversation = conversation;
    if (!_htmlGenerator) {
        _htmlGenerator = std::make_shared<QELMessagesHTMLGenerator>();
        _htmlGenerator->setDelegate(this);
        _htmlGenerator->setIOSVersion(m_iOSVersion);
    }
    // The page in the making is not wanted any more.
    _htmlGenerator->cancel();
    const quint64 production = ++m_production;
    m_ui->loadConversationProgressView->setRange(0, 0);
    m_ui->loadConversationProgressView->setValue(0);
    showPage(m_ui->loadConversationView);
    m_ui->buttonPrint->setEnabled(false);
    _abandonLoadingPage();

    const QList<std::shared_ptr<QELMessagesDBReaderProtocol>> readers = m_readers;
    const std::shared_ptr<QELMessagesHTMLGenerator> generator = _htmlGenerator;
    const std::shared_ptr<std::mutex> producing = m_producing;
    const std::shared_ptr<BackupFileSource> source = attachmentSource();
    const QString folder = viewDataPath();
    const QDateTime start = _startDateRange;
    const QDateTime end = _endDateRange;
    m_workers.start([this, production, conversation, readers, generator, producing, source, folder,
                     start, end] {
        std::lock_guard lock(*producing);
        if (production != m_production.load())
            return;
        QELMessagesDBReaderProtocol* reader = conversation.conversationDBReader();
        QString error;
        const QList<QELMessageDetail> messages = reader
            ? reader->readMessages(conversation, start, end, &error)
            : QList<QELMessageDetail>();
        if (production != m_production.load())
            return;
        if (!error.isEmpty()) {
            // Part of a conversation would pass for the whole of it.
            QMetaObject::invokeMethod(
                this,
                [this, production, error] {
                    if (production != m_production.load())
                        return;
                    m_ui->noMessagesFoundLabel->setText(error);
                    showPage(m_ui->noMessagesFoundView);
                    m_ui->buttonPrint->setEnabled(false);
                },
                Qt::QueuedConnection);
            return;
        }
        generator->setStartDate(start);
        generator->setEndDate(end);
        const QStringList pages = !reader ? QStringList()
            : folder.isEmpty() ? generator->generateHTMLForConversationWithMessagesUseDeviceBackup(
                  conversation, messages, source.get())
                               : generator->generateHTMLForConversationWithMessagesUseViewDatapath(
                                   conversation, messages, folder);
        const QString path = pages.value(0);
        // The days the whole conversation spans start the date-range sheet.
        QDateTime first, last;
        if (!start.isValid() && !end.isValid()) {
            for (const QELMessageDetail& message : messages) {
                const QDateTime at = message.time();
                if (!at.isValid())
                    continue;
                if (!first.isValid() || at < first)
                    first = at;
                if (!last.isValid() || at > last)
                    last = at;
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, production, path, first, last] {
                if (production == m_production.load() && first.isValid()) {
                    m_conversationFirst = first;
                    m_conversationLast = last;
                }
                _produceConversationComplete(production, path);
            },
            Qt::QueuedConnection);
    });
}

void QELMessagesView::_produceConversationComplete(quint64 production, const QString& path)
{
    if (production != m_production.load()) {
        // A page finished after a newer one was asked for is never shown.
        if (!path.isEmpty())
            m_workers.start([path] { QFile::remove(path); });
        return;
    }
    if (path.isEmpty()) {
        m_ui->noMessagesFoundLabel->setText(L("NOMESSAGESFOUND"));
        showPage(m_ui->noMessagesFoundView);
        m_ui->buttonPrint->setEnabled(false);
        return;
    }
    if (m_loadingPage != path)
        _abandonLoadingPage();
    m_loadingPage = path;
    m_shownPage.clear();
    m_ui->messageDisplayWebView->loadFile(path);
    showPage(m_ui->messageDisplayWebView);
}

void QELMessagesView::_abandonLoadingPage()
{
    // A page that was still loading when another was asked for is never
    // shown: it goes, as a shown page goes when the next one has loaded.
    const QString abandoned = std::exchange(m_loadingPage, QString());
    if (!abandoned.isEmpty() && abandoned != m_previousPage && abandoned != m_shownPage)
        m_workers.start([abandoned] { QFile::remove(abandoned); });
}

void QELMessagesView::OnHTMLGeneratorProgressOf(double current, double total)
{
    m_progressCurrent = current;
    m_progressTotal = total;
    // A burst of messages makes one update of the bar.
    if (!m_progressPending.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { _updateLoadHTMLProgressbar(); }, Qt::QueuedConnection);
}

void QELMessagesView::_updateLoadHTMLProgressbar()
{
    m_progressPending = false;
    QProgressBar* bar = m_ui->loadConversationProgressView;
    bar->setRange(0, int(m_progressTotal.load()));
    bar->setValue(int(m_progressCurrent.load()));
}

bool QELMessagesView::openClickedLink(const QUrl& url)
{
    if (!url.isLocalFile() || m_shownPage.isEmpty())
        return false;
    const QString path = url.toLocalFile();
    if (!SafePath::isInside(QFileInfo(m_shownPage).absolutePath(), path)
        || !QFileInfo(path).isFile())
        return false;
    m_openFile(QUrl::fromLocalFile(path));
    return true;
}

void QELMessagesView::search(const QString& text)
{
    const quint64 search = ++m_search;
    if (m_searchCancel)
        *m_searchCancel = true;
    m_searchCancel.reset();
    if (text.isEmpty()) {
        showGroups(_originalOutlineViewChildrenForHeaders);
        emit searchFinished(text);
        return;
    }
    m_ui->messageDisplayWebView->setHtml(QString());
    m_shownPage.clear();
    _abandonLoadingPage();
    m_ui->buttonPrint->setEnabled(false);
    const QString folded = TextMatch::fold(text);
    Groups byTitle;
    struct Candidate {
        QString header;
        int index;
        QELMessagesConversation conversation;
    };
    QList<Candidate> candidates;
    for (const QString& header : std::as_const(_outlineViewHeaders)) {
        const QList<QELMessagesConversation> all =
            _originalOutlineViewChildrenForHeaders.value(header);
        QList<QELMessagesConversation>& kept = byTitle[header];
        for (int i = 0; i < all.size(); ++i) {
            if (MessagesListRules::titleMatches(all.at(i), folded))
                kept.append(all.at(i));
            else if (all.at(i).conversationDBReader())
                candidates.append({header, i, all.at(i)});
        }
    }
    // Titles at once; message texts once they are read.
    showGroups(byTitle);
    if (candidates.isEmpty()) {
        emit searchFinished(text);
        return;
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_searchCancel = cancel;
    const QList<std::shared_ptr<QELMessagesDBReaderProtocol>> readers = m_readers;
    const QDateTime start = _startDateRange;
    const QDateTime end = _endDateRange;
    m_workers.start([this, search, text, candidates, readers, cancel, start, end] {
        QSet<QString> found;
        for (const Candidate& candidate : candidates) {
            if (cancel->load())
                return;
            const QList<QELMessageDetail> messages =
                candidate.conversation.conversationDBReader()
                    ->getMessagesFromConversationWithStartDateAndEndDate(candidate.conversation,
                                                                         start, end);
            for (const QELMessageDetail& message : messages) {
                if (message.contains(text)) {
                    found.insert(candidate.header + QLatin1Char('\n')
                                 + QString::number(candidate.index));
                    break;
                }
            }
        }
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, search, text, found] {
                if (search != m_search)
                    return;
                const QString folded = TextMatch::fold(text);
                Groups shown;
                for (const QString& header : std::as_const(_outlineViewHeaders)) {
                    const QList<QELMessagesConversation> all =
                        _originalOutlineViewChildrenForHeaders.value(header);
                    QList<QELMessagesConversation>& kept = shown[header];
                    for (int i = 0; i < all.size(); ++i) {
                        if (MessagesListRules::titleMatches(all.at(i), folded)
                            || found.contains(header + QLatin1Char('\n') + QString::number(i)))
                            kept.append(all.at(i));
                    }
                }
                showGroups(shown);
                emit searchFinished(text);
            },
            Qt::QueuedConnection);
    });
}

void QELMessagesView::buttonSetDateRangeClicked()
{
    if (!_panelSetDates)
        _panelSetDates = new QELDateSelectPanel(this);
    _panelSetDates->setConversationRange(m_conversationFirst, m_conversationLast);
    _panelSetDates->setDatesEndDate(_startDateRange, _endDateRange);
    _panelSetDates->setResult(QDialog::Rejected);
    m_runPanel(*_panelSetDates);
    _panelSetDates->hide();
    // Cancel, Esc and the window's close keep the range shown.
    if (_panelSetDates->result() != QDialog::Accepted)
        return;
    _startDateRange = _panelSetDates->getStartDate();
    _endDateRange = _panelSetDates->getEndDate();
    m_ui->labelShowingSelectedDateRange->setVisible(_startDateRange.isValid()
                                                    || _endDateRange.isValid());
    if (_currentConversation)
        _displayConversation(*_currentConversation);
}

void QELMessagesView::buttonPrintClicked()
{
    if (m_printer || m_shownPage.isEmpty())
        return; // the engine is still printing, or nothing is shown
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_choosePrinter(*printer, this))
        return;
    m_printer = std::move(printer);
    m_ui->messageDisplayWebView->print(m_printer.get());
}

void QELMessagesView::selectAllConversations()
{
    // The conversations only: a group header is a heading, not an item.
    QTreeView* outline = m_ui->outlineViewConversations;
    QItemSelection all;
    for (int group = 0; group < m_model->rowCount(); ++group) {
        const QModelIndex header = m_model->index(group, 0);
        const int children = m_model->rowCount(header);
        if (children > 0)
            all.select(m_model->index(0, 0, header), m_model->index(children - 1, 0, header));
    }
    outline->selectionModel()->select(
        all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool QELMessagesView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->outlineViewConversations && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
        selectAllConversations();
        return true;
    }
    return QELDeviceDataCategoryContentView::eventFilter(watched, event);
}

void QELMessagesView::RequestCopy()
{
    if (!_copyMessages) {
        _copyMessages = std::make_unique<QELCopyMessages>();
        _copyMessages->setDelegate(this);
    }
    QList<MessagesListRules::SelectedRow> rows;
    const QModelIndexList selected =
        m_ui->outlineViewConversations->selectionModel()->selectedRows();
    QSet<int> wholeGroups;
    for (const QModelIndex& index : selected) {
        const MessagesListRules::SelectedRow row = m_model->rowOf(index);
        if (row.child < 0)
            wholeGroups.insert(row.header);
    }
    // A conversation whose group header is selected too is queued with its
    // group, once.
    for (const QModelIndex& index : selected) {
        const MessagesListRules::SelectedRow row = m_model->rowOf(index);
        if (row.child < 0 || !wholeGroups.contains(row.header))
            rows.append(row);
    }
    QVariantList items;
    for (const QELMessagesConversation& conversation :
         MessagesListRules::copyQueue(_outlineViewHeaders, _outlineViewChildrenForheaders, rows))
        items.append(QVariant::fromValue(conversation));
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    // Cancelled first, so that a run still going takes nothing of the new queue.
    _copyMessages->cancelCopy();
    _copyMessages->setDeviceBackup(attachmentSource());
    _copyMessages->setViewDataPath(viewDataPath());
    _copyMessages->setReaders(m_readers);
    _copyMessages->setStartDate(_startDateRange);
    _copyMessages->setEndDate(_endDateRange);
    _copyMessages->setItemQueue(items);
    _copyMessages->setBaseCopyPath(folder);
    _copyMessages->startCopy();
}

void QELMessagesView::RequestCancelCopy()
{
    if (_copyMessages)
        _copyMessages->cancelCopy();
}

void QELMessagesView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGMESSAGES"), args);
}

void QELMessagesView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELMessagesView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELMessagesView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLMESSAGECOPYCOMPLETE"), lastCopyFolder());
}

QTreeView* QELMessagesView::outlineViewConversations() const
{
    return m_ui->outlineViewConversations;
}
QELWebView* QELMessagesView::messageDisplayWebView() const { return m_ui->messageDisplayWebView; }
QStackedWidget* QELMessagesView::containerView() const { return m_ui->containerView; }
QWidget* QELMessagesView::loadConversationView() const { return m_ui->loadConversationView; }
QProgressBar* QELMessagesView::loadConversationProgressView() const
{
    return m_ui->loadConversationProgressView;
}
QWidget* QELMessagesView::noMessagesFoundView() const { return m_ui->noMessagesFoundView; }
QPushButton* QELMessagesView::buttonPrint() const { return m_ui->buttonPrint; }
QLabel* QELMessagesView::labelShowingSelectedDateRange() const
{
    return m_ui->labelShowingSelectedDateRange;
}
