// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailDbReader.h"

#include <QFileInfo>
#include <QStringList>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELContactNameLookup.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "QELSQLiteTransaction.h"
#include "QELVoiceMailStore.h"
#include "ThreadCheck.h"

namespace {

const QString kVoicemail = QStringLiteral("voicemail");

// Non-empty parts joined by ", " ("Lee, Ann"; "Ann"; never ", Ann").
QString joinedName(const QStringList& parts)
{
    QStringList kept;
    for (const QString& part : parts) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            kept.append(trimmed);
    }
    return kept.join(QStringLiteral(", "));
}

std::optional<qint64> optionalWhole(const QELSQLiteStatement& row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    return row.wholeNumber(column);
}

} // namespace

QELVoiceMailDbReader::QELVoiceMailDbReader(const QString& voiceMailDbPath,
                                           const QString& addressBookDbPath)
    : m_dbPath(voiceMailDbPath)
    , m_abDbPath(addressBookDbPath)
{
}

QELVoiceMailDbReader::~QELVoiceMailDbReader() = default;

std::unique_ptr<QELVoiceMailDbReader> QELVoiceMailDbReader::
    initWithVoiceMailDbPathAndAddressBookDbPath(const QString& voiceMailDbPath,
                                                const QString& addressBookDbPath,
                                                const QString& storePath, QString* error)
{
    std::unique_ptr<QELVoiceMailDbReader> reader(
        new QELVoiceMailDbReader(voiceMailDbPath, addressBookDbPath));
    reader->m_store = QELVoiceMailStore::create(storePath, error);
    if (!reader->m_store)
        return nullptr;
    return reader;
}

std::unique_ptr<QELVoiceMailDbReader> QELVoiceMailDbReader::makeReader(BackupFileSource& source,
                                                                       QString* error)
{
    assertNotOnGuiThread();
    const QString index = source.GetPathToDataOfType(6);
    const QString addressBook = index.isEmpty() ? QString() : source.GetPathToDataOfType(0);
    auto reader = initWithVoiceMailDbPathAndAddressBookDbPath(
        index, addressBook, QELVoiceMailStore::defaultFilePath(), error);
    if (reader && !addressBook.isEmpty())
        reader->setPhoneRegion(QELContactNameLookup::regionFromGlobalPreferences(
            source.GetPathForDeviceFileNameInDomain(QELContactNameLookup::globalPreferencesPath(),
                                                    QStringLiteral("HomeDomain")),
            &reader->m_regionProblem));
    return reader;
}

bool QELVoiceMailDbReader::voiceMailExists() const
{
    return !m_dbPath.isEmpty() && QFileInfo(m_dbPath).isFile();
}

bool QELVoiceMailDbReader::fail(const QString& why)
{
    m_lastError = why;
    qCWarning(lcOrvane).noquote() << "Voicemail:" << why;
    return false;
}

bool QELVoiceMailDbReader::loadVoiceMail()
{
    assertNotOnGuiThread();
    m_contacts.clear();
    m_itemsBySender.clear();
    m_lastError.clear();
    m_warnings.clear();
    m_addressBook.reset();
    if (!voiceMailExists())
        return false;
    if (!m_regionProblem.isEmpty())
        m_warnings.append(m_regionProblem);
    // Every statement of the load shares one budget; the first that fails
    // ends it, so an index read in part never looks whole.
    const QELSQLiteStepBudget::Read whole(m_readBudget);
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_dbPath, &error);
    if (!db.isOpen())
        return fail(QStringLiteral("the voicemail index could not be opened: ") + error);
    sqlite3* handle = db.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kVoicemail,
                                                                  QStringLiteral("sender")))
        return fail(QStringLiteral("the file has no voicemail table with senders"));

    auto column = [&](const char* name) {
        return QELSQLiteHelper::columnOrNull(handle, kVoicemail, QString::fromLatin1(name));
    };
    const bool hasTrashed = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        handle, kVoicemail, QStringLiteral("trashed_date"));
    // One pass in ROWID order, grouped here: selecting a sender's rows by its
    // decoded text would find none for a sender that is not valid UTF-8. A
    // NULL sender and an empty one are the same withheld number.
    QELSQLiteStatement rows(
        handle,
        QStringLiteral("SELECT ROWID, ifnull(sender, ''), %1, %2, %3, %4 FROM voicemail "
                       "ORDER BY ROWID")
            .arg(column("date"), column("duration"), column("flags"), column("trashed_date")));
    QStringList senderTexts;
    QHash<QString, QList<QELVoiceMailItem>> itemsOfSender;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        QELVoiceMailItem item;
        item.id = row.int64(0);
        if (!row.isNull(2))
            item.dateRecorded = DeviceTime::fromUnixSeconds(row.int64(2));
        item.duration = optionalWhole(row, 3);
        if (item.duration && *item.duration < 0)
            item.duration = 0;
        item.flags = optionalWhole(row, 4);
        if (hasTrashed)
            item.trashed = !row.isNull(5) && row.real(5) != 0;
        const QString sender = row.text(1).isNull() ? QStringLiteral("") : row.text(1);
        auto items = itemsOfSender.find(sender);
        if (items == itemsOfSender.end()) {
            senderTexts.append(sender);
            items = itemsOfSender.insert(sender, {});
        }
        items->append(item);
        return true;
    });
    if (!read) {
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("the voicemails could not be read"),
                                               rows.errorMessage());
        return fail(whole.error());
    }

    QELSQLiteTransaction transaction(m_store->handle());
    for (const QString& sender : std::as_const(senderTexts)) {
        QString name = sender.isEmpty() ? QString() : _addressForSenderId(sender);
        const bool named = !name.isEmpty();
        if (!named)
            name = sender.trimmed().isEmpty() ? L("UNKNOWNSENDER") : sender;
        const QELVoiceMailContact contact(sender, name, named);
        const qint64 contactRow = m_store->addContact(contact);
        if (contactRow == 0)
            return fail(QStringLiteral("the store could not be written: ") + m_store->lastError());
        for (QELVoiceMailItem& item : itemsOfSender[sender]) {
            item.contact = contact;
            if (!m_store->addItem(contactRow, item))
                return fail(QStringLiteral("the store could not be written: ")
                            + m_store->lastError());
        }
    }
    if (!transaction.commit())
        return fail(QStringLiteral("the store could not be saved: ") + transaction.error());
    if (m_addressBook)
        m_warnings.append(m_addressBook->problems());
    m_addressBook.reset();

    // Read back once, so that later questions need no SQLite on their thread.
    m_contacts = m_store->contacts();
    for (const QELVoiceMailContact& contact : std::as_const(m_contacts))
        m_itemsBySender.insert(contact.sender(), m_store->itemsForSender(contact.sender()));
    return true;
}

QList<QELVoiceMailItem> QELVoiceMailDbReader::getVoiceMailsForSenderId(const QString& sender) const
{
    return m_itemsBySender.value(sender.isNull() ? QStringLiteral("") : sender);
}

QString QELVoiceMailDbReader::_addressForSenderId(const QString& sender)
{
    if (sender.isEmpty() || m_abDbPath.isEmpty())
        return {};
    if (!m_addressBook) {
        // Read once for every sender of the index.
        m_addressBook = std::make_unique<QELContactNameLookup>(
            QFileInfo(m_abDbPath).isFile() ? m_abDbPath : QString(), QString(), m_phoneRegion);
    }
    const auto contact = m_addressBook->contactForAddress(sender);
    if (!contact)
        return {};
    // Senders are listed by family name: "Lee, Ann".
    const QString name = joinedName({contact->last, contact->first});
    return name.isEmpty() ? contact->organization.trimmed() : name;
}
