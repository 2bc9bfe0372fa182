// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QUrl>

#include "QELContact.h"
#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"

class AddressBookHost;
class QELContactListModel;
class QELContactsFilterModel;
class QELContactsReader;
class QELCopyContacts;
class QELPagedView;
class QELTransferContacts;
class QELWebView;
class QListView;
class QPushButton;

// The contacts category: the device's address book as a list (the search
// field filters it) beside the selected contact's page, and two exports of
// the selected contacts (or all of them, also those the search hides): vCard
// files into a chosen folder, and into the computer's address book. The load
// reads the address book on a worker and hands the contacts to the main
// thread in one call. Main thread.
class QELContactsView : public QELDeviceDataCategoryContentView,
                        public QELCopyDelegate {
    Q_OBJECT
public:
    // Asks for the destination folder of an export; empty: the user cancelled.
    // Opens a clicked link outside the program.
    using UrlOpener = std::function<void(const QUrl& url)>;

    explicit QELContactsView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELContactsView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy | Search; }
    // Shows the loading page and reads the address book on a worker.
    void loadData() override;
    // The control bar's copy: the vCard export.
    void RequestCopy() override { copyAsVCardsButtonClicked(); }
    // Stops both exports.
    void RequestCancelCopy() override;
    // Shows the contacts whose FN or organisation holds the text; the empty
    // text shows all.
    void search(const QString& text) override;

    void copyAsVCardsButtonClicked();
    void copySelectionToAddressBookButtonClicked();

    // Opens a clicked link of the page with the opener: web and mail
    // addresses only, anything else is ignored.
    void openLink(const QUrl& url);

    // Replaces the folder panel, the link opener and the address book (tests).
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    void setAddressBookHost(std::shared_ptr<AddressBookHost> host);

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;
    // The end of a transfer: the message names the folder it wrote.
    void transferEnded(const QELCopyOutcome& outcome);

    // Every contact of the last load, in the order read.
    const QList<QELContactPtr>& contacts() const;
    // The contacts the list shows, in its order.
    QList<QELContactPtr> shownContacts() const;
    // The page the web view was last given.
    QString shownPage() const { return m_shownPage; }
    // The page shown before a contact is selected.
    static QString hintPage();

    QListView* contactsList() const { return m_list; }
    QELWebView* contactContentWebView() const { return m_webView; }
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* addToAddressBookButton() const { return m_addButton; }
    // The list with its buttons, hidden until contacts are there.
    QWidget* clipViewContacts() const { return m_clipViewContacts; }
    // The page shown when the device has no contacts; null until then.
    QELPagedView* noContactsView() const { return m_noContactsView; }
    QWidget* content() const { return m_content; }
    QELCopyContacts* copyJob() const { return _contactsCopy.get(); }
    QELTransferContacts* transferJob() const { return _transferContacts.get(); }

private:
    struct LoadResult;
    void _workerLoadComplete(const std::shared_ptr<LoadResult>& result);
    void _displayContact();
    QList<QELContactPtr> selectedContacts() const;
    QVariantList queuedContacts() const;
    void showPage(const QString& html);
    void showNoContactsView();

    QWidget* m_content = nullptr;
    QWidget* m_clipViewContacts = nullptr;
    QListView* m_list = nullptr;
    QELContactListModel* m_model = nullptr;
    QELContactsFilterModel* m_filter = nullptr;
    QELWebView* m_webView = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QELPagedView* m_noContactsView = nullptr;
    QString m_shownPage;
    std::shared_ptr<QELContactsReader> _contactsReader;
    std::unique_ptr<QELCopyContacts> _contactsCopy;
    // Declared before the transfer job, which it outlives.
    std::unique_ptr<QELCopyDelegate> m_transferRelay;
    std::unique_ptr<QELTransferContacts> _transferContacts;
    std::shared_ptr<AddressBookHost> m_addressBookHost;
    UrlOpener m_openUrl;
    // Counts the loads; a load's result is dropped once a newer one started.
    quint64 m_loadGeneration = 0;
};
