// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesWhatsAppDbReader.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "BackupFileSource.h"
#include "DeviceTime.h"
#include "Log.h"
#include "QELMessagesDayFilter.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

constexpr int kChatStorage = 13;
constexpr int kWhatsAppContacts = 14;
const QString kSharedDomain = QStringLiteral("AppDomainGroup-group.net.whatsapp.WhatsApp.shared");

enum MessageType { Text = 0, Image = 1, Video = 2, Audio = 3, Skipped = 6 };

// The part of a WhatsApp identifier ("<number>@s.whatsapp.net") before "@".
QString numberOfJid(const QString& jid)
{
    const qsizetype at = jid.indexOf(QLatin1Char('@'));
    return at < 0 ? jid : jid.left(at);
}

QString columnOrNull(sqlite3* db, const char* table, const char* column, const char* alias)
{
    return QELSQLiteHelper::columnOrNull(db, QString::fromLatin1(table),
                                         QString::fromLatin1(column), QString::fromLatin1(alias));
}

} // namespace

QELMessagesWhatsAppDbReader::QELMessagesWhatsAppDbReader(const QString& chatsDbPath,
                                                         const QString& contactsDbPath)
    : m_chatsDbPath(chatsDbPath)
    , m_contactsDbPath(contactsDbPath)
{
}

std::unique_ptr<QELMessagesWhatsAppDbReader> QELMessagesWhatsAppDbReader::create(
    const QString& chatsDbPath, const QString& contactsDbPath)
{
    if (chatsDbPath.isEmpty() || !QFileInfo(chatsDbPath).isFile())
        return nullptr;
    const QString contacts = !contactsDbPath.isEmpty() && QFileInfo(contactsDbPath).isFile()
        ? contactsDbPath
        : QString();
    return std::unique_ptr<QELMessagesWhatsAppDbReader>(
        new QELMessagesWhatsAppDbReader(chatsDbPath, contacts));
}

std::unique_ptr<QELMessagesWhatsAppDbReader> QELMessagesWhatsAppDbReader::makeReader(
    BackupFileSource& source)
{
    assertNotOnGuiThread();
    QString chats = source.GetPathToDataOfType(kChatStorage);
    QString contacts = source.GetPathToDataOfType(kWhatsAppContacts);
    // Later versions keep their databases in the shared group's container.
    if (chats.isEmpty()) {
        chats = source.GetPathForDeviceFileNameInDomain(QStringLiteral("ChatStorage.sqlite"),
                                                        kSharedDomain);
        if (contacts.isEmpty())
            contacts = source.GetPathForDeviceFileNameInDomain(QStringLiteral("Contacts.sqlite"),
                                                               kSharedDomain);
    }
    return create(chats, contacts);
}

bool QELMessagesWhatsAppDbReader::canOpenDatabase(QString* error) const
{
    return QELSQLiteDatabase::openCopyReadOnly(m_chatsDbPath, error).isOpen();
}

QList<QELMessagesConversation> QELMessagesWhatsAppDbReader::getConversationList()
{
    return readConversationList(nullptr);
}

QList<QELMessagesConversation> QELMessagesWhatsAppDbReader::readConversationList(QString* error)
{
    return QELSQLiteStepBudget::asOneRead(
        error, [&] { return conversationList(); }, m_readBudget);
}

QList<QELMessageDetail> QELMessagesWhatsAppDbReader::
    getMessagesFromConversationWithStartDateAndEndDate(const QELMessagesConversation& conversation,
                                                       const QDateTime& startDate,
                                                       const QDateTime& endDate)
{
    return readMessages(conversation, startDate, endDate, nullptr);
}

QList<QELMessageDetail> QELMessagesWhatsAppDbReader::readMessages(
    const QELMessagesConversation& conversation, const QDateTime& startDate,
    const QDateTime& endDate, QString* error)
{
    return QELSQLiteStepBudget::asOneRead(
        error, [&] { return messagesOf(conversation, startDate, endDate); }, m_readBudget);
}

QList<QELMessagesConversation> QELMessagesWhatsAppDbReader::conversationList()
{
    assertNotOnGuiThread();
    QString error;
    const QELSQLiteDatabase chats = QELSQLiteDatabase::openCopyReadOnly(m_chatsDbPath, &error);
    if (!chats.isOpen()) {
        qCWarning(lcOrvane).noquote()
            << "Messages: ChatStorage.sqlite could not be opened:" << error;
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("ChatStorage.sqlite could not be opened"), error);
        return {};
    }
    sqlite3* db = chats.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
            db, QStringLiteral("ZWACHATSESSION"), QStringLiteral("Z_PK")))
        return {};
    QELSQLiteDatabase contacts;
    if (!m_contactsDbPath.isEmpty())
        contacts = QELSQLiteDatabase::openCopyReadOnly(m_contactsDbPath);
    QELSQLiteStatement contactRows;
    if (contacts.isOpen()
        && QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
            contacts.handle(), QStringLiteral("ZWACONTACT"), QStringLiteral("ZABUSERID"))) {
        const bool phones = QELSQLiteHelper::doesDatabaseContainTable(contacts.handle(),
                                                                      QStringLiteral("ZWAPHONE"));
        contactRows = QELSQLiteStatement(
            contacts.handle(),
            QStringLiteral("SELECT %1, %2 FROM ZWACONTACT contact %3 WHERE contact.ZABUSERID = ?1")
                .arg(columnOrNull(contacts.handle(), "ZWACONTACT", "ZFIRSTNAME", "contact"),
                     columnOrNull(contacts.handle(), "ZWACONTACT", "ZINDEXNAME", "contact"),
                     phones ? QStringLiteral("LEFT OUTER JOIN ZWAPHONE phone ON phone.ZCONTACT = "
                                             "contact.Z_PK")
                            : QString()));
    }
    QELSQLiteStatement members;
    if (QELSQLiteHelper::doesDatabaseContainTable(db, QStringLiteral("ZWAGROUPMEMBER")))
        members = QELSQLiteStatement(
            db,
            QStringLiteral("SELECT %1, %2 FROM ZWAGROUPMEMBER WHERE ZCHATSESSION = ?1 "
                           "ORDER BY Z_PK")
                .arg(columnOrNull(db, "ZWAGROUPMEMBER", "ZCONTACTNAME", ""),
                     columnOrNull(db, "ZWAGROUPMEMBER", "ZMEMBERJID", "")));

    // Stores before ZSESSIONTYPE treat every chat as one with one person.
    QELSQLiteStatement sessions(
        db,
        QStringLiteral("SELECT Z_PK, %1, %2, %3 FROM ZWACHATSESSION ORDER BY Z_PK")
            .arg(columnOrNull(db, "ZWACHATSESSION", "ZCONTACTABID", ""),
                 columnOrNull(db, "ZWACHATSESSION", "ZPARTNERNAME", ""),
                 columnOrNull(db, "ZWACHATSESSION", "ZSESSIONTYPE", "")));
    QList<QELMessagesConversation> list;
    // Pages of a damaged file that point back at one another answer the
    // same chats again; each is listed once.
    QSet<qint64> listed;
    const bool read = sessions.forEachRow([&](const QELSQLiteStatement& row) {
        if (listed.contains(row.int64(0)))
            return true;
        listed.insert(row.int64(0));
        QELMessagesConversation conversation;
        conversation.setConversationDBReader(this);
        conversation.setConversationType(1);
        conversation.setConversationId(row.int64(0), QELMessagesConversation::Source::WhatsApp);
        const qint64 contactId = row.int64(1);
        const QString partnerName = row.text(2);
        if (row.int64(3) != 0) {
            conversation.setIsGroupChat(true);
            conversation.setConversationGroupName(partnerName);
            if (members.isPrepared()) {
                members.reset();
                members.bindInt64(1, row.int64(0));
                members.forEachRow([&](const QELSQLiteStatement& member) {
                    QELMessageParticipant participant;
                    participant.setAddress(numberOfJid(member.text(1)));
                    participant.setName(member.text(0));
                    conversation.appendParticipant(participant);
                    return true;
                });
            }
        } else {
            QELMessageParticipant participant;
            bool named = false;
            if (contactId != 0 && contactRows.isPrepared()) {
                contactRows.reset();
                contactRows.bindInt64(1, contactId);
                // One row per phone of the contact: the last one names it.
                contactRows.forEachRow([&](const QELSQLiteStatement& contact) {
                    const QString first = contact.text(0);
                    const QString index = contact.text(1);
                    QString name = first;
                    if (index != first)
                        name = first.isEmpty() ? index : first + QLatin1Char(' ') + index;
                    participant.setAddress(QString::number(contactId));
                    participant.setName(name);
                    named = true;
                    return true;
                });
            }
            // No contact (or no contacts database): the chat's own name.
            if (!named) {
                participant.setAddress(partnerName);
                participant.setName(partnerName);
            }
            conversation.appendParticipant(participant);
        }
        list.append(conversation);
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << "Messages: the WhatsApp chats could not be read:" << sessions.errorMessage();
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("the WhatsApp chats could not be read"), sessions.errorMessage());
    }
    return list;
}

QList<QELMessageDetail> QELMessagesWhatsAppDbReader::messagesOf(
    const QELMessagesConversation& conversation, const QDateTime& startDate,
    const QDateTime& endDate)
{
    assertNotOnGuiThread();
    QString error;
    const QELSQLiteDatabase chats = QELSQLiteDatabase::openCopyReadOnly(m_chatsDbPath, &error);
    if (!chats.isOpen()) {
        qCWarning(lcOrvane).noquote()
            << "Messages: ChatStorage.sqlite could not be opened:" << error;
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("ChatStorage.sqlite could not be opened"), error);
        return {};
    }
    sqlite3* db = chats.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, QStringLiteral("ZWAMESSAGE"),
                                                                  QStringLiteral("ZCHATSESSION")))
        return {};
    const bool media = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
        db, QStringLiteral("ZWAMEDIAITEM"), QStringLiteral("ZMESSAGE"));
    QELSQLiteStatement rows(
        db,
        QStringLiteral("SELECT message.Z_PK, %1, %2, %3, %4, %5, %6 FROM ZWAMESSAGE message "
                       "%7 WHERE message.ZCHATSESSION = ?1 "
                       "ORDER BY message.ZMESSAGEDATE, message.Z_PK")
            .arg(columnOrNull(db, "ZWAMESSAGE", "ZISFROMME", "message"),
                 columnOrNull(db, "ZWAMESSAGE", "ZMESSAGEDATE", "message"),
                 columnOrNull(db, "ZWAMESSAGE", "ZMESSAGETYPE", "message"),
                 columnOrNull(db, "ZWAMESSAGE", "ZFROMJID", "message"),
                 columnOrNull(db, "ZWAMESSAGE", "ZTEXT", "message"),
                 media ? columnOrNull(db, "ZWAMEDIAITEM", "ZMEDIALOCALPATH", "media")
                       : QStringLiteral("NULL"),
                 media ? QStringLiteral("LEFT OUTER JOIN ZWAMEDIAITEM media ON message.Z_PK = "
                                        "media.ZMESSAGE")
                       : QString()));
    rows.bindInt64(1, conversation.conversationId());
    QList<QELMessageDetail> messages;
    QHash<qint64, bool> seen;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        const int type = int(row.int64(3));
        const qint64 rowId = row.int64(0);
        // A message with two media items comes twice; its first one counts.
        if (type == Skipped || seen.contains(rowId))
            return true;
        seen.insert(rowId, true);
        QELMessageDetail message;
        message.setDirection(row.int64(1) == 1 ? 1 : 0);
        message.setRowId(rowId);
        if (!row.isNull(2))
            message.setTime(DeviceTime::fromReferenceSeconds(row.real(2)));
        const QString from = row.text(4);
        if (from.contains(QLatin1Char('@')))
            message.setMessageAddress(numberOfJid(from));
        bool cut = false;
        const QString text = row.cappedText(5, kMaxTextBytes, &cut);
        message.setMessage(cut ? text + cutMark() : text);
        if (type != Text) {
            QString path = row.text(6);
            if (!path.isEmpty()) {
                if (!path.startsWith(QLatin1Char('/')))
                    path.prepend(QLatin1Char('/'));
                const char* kind = type == Image ? "image"
                    : type == Video              ? "video"
                    : type == Audio              ? "audio"
                                                 : nullptr;
                if (kind)
                    message.appendMessagePiece(QELMessagePiece(QString::fromLatin1(kind), 0, path));
            } else {
                if (type == Image)
                    message.setMessage(QStringLiteral("Image available but not downloaded."));
                else if (type == Video)
                    message.setMessage(QStringLiteral("Video available but not downloaded."));
                else if (type == Audio)
                    message.setMessage(QStringLiteral("Audio available but not downloaded."));
                message.setMessageIsErrorMessage(true);
            }
        }
        messages.append(message);
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << "Messages: the WhatsApp messages could not be read:" << rows.errorMessage();
        QELSQLiteStepBudget::Read::failCurrent(
            QStringLiteral("the WhatsApp messages could not be read"), rows.errorMessage());
    }
    if (QELMessagesDayFilter::isRange(startDate, endDate))
        return QELMessagesDayFilter::_stripMessagesOutDateRange(messages, startDate, endDate,
                                                                m_timeZone);
    return messages;
}
