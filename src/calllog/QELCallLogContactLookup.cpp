// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogContactLookup.h"

#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

#include "Log.h"
#include "Plist.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

const QString kPerson = QStringLiteral("ABPerson");
const QString kMultiValue = QStringLiteral("ABMultiValue");
const QString kLastFour = QStringLiteral("ABPhoneLastFour");

// `table.column` when the column exists, else NULL: systems differ in which
// name columns ABPerson has.
QString columnOrNull(sqlite3* db, const QString& alias, const QString& table, const QString& column)
{
    return QELSQLiteHelper::columnOrNull(db, table, column, alias);
}

} // namespace

QELCallLogContactLookup::QELCallLogContactLookup(const QString& addressBookPath,
                                                 const QString& mobileSMSPlistPath)
{
    assertNotOnGuiThread();
    if (!addressBookPath.isEmpty())
        readAddressBook(addressBookPath);
    if (!mobileSMSPlistPath.isEmpty())
        readMobileSMSPlist(mobileSMSPlistPath);
}

QString QELCallLogContactLookup::nameFromParts(const QString& first, const QString& last,
                                               const QString& organization)
{
    QStringList parts;
    for (const QString& part : {first.trimmed(), last.trimmed()}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    if (!parts.isEmpty())
        return parts.join(QLatin1Char(' '));
    return organization.trimmed();
}

void QELCallLogContactLookup::readAddressBook(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QString error;
    QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!db.isOpen()) {
        qCWarning(lcOrvane).noquote() << "Call log: the address book could not be opened:" << error;
        return;
    }
    sqlite3* handle = db.handle();
    for (const auto& [table, column] : {std::pair{kPerson, QStringLiteral("ROWID")},
                                        std::pair{kMultiValue, QStringLiteral("record_id")},
                                        std::pair{kMultiValue, QStringLiteral("value")}}) {
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, table, column)) {
            qCWarning(lcOrvane).noquote()
                << "Call log: the address book has no" << table << "column" << column;
            return;
        }
    }
    const bool hasUid = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        handle, kMultiValue, QStringLiteral("UID"));
    // Only the first row of a match counts; ordered so that it is always the
    // same contact.
    QELSQLiteStatement people(
        handle,
        QStringLiteral("SELECT person.ROWID, %1, %2, %3, mvalue.value, %4 FROM ABPerson person "
                       "INNER JOIN ABMultiValue mvalue ON person.ROWID = mvalue.record_id "
                       "ORDER BY person.ROWID")
            .arg(columnOrNull(handle, QStringLiteral("person"), kPerson, QStringLiteral("First")),
                 columnOrNull(handle, QStringLiteral("person"), kPerson, QStringLiteral("Last")),
                 columnOrNull(handle, QStringLiteral("person"), kPerson,
                              QStringLiteral("Organization")),
                 hasUid ? QStringLiteral("mvalue.UID") : QStringLiteral("NULL")));
    QHash<qint64, qint64> personByUid;
    const bool read = people.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 person = row.int64(0);
        if (!m_personNames.contains(person))
            m_personNames.insert(person, nameFromParts(row.text(1), row.text(2), row.text(3)));
        const QString value = row.text(4);
        if (!value.isEmpty() && !m_personByValue.contains(value))
            m_personByValue.insert(value, person);
        if (!row.isNull(5))
            personByUid.insert(row.int64(5), person);
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << "Call log: the address book could not be read:" << people.errorMessage();
        m_personNames.clear();
        m_personByValue.clear();
        return;
    }
    m_hasAddressBook = true;

    if (!hasUid
        || !QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
            handle, kLastFour, QStringLiteral("multivalue_id"))
        || !QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kLastFour,
                                                                     QStringLiteral("value")))
        return;
    QELSQLiteStatement lastFour(handle,
                                QStringLiteral("SELECT multivalue_id, value FROM ABPhoneLastFour"));
    const bool readLastFour = lastFour.forEachRow([&](const QELSQLiteStatement& row) {
        const auto person = personByUid.constFind(row.int64(0));
        const QString key = row.text(1);
        if (person == personByUid.cend() || key.isEmpty())
            return true;
        const auto held = m_personByLastFour.find(key);
        if (held == m_personByLastFour.end())
            m_personByLastFour.insert(key, *person);
        else if (*person < *held)
            *held = *person;
        return true;
    });
    if (!readLastFour) {
        qCWarning(lcOrvane).noquote()
            << "Call log: the last-four index could not be read:" << lastFour.errorMessage();
        m_personByLastFour.clear();
    }
}

void QELCallLogContactLookup::readMobileSMSPlist(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    const QVariant cache = Plist::readFile(path).toMap().value(QStringLiteral("_im_ab_cache"));
    if (cache.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap entries = cache.toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        m_cachedRecordIds.insert(it.key(), it.value().toString());
}

QString QELCallLogContactLookup::nameFromMobileSMSPlist(const QString& address) const
{
    const auto record = m_cachedRecordIds.constFind(address + QStringLiteral("_record_id"));
    if (record == m_cachedRecordIds.cend())
        return {};
    bool ok = false;
    const qint64 person = record->trimmed().toLongLong(&ok);
    return ok ? m_personNames.value(person) : QString();
}

QString QELCallLogContactLookup::nameFromAddressBook(const QString& address) const
{
    if (const auto exact = m_personByValue.constFind(address); exact != m_personByValue.cend())
        return m_personNames.value(*exact);
    if (address.contains(QLatin1Char('@')))
        return {};
    const QString key = address.size() > 4 ? address.right(4) : address;
    if (const auto last = m_personByLastFour.constFind(key); last != m_personByLastFour.cend())
        return m_personNames.value(*last);
    return {};
}

QString QELCallLogContactLookup::nameForAddress(const QString& address) const
{
    // A contact without a name does not name the address: the next source,
    // or the address itself, does.
    QString name = nameFromMobileSMSPlist(address);
    if (name.isEmpty())
        name = nameFromAddressBook(address);
    return name.isEmpty() ? QString() : name;
}
