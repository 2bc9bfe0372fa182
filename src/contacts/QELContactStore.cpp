// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactStore.h"

#include <algorithm>

#include "QELSQLiteStatement.h"
#include "QELSQLiteTransaction.h"
#include "ThreadCheck.h"

namespace {

// The store file is removed before every read, so the tables are made afresh.
const char* const kSchema[] = {
    "CREATE TABLE QELContact (id INTEGER PRIMARY KEY, uid INTEGER, givenName TEXT,"
    " additionalName TEXT, familyName TEXT, honorificPrefixes TEXT, honorificSuffixes TEXT,"
    " organisation TEXT, title TEXT, note TEXT, FN TEXT, searchReference TEXT, url TEXT,"
    " picture BLOB, birthday TEXT, role TEXT, image BLOB)",
    "CREATE TABLE QELContactAddress (id INTEGER PRIMARY KEY, owners INTEGER, streetAddress TEXT,"
    " extendedAddress TEXT, postOfficeBox TEXT, locality TEXT, region TEXT, postCode TEXT,"
    " country TEXT, countryCode TEXT, location INTEGER, deliveryTypeGeo INTEGER,"
    " deliveryTypePhysical INTEGER)",
    "CREATE TABLE QELContactEMail (id INTEGER PRIMARY KEY, owners INTEGER, emailAddress TEXT,"
    " locationType INTEGER, isPrefered INTEGER)",
    "CREATE TABLE QELContactTelephone (id INTEGER PRIMARY KEY, owners INTEGER,"
    " telephoneNumber TEXT, locationType INTEGER, isVoice INTEGER, isCell INTEGER, isFax INTEGER,"
    " isBBS INTEGER, isISDN INTEGER, isModem INTEGER, isPager INTEGER, isPCS INTEGER,"
    " isVideo INTEGER, isvoiceMailCapable INTEGER)",
    "CREATE TABLE QELContactNickName (id INTEGER PRIMARY KEY, owners INTEGER, nickName TEXT)",
};

QVariant value(const std::optional<QString>& v) { return v ? QVariant(*v) : QVariant(); }
QVariant value(const std::optional<qint64>& v) { return v ? QVariant(*v) : QVariant(); }
QVariant value(const QByteArray& v) { return v.isNull() ? QVariant() : QVariant(v); }
QVariant value(const std::optional<QDate>& v)
{
    return v ? QVariant(v->toString(Qt::ISODate)) : QVariant();
}

} // namespace

std::shared_ptr<QELContactStore> QELContactStore::open(const QString& filePath)
{
    assertNotOnGuiThread();
    std::shared_ptr<QELContactStore> store(new QELContactStore());
    if (!store->openStore(filePath))
        return nullptr;
    return store;
}

QELContactStore::~QELContactStore() { close(); }

QStringList QELContactStore::schemaStatements() const
{
    QStringList statements;
    for (const char* statement : kSchema)
        statements.append(QString::fromLatin1(statement));
    return statements;
}

QELContactPtr QELContactStore::insertContact()
{
    m_contacts.push_back(std::make_shared<QELContact>());
    return m_contacts.back();
}

void QELContactStore::deleteContact(const QELContactPtr& contact)
{
    m_contacts.erase(std::remove(m_contacts.begin(), m_contacts.end(), contact), m_contacts.end());
}

void QELContactStore::deleteContacts(const std::unordered_set<const QELContact*>& contacts)
{
    if (contacts.empty())
        return;
    m_contacts.erase(std::remove_if(m_contacts.begin(), m_contacts.end(),
                                    [&contacts](const QELContactPtr& contact) {
                                        return contacts.count(contact.get()) != 0;
                                    }),
                     m_contacts.end());
}

bool QELContactStore::save(QString* error)
{
    assertNotOnGuiThread();
    std::lock_guard<std::recursive_mutex> guard(lock());
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!handle())
        return fail(QStringLiteral("the store is closed"));
    QELSQLiteTransaction transaction(handle());
    if (!transaction.isActive())
        return fail(transaction.error());
    // Saving again replaces what an earlier save wrote.
    for (const char* table : {"QELContact", "QELContactAddress", "QELContactEMail",
                              "QELContactTelephone", "QELContactNickName"}) {
        QString reason;
        if (!run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, &reason))
            return fail(reason);
    }
    QELSQLiteStatement contacts =
        prepare(QStringLiteral("INSERT INTO QELContact VALUES "
                               "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17)"));
    QELSQLiteStatement addresses = prepare(QStringLiteral(
        "INSERT INTO QELContactAddress VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13)"));
    QELSQLiteStatement emails =
        prepare(QStringLiteral("INSERT INTO QELContactEMail VALUES (?1,?2,?3,?4,?5)"));
    QELSQLiteStatement phones = prepare(QStringLiteral(
        "INSERT INTO QELContactTelephone VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)"));
    QELSQLiteStatement nickNames =
        prepare(QStringLiteral("INSERT INTO QELContactNickName VALUES (?1,?2,?3)"));
    if (!contacts.isPrepared() || !addresses.isPrepared() || !emails.isPrepared()
        || !phones.isPrepared() || !nickNames.isPrepared())
        return fail(lastError());
    qint64 contactRow = 0;
    qint64 detailRow = 0;
    for (const QELContactPtr& c : m_contacts) {
        contacts.bindAll({++contactRow, value(c->uid), value(c->givenName),
                          value(c->additionalName), value(c->familyName),
                          value(c->honorificPrefixes), value(c->honorificSuffixes),
                          value(c->organisation), value(c->title), value(c->note), value(c->FN),
                          value(c->searchReference), value(c->url), value(c->picture),
                          value(c->birthday), value(c->role), value(c->image)});
        if (!contacts.execute())
            return fail(contacts.errorMessage());
        for (const QELContactAddressPtr& a : c->addresses) {
            addresses.bindAll({++detailRow, contactRow, value(a->streetAddress),
                               value(a->extendedAddress), value(a->postOfficeBox),
                               value(a->locality), value(a->region), value(a->postCode),
                               value(a->country), value(a->countryCode), value(a->location),
                               value(a->deliveryTypeGeo), value(a->deliveryTypePhysical)});
            if (!addresses.execute())
                return fail(addresses.errorMessage());
        }
        for (const QELContactEMailPtr& e : c->emails) {
            emails.bindAll({++detailRow, contactRow, value(e->emailAddress), value(e->locationType),
                            value(e->isPrefered)});
            if (!emails.execute())
                return fail(emails.errorMessage());
        }
        for (const QELContactTelephonePtr& t : c->telephones) {
            phones.bindAll({++detailRow, contactRow, value(t->telephoneNumber),
                            value(t->locationType), value(t->isVoice), value(t->isCell),
                            value(t->isFax), value(t->isBBS), value(t->isISDN), value(t->isModem),
                            value(t->isPager), value(t->isPCS), value(t->isVideo),
                            value(t->isvoiceMailCapable)});
            if (!phones.execute())
                return fail(phones.errorMessage());
        }
        for (const QELContactNickNamePtr& n : c->nickNames) {
            nickNames.bindAll({++detailRow, contactRow, value(n->nickName)});
            if (!nickNames.execute())
                return fail(nickNames.errorMessage());
        }
    }
    if (!transaction.commit())
        return fail(transaction.error());
    return true;
}
