// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderAddressBookHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUuid>

#include "AtomicFile.h"
#include "Locations.h"
#include "Log.h"
#include "SafePath.h"
#include "VCardText.h"

namespace {

// A card larger than this is not one person: it is not looked into.
constexpr qint64 kMaxCardBytes = 16 * 1024 * 1024;

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
    if (!m_open) {
        qCWarning(lcOrvane) << "cannot make the address book folder" << m_folder;
        return false;
    }
    m_cardByUid.clear();
    const QFileInfoList cards =
        QDir(m_folder).entryInfoList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
    for (const QFileInfo& card : cards) {
        if (card.size() > kMaxCardBytes)
            continue;
        QFile file(card.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString uid = uidOfCard(file.readAll());
        if (!uid.isEmpty() && !m_cardByUid.contains(uid))
            m_cardByUid.insert(uid, card.filePath());
    }
    return true;
}

QString FolderAddressBookHost::addPerson(const AddressBookPerson& person)
{
    if (!m_open)
        return {};
    const QString uid =
        person.uid.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : person.uid;
    // Twice in one run: the later one wins, as a second run would.
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i].first == uid) {
            m_pending[i].second = person;
            return uid;
        }
    }
    m_pending.append({uid, person});
    return uid;
}

QString FolderAddressBookHost::uidOfCard(const QByteArray& text)
{
    // Unfolded, as a folded UID would be written by another program.
    const QString unfolded = QString::fromUtf8(text)
                                 .replace(QStringLiteral("\r\n "), QString())
                                 .replace(QStringLiteral("\n "), QString());
    for (const QStringView line : QStringView(unfolded).split(QLatin1Char('\n'))) {
        const QStringView trimmed = line.trimmed();
        if (!trimmed.startsWith(QLatin1String("UID"), Qt::CaseInsensitive))
            continue;
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringView name = trimmed.left(colon);
        if (name.compare(QLatin1String("UID"), Qt::CaseInsensitive) != 0
            && !name.startsWith(QLatin1String("UID;"), Qt::CaseInsensitive))
            continue;
        return trimmed.mid(colon + 1).trimmed().toString();
    }
    return {};
}

bool FolderAddressBookHost::save()
{
    bool allWritten = true;
    m_replaced = 0;
    for (const auto& [uid, person] : m_pending) {
        QString error;
        QString path = m_cardByUid.value(uid);
        if (!path.isEmpty())
            ++m_replaced;
        else if (SafePath::isPlainName(uid + QStringLiteral(".vcf")))
            path = m_folder + QLatin1Char('/') + uid + QStringLiteral(".vcf");
        else
            path = m_folder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces)
                + QStringLiteral(".vcf");
        m_cardByUid.insert(uid, path);
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
    QString fullName = VCardText::displayName(textOf(person.firstName), textOf(person.middleName),
                                              textOf(person.lastName));
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
    // One line each: vCard readers in use take only the first of a list.
    for (const QString& nickName : person.nickNames)
        card.addText(QStringLiteral("NICKNAME"), nickName);
    if (person.birthday && person.birthday->isValid() && person.birthday->year() >= 1
        && person.birthday->year() <= 9999)
        card.addRaw(QStringLiteral("BDAY"),
                    person.birthday->toString(QStringLiteral("yyyy-MM-dd")));
    card.addPhoto(person.photo, person.photoType);
    card.addRaw(QStringLiteral("END"), QStringLiteral("VCARD"));
    return card.bytes();
}
