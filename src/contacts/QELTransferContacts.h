// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include "AddressBookPerson.h"
#include "QELContact.h"
#include "QELCopy.h"

class AddressBookHost;

// Adds contacts (QELContactPtr items of the queue) to the computer's address
// book, each with a UID made from the device's person, so that transferring
// again updates the card instead of adding another; saves once at the end of
// the run, also after a cancel. When
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
    // The UID of a contact's card: the same for the same person of a device.
    static QString stableUid(const QELContact& contact);
    // Where the last run put the people (a folder), for the end message;
    // empty when the address book does not say.
    QString destination() const;

private:
    void _transferContacts(std::shared_ptr<AddressBookHost> host);

    std::shared_ptr<AddressBookHost> m_host;
    mutable std::mutex m_destinationMutex;
    QString m_destination;
};
