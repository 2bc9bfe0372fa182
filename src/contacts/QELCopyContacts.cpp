// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyContacts.h"

#include <QStringList>

#include "AtomicFileBatch.h"
#include "ContactPhoto.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"
#include "SafePath.h"
#include "VCardText.h"

namespace {

QString textOf(const std::optional<QString>& value) { return value.value_or(QString()); }

bool isEmpty(const std::optional<QString>& text) { return !text || text->isEmpty(); }

bool isSetAndNotZero(const std::optional<qint64>& flag) { return flag && *flag != 0; }

QString locationName(const std::optional<qint64>& location)
{
    if (location == 2)
        return QStringLiteral("WORK");
    if (location == 1)
        return QStringLiteral("HOME");
    return {};
}

void addAddress(VCardText& card, const QELContactAddress& address)
{
    QStringList types{locationName(address.location)};
    for (const std::optional<qint64>& delivery :
         {address.deliveryTypeGeo, address.deliveryTypePhysical}) {
        if (isSetAndNotZero(delivery))
            types.append(QString::number(*delivery));
    }
    card.addStructured(QStringLiteral("ADR"),
                       {textOf(address.postOfficeBox),
                        textOf(address.extendedAddress).remove(QLatin1Char('\r')),
                        textOf(address.streetAddress), textOf(address.locality),
                        textOf(address.region), textOf(address.postCode), textOf(address.country)},
                       types);
}

void addTelephone(VCardText& card, const QELContactTelephone& phone)
{
    QStringList types;
    const std::pair<const std::optional<qint64>&, const char*> flags[] = {
        {phone.isBBS, "bbs"},     {phone.isCell, "cell"},
        {phone.isFax, "fax"},     {phone.isISDN, "isdn"},
        {phone.isModem, "modem"}, {phone.isVideo, "video"},
        {phone.isVoice, "voice"}, {phone.isvoiceMailCapable, "msg"},
    };
    for (const auto& [flag, name] : flags) {
        if (isSetAndNotZero(flag))
            types.append(QLatin1String(name));
    }
    types.append(locationName(phone.locationType));
    card.addText(QStringLiteral("TEL"), textOf(phone.telephoneNumber), types);
}

void addEmail(VCardText& card, const QELContactEMail& email)
{
    QStringList parameters;
    if (const QString location = locationName(email.locationType); !location.isEmpty())
        parameters.append(QStringLiteral("TYPE=") + location);
    if (isSetAndNotZero(email.isPrefered))
        parameters.append(QStringLiteral("TYPE=pref"));
    card.addTextWithParameters(QStringLiteral("EMAIL"), parameters.join(QLatin1Char(';')),
                               textOf(email.emailAddress));
}

} // namespace

QELCopyContacts::QELCopyContacts(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyContacts::~QELCopyContacts() { stopWorkers(); }

void QELCopyContacts::startCopy()
{
    QELCopy::startCopy();
    _startWorker([this] { _copyContacts(); });
}

void QELCopyContacts::_copyContacts()
{
    const QString folder = baseCopyPath();
    if (!_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    // A file of an earlier export stays: the new one is numbered beside it.
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both);
    // One sync for the run, not one per file: an address book of thousands
    // of people would otherwise take minutes.
    AtomicFileBatch files;
    while (std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELContactPtr contact = item->value<QELContactPtr>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(contact ? textOf(contact->searchReference) : QString());
        args.setSenderClass(typeid(QELCopyContacts));
        _callOnItemCopyBeginEventWith(args);
        if (!contact) {
            _itemCouldNotBeCopied();
            continue;
        }
        const QString path = namer.claimPath(textOf(contact->searchReference),
                                             QStringLiteral("vcf"), QStringLiteral("Contact"));
        QString error;
        if (path.isEmpty() || !files.write(path, _vCardFromContact(*contact), &error)) {
            qCWarning(lcOrvane) << "cannot write the vCard file" << path << error;
            _itemCouldNotBeCopied();
        }
    }
    // Also after a cancel: the files written so far stay.
    QString error;
    const qsizetype written = files.placedFiles().size();
    if (!files.commit(&error)) {
        qCWarning(lcOrvane) << "the vCard files could not be synced to disk" << error;
        files.abandon();
        for (qsizetype i = 0; i < written; ++i)
            _itemCouldNotBeCopied();
    }
    _callAllItemsCopiedDelegate();
}

QString QELCopyContacts::fullNameOf(const QELContact& contact)
{
    // The store's FN is the list key ("Whitfield, Dana"); a card's is the
    // name as people write it.
    QString name = VCardText::displayName(textOf(contact.givenName), textOf(contact.additionalName),
                                          textOf(contact.familyName));
    if (name.isEmpty())
        name = textOf(contact.FN).trimmed();
    if (name.isEmpty())
        name = textOf(contact.organisation).trimmed();
    return name;
}

QByteArray QELCopyContacts::_vCardFromContact(const QELContact& contact)
{
    VCardText card;
    card.addRaw(QStringLiteral("BEGIN"), QStringLiteral("VCARD"));
    card.addRaw(QStringLiteral("VERSION"), QStringLiteral("3.0"));
    card.addRaw(QStringLiteral("PRODID"), QLatin1String(VCardText::kProductId));
    card.addStructured(QStringLiteral("N"),
                       {textOf(contact.familyName), textOf(contact.givenName),
                        textOf(contact.additionalName), textOf(contact.honorificPrefixes),
                        textOf(contact.honorificSuffixes)});
    card.addText(QStringLiteral("FN"), fullNameOf(contact));
    if (contact.uid)
        card.addRaw(QStringLiteral("UID"), QString::number(*contact.uid));
    QStringList nickNames;
    for (const QELContactNickNamePtr& nickName : contact.nickNames) {
        if (!isEmpty(nickName->nickName))
            nickNames.append(*nickName->nickName);
    }
    // One line each: vCard readers in use take only the first of a list.
    for (const QString& nickName : std::as_const(nickNames))
        card.addText(QStringLiteral("NICKNAME"), nickName);
    for (const QELContactAddressPtr& address : contact.addresses)
        addAddress(card, *address);
    for (const QELContactTelephonePtr& phone : contact.telephones)
        addTelephone(card, *phone);
    for (const QELContactEMailPtr& email : contact.emails)
        addEmail(card, *email);
    if (!isEmpty(contact.title))
        card.addText(QStringLiteral("TITLE"), *contact.title);
    if (!isEmpty(contact.role))
        card.addText(QStringLiteral("ROLE"), *contact.role);
    if (!isEmpty(contact.organisation))
        card.addStructured(QStringLiteral("ORG"), {*contact.organisation});
    if (!isEmpty(contact.note))
        card.addText(QStringLiteral("NOTE"), *contact.note);
    if (!isEmpty(contact.url))
        card.addText(QStringLiteral("URL"), *contact.url);
    if (contact.birthday && contact.birthday->isValid() && contact.birthday->year() >= 1
        && contact.birthday->year() <= 9999)
        card.addRaw(QStringLiteral("BDAY"),
                    contact.birthday->toString(QStringLiteral("yyyy-MM-dd")));
    const ContactPhoto photo = ContactPhoto::fromDeviceBytes(contact.picture);
    card.addPhoto(photo.data, photo.type);
    card.addRaw(QStringLiteral("END"), QStringLiteral("VCARD"));
    return card.bytes();
}
