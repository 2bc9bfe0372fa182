// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailStore.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>

#include "DeviceTime.h"
#include "Locations.h"
#include "Log.h"
#include "ThreadCheck.h"

namespace {

const char* const kSchema[] = {
    "CREATE TABLE contact (row INTEGER PRIMARY KEY, sender TEXT NOT NULL, "
    "senderName TEXT NOT NULL, namedByAddressBook INTEGER NOT NULL)",
    "CREATE TABLE item (id INTEGER PRIMARY KEY, contact INTEGER NOT NULL REFERENCES contact(row), "
    "dateRecorded INTEGER, duration INTEGER, flags INTEGER, trashed INTEGER)",
    "CREATE INDEX item_contact ON item(contact)",
};

QVariant optionalValue(const std::optional<qint64>& value)
{
    return value ? QVariant(*value) : QVariant();
}

std::optional<qint64> optionalColumn(const QELSQLiteStatement& row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    return row.int64(column);
}

} // namespace

QString QELVoiceMailStore::defaultFilePath()
{
    const QString folder = Locations::temporaryFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("voicemail.dat"));
}

std::unique_ptr<QELVoiceMailStore> QELVoiceMailStore::create(const QString& filePath,
                                                             QString* error)
{
    assertNotOnGuiThread();
    // Each load starts from nothing.
    if (!filePath.isEmpty() && QFile::exists(filePath) && !QFile::remove(filePath))
        qCWarning(lcOrvane).noquote()
            << "Voicemail: the old store could not be removed:" << filePath;
    std::unique_ptr<QELVoiceMailStore> store(new QELVoiceMailStore());
    if (!store->openStore(filePath, WhenFileFails::UseMemory, error))
        return nullptr;
    return store;
}

QELVoiceMailStore::~QELVoiceMailStore() { close(); }

QStringList QELVoiceMailStore::schemaStatements() const
{
    QStringList statements;
    for (const char* statement : kSchema)
        statements.append(QString::fromLatin1(statement));
    return statements;
}

qint64 QELVoiceMailStore::addContact(const QELVoiceMailContact& contact)
{
    std::lock_guard guard(lock());
    QELSQLiteStatement insert = prepare(QStringLiteral(
        "INSERT INTO contact (sender, senderName, namedByAddressBook) VALUES (?, ?, ?)"));
    insert.bindText(1, contact.sender().isNull() ? QStringLiteral("") : contact.sender());
    insert.bindText(2, contact.senderName());
    insert.bindInt64(3, contact.namedByAddressBook() ? 1 : 0);
    if (!insert.execute())
        return 0;
    return sqlite3_last_insert_rowid(handle());
}

bool QELVoiceMailStore::addItem(qint64 contactRow, const QELVoiceMailItem& item)
{
    std::lock_guard guard(lock());
    QELSQLiteStatement insert =
        prepare(QStringLiteral("INSERT INTO item (id, contact, dateRecorded, duration, flags, "
                               "trashed) VALUES (?, ?, ?, ?, ?, ?)"));
    insert.bindAll({item.id, contactRow,
                    item.dateRecorded.isValid()
                        ? QVariant(DeviceTime::toUnixSeconds(item.dateRecorded))
                        : QVariant(),
                    optionalValue(item.duration), optionalValue(item.flags),
                    item.trashed ? QVariant(qint64(*item.trashed ? 1 : 0)) : QVariant()});
    return insert.execute();
}

QList<QELVoiceMailContact> QELVoiceMailStore::contacts() const
{
    std::lock_guard guard(lock());
    QList<QELVoiceMailContact> contacts;
    QELSQLiteStatement select = prepare(QStringLiteral(
        "SELECT sender, senderName, namedByAddressBook FROM contact ORDER BY senderName, row"));
    const bool read = select.forEachRow([&](const QELSQLiteStatement& row) {
        contacts.append(
            QELVoiceMailContact(row.storedText(0).isNull() ? QString() : row.storedText(0),
                                row.storedText(1), row.int64(2) != 0));
        return true;
    });
    if (!read)
        qCWarning(lcOrvane).noquote()
            << "Voicemail: the store's senders could not be read:" << select.errorMessage();
    return contacts;
}

QList<QELVoiceMailItem> QELVoiceMailStore::itemsForSender(const QString& sender) const
{
    std::lock_guard guard(lock());
    QELSQLiteStatement select = prepare(QStringLiteral(
        "SELECT item.id, item.dateRecorded, item.duration, item.flags, item.trashed, "
        "contact.sender, contact.senderName, contact.namedByAddressBook FROM item "
        "INNER JOIN contact ON item.contact = contact.row "
        "WHERE contact.row = (SELECT row FROM contact WHERE sender = ? ORDER BY row LIMIT 1) "
        "ORDER BY item.id"));
    select.bindText(1, sender.isNull() ? QStringLiteral("") : sender);
    QList<QELVoiceMailItem> items;
    const bool read = select.forEachRow([&](const QELSQLiteStatement& row) {
        QELVoiceMailItem item;
        item.id = row.int64(0);
        if (!row.isNull(1))
            item.dateRecorded = DeviceTime::fromUnixSeconds(row.int64(1));
        item.duration = optionalColumn(row, 2);
        item.flags = optionalColumn(row, 3);
        if (!row.isNull(4))
            item.trashed = row.int64(4) != 0;
        item.contact = QELVoiceMailContact(row.storedText(5), row.storedText(6), row.int64(7) != 0);
        items.append(item);
        return true;
    });
    if (!read)
        qCWarning(lcOrvane).noquote()
            << "Voicemail: the store's voicemails could not be read:" << select.errorMessage();
    return items;
}
