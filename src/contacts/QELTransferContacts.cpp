// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferContacts.h"

#include <QCryptographicHash>
#include <QUuid>

#include "AddressBookHost.h"
#include "ContactPhoto.h"
#include "FolderAddressBookHost.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"

namespace {

using Label = AddressBookPerson::Label;

bool isEmpty(const std::optional<QString>& text) { return !text || text->isEmpty(); }

bool isSetAndNotZero(const std::optional<qint64>& flag) { return flag && *flag != 0; }

std::optional<QString> unlessEmpty(const std::optional<QString>& text)
{
    return isEmpty(text) ? std::nullopt : text;
}

Label phoneLabel(const QELContactTelephone& phone)
{
    const bool work = phone.locationType == 2;
    if (isSetAndNotZero(phone.isFax))
        return work ? Label::PhoneWorkFAX : Label::PhoneHomeFAX;
    if (isSetAndNotZero(phone.isCell))
        return Label::PhoneMobile;
    if (isSetAndNotZero(phone.isPager))
        return Label::PhonePager;
    return work ? Label::PhoneWork : Label::PhoneHome;
}

} // namespace

QELTransferContacts::QELTransferContacts(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferContacts::~QELTransferContacts() { stopWorkers(); }

void QELTransferContacts::setAddressBookHost(std::shared_ptr<AddressBookHost> host)
{
    m_host = std::move(host);
}

QString QELTransferContacts::destination() const
{
    const std::lock_guard lock(m_destinationMutex);
    return m_destination;
}

void QELTransferContacts::startCopy()
{
    QELCopy::startCopy();
    // The folder host is made on the worker: a host belongs to one thread.
    _startWorker([this, host = m_host] { _transferContacts(host); });
}

QString QELTransferContacts::stableUid(const QELContact& contact)
{
    // The device's row of the person, with the name and company: the same
    // person of the same device again has the same UID, and a person of
    // another device whose row number happens to be the same has another.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QString key = QStringLiteral("orvane-contact") + QChar(0x1F)
        + (contact.uid ? QString::number(*contact.uid) : QString()) + QChar(0x1F)
        + contact.givenName.value_or(QString()).trimmed().toLower() + QChar(0x1F)
        + contact.additionalName.value_or(QString()).trimmed().toLower() + QChar(0x1F)
        + contact.familyName.value_or(QString()).trimmed().toLower() + QChar(0x1F)
        + contact.organisation.value_or(QString()).trimmed().toLower();
    hash.addData(key.toUtf8());
    return QUuid::fromRfc4122(hash.result().left(16)).toString(QUuid::WithoutBraces);
}

AddressBookPerson QELTransferContacts::personFromContact(const QELContact& contact)
{
    AddressBookPerson person;
    person.firstName = contact.givenName;
    person.lastName = contact.familyName;
    person.middleName = contact.additionalName;
    person.title = contact.honorificPrefixes;
    person.suffix = contact.honorificSuffixes;
    person.jobTitle = contact.title;
    person.organization = contact.organisation;
    person.isCompany = isEmpty(contact.FN) && !isEmpty(contact.organisation);
    if (!isEmpty(contact.url))
        person.urls.append({Label::HomePage, *contact.url});
    person.note = unlessEmpty(contact.note);
    person.uid = stableUid(contact);
    if (contact.birthday && contact.birthday->isValid())
        person.birthday = contact.birthday;
    for (const QELContactNickNamePtr& nickName : contact.nickNames) {
        if (!isEmpty(nickName->nickName))
            person.nickNames.append(*nickName->nickName);
    }
    const ContactPhoto photo = ContactPhoto::fromDeviceBytes(contact.picture);
    person.photo = photo.data;
    person.photoType = photo.type;
    for (const QELContactEMailPtr& email : contact.emails)
        person.emails.append({email->locationType == 2 ? Label::EmailWork : Label::EmailHome,
                              email->emailAddress.value_or(QString())});
    for (const QELContactTelephonePtr& phone : contact.telephones)
        person.phones.append({phoneLabel(*phone), phone->telephoneNumber.value_or(QString())});
    for (const QELContactAddressPtr& a : contact.addresses) {
        AddressBookPerson::Address address;
        address.label = a->location == 2 ? Label::AddressWork : Label::AddressHome;
        // The street's lines stay lines; an extended part without a street
        // is kept on its own rather than lost.
        if (!isEmpty(a->streetAddress) && !isEmpty(a->extendedAddress))
            address.street = *a->streetAddress + QLatin1Char('\n') + *a->extendedAddress;
        else if (!isEmpty(a->streetAddress))
            address.street = a->streetAddress;
        else
            address.street = unlessEmpty(a->extendedAddress);
        address.country = unlessEmpty(a->country);
        address.countryCode = unlessEmpty(a->countryCode);
        address.zip = unlessEmpty(a->postCode);
        address.city = unlessEmpty(a->locality);
        address.state = unlessEmpty(a->region);
        person.addresses.append(address);
    }
    return person;
}

void QELTransferContacts::_transferContacts(std::shared_ptr<AddressBookHost> host)
{
    if (itemQueue().isEmpty()) {
        _callAllItemsCopiedDelegate();
        return;
    }
    if (!host)
        host = std::make_shared<FolderAddressBookHost>();
    {
        const std::lock_guard lock(m_destinationMutex);
        m_destination = host->location();
    }
    const bool open = host->open();
    quint32 added = 0;
    while (std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELContactPtr contact = item->value<QELContactPtr>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(contact ? contact->searchReference.value_or(QString()) : QString());
        args.setSenderClass(typeid(QELTransferContacts));
        _callOnItemCopyBeginEventWith(args);
        if (!contact || !open || host->addPerson(personFromContact(*contact)).isEmpty()) {
            _itemCouldNotBeCopied();
            continue;
        }
        ++added;
    }
    // Also after a cancel: the people added so far are kept.
    if (host->hasUnsavedChanges() && !host->save()) {
        qCWarning(lcOrvane) << "the address book could not be saved;" << added
                            << "people were not added";
        for (quint32 i = 0; i < added; ++i)
            _itemCouldNotBeCopied();
    }
    _callAllItemsCopiedDelegate();
}
