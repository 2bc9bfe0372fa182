// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderAddressBookHost.h"

#include <QDir>
#include <QSettings>
#include <QUuid>

#include "AtomicFile.h"
#include "Locations.h"
#include "Log.h"
#include "SafePath.h"
#include "VCardText.h"

namespace {

QString textOf(const std::optional<QString>& value) { return value.value_or(QString()); }

// The TYPE values of a label, as contact programs read them.
QStringList typesOf(AddressBookPerson::Label label)
{
    using Label = AddressBookPerson::Label;
    switch (label) {
    case Label::HomePage:
        return {};
    case Label::EmailHome:
    case Label::PhoneHome:
    case Label::AddressHome:
        return {QStringLiteral("HOME")};
    case Label::EmailWork:
    case Label::PhoneWork:
    case Label::AddressWork:
        return {QStringLiteral("WORK")};
    case Label::PhoneMobile:
        return {QStringLiteral("CELL")};
    case Label::PhonePager:
        return {QStringLiteral("PAGER")};
    case Label::PhoneHomeFAX:
        return {QStringLiteral("HOME"), QStringLiteral("FAX")};
    case Label::PhoneWorkFAX:
        return {QStringLiteral("WORK"), QStringLiteral("FAX")};
    }
    return {};
}

} // namespace

FolderAddressBookHost::FolderAddressBookHost(const QString& folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
}

FolderAddressBookHost::~FolderAddressBookHost() = default;

QString FolderAddressBookHost::defaultFolder()
{
    QString collection = QSettings().value(QLatin1String(kCollectionSetting)).toString();
    // The setting names a folder inside the contacts folder, never a path.
    if (!SafePath::isPlainName(collection))
        collection = QStringLiteral("default");
    return Locations::dataHome() + QStringLiteral("/contacts/") + collection;
}

bool FolderAddressBookHost::open()
{
    m_open = QDir().mkpath(m_folder);
    if (!m_open)
        qCWarning(lcOrvane) << "cannot make the address book folder" << m_folder;
    return m_open;
}

QString FolderAddressBookHost::addPerson(const AddressBookPerson& person)
{
    if (!m_open)
        return {};
    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_pending.append({uid, person});
    return uid;
}

bool FolderAddressBookHost::save()
{
    bool allWritten = true;
    for (const auto& [uid, person] : m_pending) {
        QString error;
        const QString path = m_folder + QLatin1Char('/') + uid + QStringLiteral(".vcf");
        if (!writeFileAtomically(path, vCardOf(person, uid), &error)) {
            qCWarning(lcOrvane) << "cannot save a person in" << m_folder << error;
            allWritten = false;
        }
    }
    m_pending.clear();
    return allWritten;
}

QByteArray FolderAddressBookHost::vCardOf(const AddressBookPerson& person, const QString& uid)
{
    VCardText card;
    card.addRaw(QStringLiteral("BEGIN"), QStringLiteral("VCARD"));
    card.addRaw(QStringLiteral("VERSION"), QStringLiteral("3.0"));
    card.addRaw(QStringLiteral("PRODID"), QLatin1String(VCardText::kProductId));
    card.addText(QStringLiteral("UID"), uid);
    card.addStructured(QStringLiteral("N"),
                       {textOf(person.lastName), textOf(person.firstName),
                        textOf(person.middleName), textOf(person.title), textOf(person.suffix)});
    QStringList nameParts;
    for (const std::optional<QString>& part :
         {person.firstName, person.middleName, person.lastName}) {
        if (part && !part->trimmed().isEmpty())
            nameParts.append(part->trimmed());
    }
    QString fullName = nameParts.join(QLatin1Char(' '));
    if (person.isCompany || fullName.isEmpty())
        fullName = textOf(person.organization).trimmed();
    card.addText(QStringLiteral("FN"), fullName);
    if (person.organization)
        card.addStructured(QStringLiteral("ORG"), {*person.organization});
    if (person.jobTitle)
        card.addText(QStringLiteral("TITLE"), *person.jobTitle);
    if (person.isCompany)
        card.addRaw(QStringLiteral("X-ABShowAs"), QStringLiteral("COMPANY"));
    for (const AddressBookPerson::Value& email : person.emails)
        card.addText(QStringLiteral("EMAIL"), email.value, typesOf(email.label));
    for (const AddressBookPerson::Value& phone : person.phones)
        card.addText(QStringLiteral("TEL"), phone.value, typesOf(phone.label));
    for (const AddressBookPerson::Address& address : person.addresses) {
        card.addStructured(QStringLiteral("ADR"),
                           {QString(), QString(), textOf(address.street), textOf(address.city),
                            textOf(address.state), textOf(address.zip), textOf(address.country)},
                           typesOf(address.label));
    }
    for (const AddressBookPerson::Value& url : person.urls)
        card.addText(QStringLiteral("URL"), url.value, typesOf(url.label));
    if (person.note)
        card.addText(QStringLiteral("NOTE"), *person.note);
    card.addRaw(QStringLiteral("END"), QStringLiteral("VCARD"));
    return card.bytes();
}
