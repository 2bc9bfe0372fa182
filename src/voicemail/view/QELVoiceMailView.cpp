// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailView.h"

#include <algorithm>

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "FolderBackupFileSource.h"
#include "Hyperlink.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELCopyVoiceMails.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELNothingFoundView.h"
#include "QELPagedView.h"
#include "QELVoiceMailContactListModel.h"
#include "QELVoiceMailDbReader.h"
#include "QELVoiceMailItemListModel.h"
#include "QELVoiceMailUtilities.h"

namespace {

const QString kProvidersLinkText = QStringLiteral("Click here for a list of mobile providers.");

void openWithDesktop(const QUrl& url) { QDesktopServices::openUrl(url); }

QList<int> sortedRows(const QModelIndexList& indexes)
{
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELVoiceMailView::LoadResult {
    std::shared_ptr<QELVoiceMailDbReader> reader;
    QList<QELVoiceMailContact> contacts;
    QHash<qint64, QString> audioPaths;
    // The index is there but could not be read (why, for the log).
    bool failed = false;
    QString error;
};

QELVoiceMailView::QELVoiceMailView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_openUrl(openWithDesktop)
{
    setObjectName(QStringLiteral("QELVoiceMailView"));
    m_viewContent = new QWidget;
    m_viewContent->setObjectName(QStringLiteral("viewContent"));
    auto* layout = new QHBoxLayout(m_viewContent);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, m_viewContent);
    layout->addWidget(splitter);

    m_contactsModel = new QELVoiceMailContactListModel(this);
    m_contactsTableView = new QListView(splitter);
    m_contactsTableView->setObjectName(QStringLiteral("contactsTableView"));
    m_contactsTableView->setModel(m_contactsModel);
    m_contactsTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_contactsTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_itemsModel = new QELVoiceMailItemListModel(this);
    m_voiceMailItemsTableView = new QTableView(right);
    m_voiceMailItemsTableView->setObjectName(QStringLiteral("voiceMailItemsTableView"));
    m_voiceMailItemsTableView->setModel(m_itemsModel);
    m_voiceMailItemsTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_voiceMailItemsTableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_voiceMailItemsTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_voiceMailItemsTableView->verticalHeader()->hide();
    m_voiceMailItemsTableView->horizontalHeader()->setStretchLastSection(false);
    m_voiceMailItemsTableView->horizontalHeader()->setSectionResizeMode(
        QELVoiceMailItemListModel::SenderColumn, QHeaderView::Stretch);
    m_voiceMailItemsTableView->horizontalHeader()->setSectionResizeMode(
        QELVoiceMailItemListModel::DateColumn, QHeaderView::ResizeToContents);
    m_voiceMailItemsTableView->horizontalHeader()->setSectionResizeMode(
        QELVoiceMailItemListModel::DurationColumn, QHeaderView::ResizeToContents);
    rightLayout->addWidget(m_voiceMailItemsTableView, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_buttonPlay = new QPushButton(L("PLAYVOICEMAIL"), right);
    m_buttonPlay->setObjectName(QStringLiteral("buttonPlayVoiceMail"));
    m_buttonCopy = new QPushButton(L("COPYVOICEMAIL"), right);
    m_buttonCopy->setObjectName(QStringLiteral("buttonCopyVoiceMail"));
    buttons->addWidget(m_buttonPlay);
    buttons->addWidget(m_buttonCopy);
    rightLayout->addLayout(buttons);

    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 580});
    setView(m_viewContent);

    connect(m_contactsTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QELVoiceMailView::tableViewSelectionDidChange);
    connect(m_voiceMailItemsTableView, &QAbstractItemView::doubleClicked, this,
            [this] { _voiceMailItemTableViewRowDoubleClicked(); });
    connect(m_buttonPlay, &QPushButton::clicked, this,
            &QELVoiceMailView::buttonPlayVoiceMailClicked);
    connect(m_buttonCopy, &QPushButton::clicked, this,
            &QELVoiceMailView::buttonCopyVoiceMailClicked);
}

QELVoiceMailView::~QELVoiceMailView()
{
    // The load's worker hands its result to this view; the copy job reports to it.
    joinWorkerLoads();
    m_copyVoiceMails.reset();
}

void QELVoiceMailView::loadData()
{
    m_viewContent->hide();
    QELDeviceDataCategoryContentView::loadData();
    std::shared_ptr<BackupFileSource> source;
    if (!viewDataPath().isEmpty())
        source = std::make_shared<FolderBackupFileSource>(viewDataPath());
    else
        source = deviceBackup();
    m_source = source;
    startWorkerLoad([this, source] {
        auto result = std::make_shared<LoadResult>();
        if (source) {
            QString error;
            std::shared_ptr<QELVoiceMailDbReader> reader =
                QELVoiceMailDbReader::makeReader(*source, &error);
            if (!reader) {
                result->failed = true;
                result->error = QStringLiteral("no store: ") + error;
            } else if (reader->loadVoiceMail()) {
                result->contacts = reader->getContacts();
                // The player plays local files in place: the audio is copied now,
                // off the main thread.
                for (const QELVoiceMailContact& contact : std::as_const(result->contacts)) {
                    for (const QELVoiceMailItem& item :
                         reader->getVoiceMailsForSenderId(contact.sender())) {
                        if (isLoadCancelled())
                            break;
                        const QString audio =
                            QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(item.id,
                                                                                    source.get());
                        if (!audio.isEmpty())
                            result->audioPaths.insert(item.id, audio);
                    }
                }
            } else if (reader->voiceMailExists()) {
                result->failed = true;
                result->error = reader->lastError();
            }
            result->reader = std::move(reader);
        }
        QMetaObject::invokeMethod(
            this, [this, result] { _workerLoadComplete(result); }, Qt::QueuedConnection);
    });
}

void QELVoiceMailView::_workerLoadComplete(const std::shared_ptr<LoadResult>& result)
{
    _voiceMailDbReader = result->reader;
    m_audioPaths = result->audioPaths;
    m_selectedSenders.clear();
    m_itemsModel->setItems({});
    m_contactsModel->setContacts(result->contacts);
    if (result->failed) {
        loadDataFailed(QStringLiteral("voicemail: ") + result->error);
        return;
    }
    loadDataComplete();
    m_viewContent->show();
    if (result->contacts.isEmpty()) {
        showNoVoiceMailsFoundView();
        return;
    }
    if (m_noVoiceMailsFoundView)
        m_noVoiceMailsFoundView->close();
    // As the list opens: the first sender's voicemails are shown.
    m_contactsTableView->selectionModel()->select(m_contactsModel->index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect);
    m_contactsTableView->setCurrentIndex(m_contactsModel->index(0, 0));
}

void QELVoiceMailView::showNoVoiceMailsFoundView()
{
    if (!m_noVoiceMailsFoundView) {
        auto* page = new QELNothingFoundView(
            L("NOVOICEMAILSFOUND"), QStringLiteral("noVoiceMailsFoundLabel"), rect(), this);
        m_providersLink = new QLabel;
        m_providersLink->setObjectName(QStringLiteral("textFieldNoVoicemailProviders"));
        m_providersLink->setAlignment(Qt::AlignCenter);
        m_providersLink->setTextFormat(Qt::RichText);
        m_providersLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse
                                                 | Qt::LinksAccessibleByKeyboard);
        m_providersLink->setOpenExternalLinks(false);
        m_providersLink->setText(Hyperlink::hyperlinkFromStringWithURL(
                                     kProvidersLinkText, QUrl(L("VOICEMAILPROVIDERSURL")))
                                     .toHtml());
        page->addBelow(m_providersLink);
        m_noVoiceMailsFoundView = page;
        connect(m_providersLink, &QLabel::linkActivated, this, [this] { openProvidersLink(); });
    }
    m_noVoiceMailsFoundView->setIsOpaque(true);
    m_noVoiceMailsFoundView->addToSuperview(this);
    m_noVoiceMailsFoundView->hideAllOtherSubViews();
    m_noVoiceMailsFoundView->resize();
}

void QELVoiceMailView::openProvidersLink()
{
    // Only the address of our own string table, and only a web page.
    const QUrl url(L("VOICEMAILPROVIDERSURL"));
    if (!url.isValid()
        || (url.scheme() != QStringLiteral("https") && url.scheme() != QStringLiteral("http")))
        return;
    if (m_openUrl)
        m_openUrl(url);
}

void QELVoiceMailView::search(const QString& text) { (void)text; }

void QELVoiceMailView::tableViewSelectionDidChange(const QItemSelection& selected,
                                                   const QItemSelection& deselected)
{
    for (const int row : sortedRows(deselected.indexes()))
        m_selectedSenders.removeAll(m_contactsModel->contactAt(row).sender());
    for (const int row : sortedRows(selected.indexes())) {
        const QString sender = m_contactsModel->contactAt(row).sender();
        if (!m_selectedSenders.contains(sender))
            m_selectedSenders.append(sender);
    }
    // An empty selection leaves the voicemails shown.
    if (m_selectedSenders.isEmpty() || !_voiceMailDbReader)
        return;
    QList<QELVoiceMailItem> shown;
    for (const QString& sender : std::as_const(m_selectedSenders)) {
        for (QELVoiceMailItem item : _voiceMailDbReader->getVoiceMailsForSenderId(sender)) {
            item.audioPath = m_audioPaths.value(item.id);
            shown.append(item);
        }
    }
    m_itemsModel->setItems(shown);
}

QList<QELVoiceMailContact> QELVoiceMailView::contacts() const
{
    return QList<QELVoiceMailContact>(m_contactsModel->contacts().cbegin(),
                                      m_contactsModel->contacts().cend());
}

QList<QELVoiceMailItem> QELVoiceMailView::voiceMails() const
{
    return QList<QELVoiceMailItem>(m_itemsModel->items().cbegin(), m_itemsModel->items().cend());
}

QList<QELVoiceMailItem> QELVoiceMailView::selectedVoiceMails() const
{
    QList<QELVoiceMailItem> selected;
    for (const int row : sortedRows(m_voiceMailItemsTableView->selectionModel()->selectedRows()))
        selected.append(m_itemsModel->itemAt(row));
    return selected.isEmpty() ? voiceMails() : selected;
}

QList<TrackDetailPtr> QELVoiceMailView::mediaListForPlayback()
{
    QList<TrackDetailPtr> tracks;
    for (const QELVoiceMailItem& item : selectedVoiceMails()) {
        if (item.audioPath.isEmpty())
            continue;
        auto track = std::make_shared<TrackDetail>();
        track->path = item.audioPath;
        track->trackName = L("VOICEMAILFROM");
        track->artist = item.relationshipContact().senderName();
        if (item.duration)
            track->duration = *item.duration * 1000;
        tracks.append(track);
    }
    return tracks;
}

void QELVoiceMailView::buttonPlayVoiceMailClicked()
{
    if (delegate())
        delegate()->OnMediaSelectionPlayRequested();
}

void QELVoiceMailView::_voiceMailItemTableViewRowDoubleClicked() { buttonPlayVoiceMailClicked(); }

void QELVoiceMailView::RequestCopy()
{
    if (!m_copyVoiceMails) {
        m_copyVoiceMails = std::make_unique<QELCopyVoiceMails>();
        m_copyVoiceMails->setDeviceInteface(deviceInterface());
        m_copyVoiceMails->setDelegate(this);
    }
    m_copyVoiceMails->setDeviceBackUp(m_source);
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    QVariantList items;
    for (const QELVoiceMailItem& item : selectedVoiceMails())
        items.append(QVariant::fromValue(item));
    // Cancelled first, so that a run still going takes nothing of the new queue.
    m_copyVoiceMails->cancelCopy();
    m_copyVoiceMails->setBaseCopyPath(folder);
    m_copyVoiceMails->setItemQueue(items);
    m_copyVoiceMails->startCopy();
}

void QELVoiceMailView::RequestCancelCopy()
{
    if (m_copyVoiceMails)
        m_copyVoiceMails->cancelCopy();
}

void QELVoiceMailView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    reportCopyItemBegin(L("COPYINGVOICEMAIL"), args);
}

void QELVoiceMailView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELVoiceMailView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELVoiceMailView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLVOICEMAILCOPIED"), lastCopyFolder());
}
