// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailDbReader.h"

#include <QFileInfo>
#include <QStringList>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteTransaction.h"
#include "QELVoiceMailStore.h"
#include "ThreadCheck.h"

namespace {

const QString kVoicemail = QStringLiteral("voicemail");
const QString kFullText = QStringLiteral("ABPersonFullTextSearch_content");
const QString kPerson = QStringLiteral("ABPerson");
const QString kMultiValue = QStringLiteral("ABMultiValue");
const QString kLastFour = QStringLiteral("ABPhoneLastFour");

// The sender as a LIKE pattern that matches it anywhere and only as typed:
// "%", "_" and the escape character itself lose their meaning.
QString containsPattern(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped.append(QLatin1Char('\\'));
        escaped.append(c);
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

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
    return initWithVoiceMailDbPathAndAddressBookDbPath(index, addressBook,
                                                       QELVoiceMailStore::defaultFilePath(), error);
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
    if (!voiceMailExists())
        return false;
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_dbPath, &error);
    if (!db.isOpen())
        return fail(QStringLiteral("the voicemail index could not be opened: ") + error);
    sqlite3* handle = db.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kVoicemail,
                                                                  QStringLiteral("sender")))
        return fail(QStringLiteral("the file has no voicemail table with senders"));

    // A NULL sender and an empty one are the same withheld number.
    QELSQLiteStatement senders(handle,
                               QStringLiteral("SELECT ifnull(sender, '') AS sender FROM voicemail "
                                              "GROUP BY ifnull(sender, '') ORDER BY min(ROWID)"));
    QStringList senderTexts;
    if (!senders.forEachRow([&](const QELSQLiteStatement& row) {
            senderTexts.append(row.text(0).isNull() ? QStringLiteral("") : row.text(0));
            return true;
        }))
        return fail(QStringLiteral("the senders could not be read: ") + senders.errorMessage());

    auto column = [&](const char* name) {
        return QELSQLiteHelper::columnOrNull(handle, kVoicemail, QString::fromLatin1(name));
    };
    const bool hasTrashed = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        handle, kVoicemail, QStringLiteral("trashed_date"));
    QELSQLiteStatement items(
        handle,
        QStringLiteral("SELECT ROWID, %1, %2, %3, %4 FROM voicemail "
                       "WHERE ifnull(sender, '') = ? ORDER BY ROWID")
            .arg(column("date"), column("duration"), column("flags"), column("trashed_date")));
    if (!items.isPrepared())
        return fail(QStringLiteral("the voicemails could not be read: ") + items.errorMessage());

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
        items.reset();
        items.bindText(1, sender);
        bool written = true;
        const bool read = items.forEachRow([&](const QELSQLiteStatement& row) {
            QELVoiceMailItem item;
            item.id = row.int64(0);
            if (!row.isNull(1))
                item.dateRecorded = DeviceTime::fromUnixSeconds(row.int64(1));
            item.duration = optionalWhole(row, 2);
            if (item.duration && *item.duration < 0)
                item.duration = 0;
            item.flags = optionalWhole(row, 3);
            if (hasTrashed)
                item.trashed = !row.isNull(4) && row.real(4) != 0;
            item.contact = contact;
            written = m_store->addItem(contactRow, item);
            return written;
        });
        if (!written)
            return fail(QStringLiteral("the store could not be written: ") + m_store->lastError());
        if (!read)
            return fail(QStringLiteral("the voicemails could not be read: ")
                        + items.errorMessage());
    }
    if (!transaction.commit())
        return fail(QStringLiteral("the store could not be saved: ") + transaction.error());
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
    if (!m_addressBookTried) {
        m_addressBookTried = true;
        if (QFileInfo(m_abDbPath).isFile()) {
            QString error;
            auto db = std::make_unique<QELSQLiteDatabase>(
                QELSQLiteDatabase::openCopyReadOnly(m_abDbPath, &error));
            if (db->isOpen())
                m_addressBook = std::move(db);
            else
                qCWarning(lcOrvane).noquote()
                    << "Voicemail: the address book could not be opened:" << error;
        }
    }
    if (!m_addressBook)
        return {};
    const QString name = nameFromFullTextSearch(*m_addressBook, sender);
    return name.isEmpty() ? nameFromLastFour(*m_addressBook, sender) : name;
}

QString QELVoiceMailDbReader::nameFromFullTextSearch(const QELSQLiteDatabase& addressBook,
                                                     const QString& sender)
{
    sqlite3* handle = addressBook.handle();
    const QString searched =
        sender.contains(QLatin1Char('@')) ? QStringLiteral("c16Email") : QStringLiteral("c15Phone");
    if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kFullText, searched))
        return {};
    auto column = [&](const char* name) {
        return QELSQLiteHelper::columnOrNull(handle, kFullText, QString::fromLatin1(name));
    };
    // The first row in table order names the sender, so one file always
    // gives one name.
    QELSQLiteStatement select(handle,
                              QStringLiteral("SELECT %1, %2, %3 FROM %4 "
                                             "WHERE %5 LIKE ? ESCAPE '\\' ORDER BY rowid "
                                             "LIMIT 1")
                                  .arg(column("c0First"), column("c1Last"),
                                       column("c6Organization"), kFullText, searched));
    select.bindText(1, containsPattern(sender));
    QString name;
    const bool read = select.forEachRow([&](const QELSQLiteStatement& row) {
        name = joinedName({row.text(1), row.text(0)});
        if (name.isEmpty())
            name = row.text(2).trimmed();
        return false;
    });
    if (!read)
        qCWarning(lcOrvane).noquote()
            << "Voicemail: the address book's full-text table could not be read:"
            << select.errorMessage();
    return name;
}

QString QELVoiceMailDbReader::nameFromLastFour(const QELSQLiteDatabase& addressBook,
                                               const QString& sender)
{
    sqlite3* handle = addressBook.handle();
    for (const auto& [table, name] : {std::pair{kPerson, QStringLiteral("ROWID")},
                                      std::pair{kMultiValue, QStringLiteral("record_id")},
                                      std::pair{kMultiValue, QStringLiteral("UID")},
                                      std::pair{kLastFour, QStringLiteral("multivalue_id")},
                                      std::pair{kLastFour, QStringLiteral("value")}}) {
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, table, name))
            return {};
    }
    const QString key = sender.size() < 5 ? sender : sender.right(4);
    QELSQLiteStatement select(
        handle,
        QStringLiteral("SELECT %1, %2 FROM ABPerson person INNER JOIN ABMultiValue mvalue "
                       "ON person.ROWID = mvalue.record_id INNER JOIN ABPhoneLastFour lastfour "
                       "ON mvalue.UID = lastfour.multivalue_id WHERE lastfour.value = ? "
                       "ORDER BY person.ROWID LIMIT 1")
            .arg(QELSQLiteHelper::columnOrNull(handle, kPerson, QStringLiteral("Last"),
                                               QStringLiteral("person")),
                 QELSQLiteHelper::columnOrNull(handle, kPerson, QStringLiteral("First"),
                                               QStringLiteral("person"))));
    select.bindText(1, key);
    QString found;
    const bool read = select.forEachRow([&](const QELSQLiteStatement& row) {
        found = joinedName({row.text(0), row.text(1)});
        return false;
    });
    if (!read)
        qCWarning(lcOrvane).noquote()
            << "Voicemail: the address book's last-four index could not be read:"
            << select.errorMessage();
    return found;
}
