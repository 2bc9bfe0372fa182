// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "AddressBookPerson.h"
#include "QELContact.h"
#include "QELCopy.h"

class AddressBookHost;

// Adds contacts (QELContactPtr items of the queue) to the computer's address
// book as new people (nothing is looked up or updated: transferring twice
// adds twice), saving once at the end of the run, also after a cancel. When
// the address book cannot be opened or the save fails, the run's people count
// as not copied.
class QELTransferContacts : public QELCopy {
    Q_OBJECT
public:
    explicit QELTransferContacts(QObject* parent = nullptr);
    ~QELTransferContacts() override;

    // The address book to add to; when none is set, the collection folder in
    // the user's data folder is used.
    void setAddressBookHost(std::shared_ptr<AddressBookHost> host);

    void startCopy() override;

    // The person the transfer adds for a contact.
    static AddressBookPerson personFromContact(const QELContact& contact);

private:
    void _transferContacts(std::shared_ptr<AddressBookHost> host);

    std::shared_ptr<AddressBookHost> m_host;
};
