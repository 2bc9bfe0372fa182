// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsView.h"

#include <algorithm>
#include <functional>
#include <typeinfo>

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QVBoxLayout>

#include "AddressBookHost.h"
#include "FolderBackupFileSource.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELContactListModel.h"
#include "QELContactsDbReader.h"
#include "QELContactsFilterModel.h"
#include "QELContactsHTMLGenerator.h"
#include "QELCopyContacts.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "TransferEndRelay.h"
#include "QELDeviceBackup.h"
#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"
#include "QELNothingFoundView.h"
#include "QELPagedView.h"
#include "QELTransferContacts.h"
#include "QELWebView.h"
#include "TextEscaping.h"

namespace {

// The backup's data types of the address book and of its pictures.
constexpr int kAddressBookType = 0;
constexpr int kAddressBookImagesType = 8;

} // namespace

// What the load's worker hands to the main thread, in one piece.
struct QELContactsView::LoadResult {
    quint64 generation = 0;
    std::shared_ptr<QELContactsReader> reader;
    QList<QELContactPtr> contacts;
    // The address book is there but could not be read (why, for the log).
    bool failed = false;
    QString error;
};

QELContactsView::QELContactsView(const QRect& frame, QWidget* parent)
    : QELDeviceDataCategoryContentView(frame, parent)
    , m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("QELContactsView"));
    m_content = new QWidget;
    auto* outer = new QVBoxLayout(m_content);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, m_content);
    splitter->setObjectName(QStringLiteral("contactsSplitter"));
    outer->addWidget(splitter);

    m_clipViewContacts = new QWidget(splitter);
    m_clipViewContacts->setObjectName(QStringLiteral("clipViewContacts"));
    auto* left = new QVBoxLayout(m_clipViewContacts);
    left->setContentsMargins(6, 6, 6, 6);
    m_list = new QListView(m_clipViewContacts);
    m_list->setObjectName(QStringLiteral("contactsList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setIconSize(QSize(24, 24));
    m_model = new QELContactListModel(this);
    m_filter = new QELContactsFilterModel(this);
    m_filter->setSourceModel(m_model);
    m_filter->sort(0);
    m_list->setModel(m_filter);
    left->addWidget(m_list, 1);
    m_exportButton = new QPushButton(L("EXPORTASVCARDS"), m_clipViewContacts);
    m_exportButton->setObjectName(QStringLiteral("exportAsVCardsButton"));
    m_addButton = new QPushButton(L("ADDTOADDRESSBOOK"), m_clipViewContacts);
    m_addButton->setObjectName(QStringLiteral("addToAddressBookButton"));
    left->addWidget(m_exportButton);
    left->addWidget(m_addButton);
    m_clipViewContacts->setVisible(false);

    m_webView = new QELWebView(splitter);
    m_webView->setObjectName(QStringLiteral("contactContentWebView"));
    // A number or an address on the page is there to be copied.
    m_webView->setTextSelectable(true);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    setView(m_content);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { _displayContact(); }, Qt::QueuedConnection);
    });
    connect(m_exportButton, &QPushButton::clicked, this,
            &QELContactsView::copyAsVCardsButtonClicked);
    connect(m_addButton, &QPushButton::clicked, this,
            &QELContactsView::copySelectionToAddressBookButtonClicked);
    connect(m_webView, &QELWebView::linkClicked, this, &QELContactsView::openLink);
}

QELContactsView::~QELContactsView()
{
    // The load's worker hands its result to this view.
    joinWorkerLoads();
}

void QELContactsView::setAddressBookHost(std::shared_ptr<AddressBookHost> host)
{
    m_addressBookHost = std::move(host);
    if (_transferContacts)
        _transferContacts->setAddressBookHost(m_addressBookHost);
}

QString QELContactsView::hintPage()
{
    return QStringLiteral("<HTML><BODY>") + TextEscaping::htmlText(L("SELECTACONTACT"))
        + QStringLiteral("</BODY></HTML>");
}

void QELContactsView::loadData()
{
    QELDeviceDataCategoryContentView::loadData();
    const std::shared_ptr<QELDeviceBackup> backup = deviceBackup();
    const QString folder = viewDataPath();
    // A disk-mode iPod keeps no address book.
    const bool iOSDevice =
        deviceInterface() && deviceInterface()->connectedDeviceOperatingSystem() == 1;
    const quint64 generation = ++m_loadGeneration;
    startWorkerLoad([this, backup, folder, iOSDevice, generation] {
        auto result = std::make_shared<LoadResult>();
        result->generation = generation;
        QString picturesPath;
        QString contactsPath;
        if (iOSDevice) {
            if (!folder.isEmpty()) {
                FolderBackupFileSource source(folder);
                picturesPath = source.GetPathToDataOfType(kAddressBookImagesType);
                contactsPath = source.GetPathToDataOfType(kAddressBookType);
            } else if (backup) {
                picturesPath = backup->GetPathToDataOfType(kAddressBookImagesType);
                contactsPath = backup->GetPathToDataOfType(kAddressBookType);
            }
        }
        if (!contactsPath.isEmpty()) {
            std::unique_ptr<QELContactsDbReader> reader =
                QELContactsDbReader::initWithContactsDbPathAndPicturesDb(contactsPath,
                                                                         picturesPath);
            if (!reader) {
                result->failed = true;
                result->error = QStringLiteral("no contacts store could be made");
            } else if (reader->loadContacts()) {
                result->contacts = reader->getContacts();
                if (!reader->lastError().isEmpty()) {
                    // What was read is shown; only nothing at all is a failure.
                    result->failed = result->contacts.isEmpty();
                    result->error = reader->lastError();
                }
            }
            result->reader = std::move(reader);
        }
        QMetaObject::invokeMethod(
            this, [this, result] { _workerLoadComplete(result); }, Qt::QueuedConnection);
    });
}

void QELContactsView::_workerLoadComplete(const std::shared_ptr<LoadResult>& result)
{
    if (result->generation != m_loadGeneration)
        return;
    _contactsReader = result->reader;
    m_model->setContacts(result->contacts);
    if (result->failed) {
        loadDataFailed(QStringLiteral("address book: ") + result->error);
        return;
    }
    if (!result->error.isEmpty())
        qCWarning(lcOrvane).noquote()
            << "Contacts: the address book was read in part:" << result->error;
    loadDataComplete();
    if (result->contacts.isEmpty()) {
        showNoContactsView();
        return;
    }
    if (m_noContactsView)
        m_noContactsView->close();
    m_content->show();
    m_clipViewContacts->setVisible(true);
    showPage(hintPage());
}

void QELContactsView::showNoContactsView()
{
    if (!m_noContactsView)
        m_noContactsView = new QELNothingFoundView(
            L("NOCONTACTSFOUND"), QStringLiteral("noContactsFoundLabel"), rect(), this);
    m_noContactsView->setIsOpaque(true);
    m_noContactsView->addToSuperview(this);
    m_noContactsView->hideAllOtherSubViews();
    m_noContactsView->resize();
}

void QELContactsView::showPage(const QString& html)
{
    m_shownPage = html;
    m_webView->setHtml(html);
}

const QList<QELContactPtr>& QELContactsView::contacts() const { return m_model->contacts(); }

QList<QELContactPtr> QELContactsView::shownContacts() const
{
    QList<QELContactPtr> shown;
    for (int row = 0; row < m_filter->rowCount(); ++row)
        shown.append(m_model->contactAt(m_filter->mapToSource(m_filter->index(row, 0)).row()));
    return shown;
}

void QELContactsView::search(const QString& text) { m_filter->setSearchText(text); }

QList<QELContactPtr> QELContactsView::selectedContacts() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<QELContactPtr> selected;
    for (const QModelIndex& row : std::as_const(rows)) {
        if (QELContactPtr contact = m_model->contactAt(m_filter->mapToSource(row).row()))
            selected.append(contact);
    }
    return selected;
}

void QELContactsView::_displayContact()
{
    const QList<QELContactPtr> selected = selectedContacts();
    // Without a selection the page stays as it is.
    if (selected.isEmpty())
        return;
    showPage(QELContactsHTMLGenerator::generateHTMLForContact(*selected.constFirst()));
}

void QELContactsView::openLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")
        && scheme != QLatin1String("mailto")) {
        qCDebug(lcOrvane) << "Contacts: ignored a link of scheme" << scheme;
        return;
    }
    if (m_openUrl)
        m_openUrl(url);
}

QVariantList QELContactsView::queuedContacts() const
{
    QList<QELContactPtr> chosen = selectedContacts();
    // Without a selection: every contact, also those the search hides.
    if (chosen.isEmpty())
        chosen = contacts();
    QVariantList items;
    for (const QELContactPtr& contact : std::as_const(chosen))
        items.append(QVariant::fromValue(contact));
    return items;
}

void QELContactsView::copyAsVCardsButtonClicked()
{
    if (!_contactsCopy) {
        _contactsCopy = std::make_unique<QELCopyContacts>();
        _contactsCopy->setDelegate(this);
        _contactsCopy->setDeviceInteface(deviceInterface());
    }
    const QString folder = chooseCopyFolder();
    if (folder.isEmpty())
        return;
    _contactsCopy->setBaseCopyPath(folder);
    // Cancelled first, so that a run still going takes nothing of the new queue.
    _contactsCopy->cancelCopy();
    _contactsCopy->setItemQueue(queuedContacts());
    _contactsCopy->startCopy();
}

void QELContactsView::copySelectionToAddressBookButtonClicked()
{
    if (!_transferContacts) {
        _transferContacts = std::make_unique<QELTransferContacts>();
        m_transferRelay = std::make_unique<TransferEndRelay>(
            this, [this](const QELCopyOutcome& outcome) { transferEnded(outcome); });
        _transferContacts->setDelegate(m_transferRelay.get());
        _transferContacts->setDeviceInteface(deviceInterface());
        _transferContacts->setAddressBookHost(m_addressBookHost);
    }
    _transferContacts->cancelCopy();
    forgetCopyFolder();
    _transferContacts->setItemQueue(queuedContacts());
    _transferContacts->startCopy();
}

void QELContactsView::RequestCancelCopy()
{
    if (_contactsCopy)
        _contactsCopy->cancelCopy();
    if (_transferContacts)
        _transferContacts->cancelCopy();
}

void QELContactsView::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    QString title;
    if (args.senderClass() == typeid(QELCopyContacts))
        title = L("EXPORTINGVCARDS");
    else if (args.senderClass() == typeid(QELTransferContacts))
        title = L("COPYINGTOADDRESSBOOK");
    else
        return;
    reportCopyItemBegin(title, args);
}

void QELContactsView::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) { (void)args; }

void QELContactsView::OnAllItemsCopiedEventWithType(int copyType)
{
    OnAllItemsCopiedEventWithOutcome(copyType, 0, QELCopyOutcome());
}

void QELContactsView::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    reportCopyEnd(outcome, L("ALLCONTACTSCOPIED"), lastCopyFolder());
}

void QELContactsView::transferEnded(const QELCopyOutcome& outcome)
{
    QStringList bottom;
    if (const QString folder = _transferContacts ? _transferContacts->destination() : QString();
        !folder.isEmpty())
        bottom << L("CONTACTSTRANSFERREDTO").arg(QDir::toNativeSeparators(folder));
    if (const QString detail = QELCopyEndMessage::detail(outcome); !detail.isEmpty())
        bottom << detail;
    if (delegate())
        delegate()->OnInformationStatusEventBottomLine(QELCopyEndMessage::title(outcome, L("ALLCONTACTSCOPIED")),
                                                       bottom.join(QLatin1Char('\n')));
}
