// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>

#include <QString>
#include <QTimeZone>

#include "QELMessagesDBReaderProtocol.h"

class BackupFileSource;

// Reads WhatsApp's chat database (ChatStorage.sqlite: ZWACHATSESSION,
// ZWAGROUPMEMBER, ZWAMESSAGE, ZWAMEDIAITEM; dates in seconds since 2001)
// and, when the device has one, its contacts database (Contacts.sqlite:
// ZWACONTACT, ZWAPHONE), which newer versions no longer keep; a one-person
// chat that no contact names takes the chat's partner name.
//
// Each operation opens its own read-only connections (the "-wal" rows
// included) and closes them before it answers. Blocking: worker threads.
class QELMessagesWhatsAppDbReader : public QELMessagesDBReaderProtocol {
public:
    // Null unless a chat database exists at `chatsDbPath`; a missing
    // contacts database only leaves the names to the chat database.
    static std::unique_ptr<QELMessagesWhatsAppDbReader> create(const QString& chatsDbPath,
                                                               const QString& contactsDbPath);
    // The reader of the backup's WhatsApp databases (the application's own
    // domain, else its shared group's); null when the backup holds none.
    static std::unique_ptr<QELMessagesWhatsAppDbReader> makeReader(BackupFileSource& source);

    bool loadMessages() override { return true; }
    // Whether the chat database opens as one (for tools that must say so).
    bool canOpenDatabase(QString* error = nullptr) const;
    // Every chat, in the database's order of chats; never merged.
    QList<QELMessagesConversation> getConversationList() override;
    // A chat's messages by date, then row.
    QList<QELMessageDetail> getMessagesFromConversationWithStartDateAndEndDate(
        const QELMessagesConversation& conversation, const QDateTime& startDate,
        const QDateTime& endDate) override;
    // One read each, with one time budget; a statement that fails ends it
    // with an empty answer and the reason in `error`.
    QList<QELMessagesConversation> readConversationList(QString* error) override;
    QList<QELMessageDetail> readMessages(const QELMessagesConversation& conversation,
                                         const QDateTime& startDate, const QDateTime& endDate,
                                         QString* error) override;

    void setTimeZone(const QTimeZone& zone) { m_timeZone = zone; }
    // A time budget for each read shorter than the connections' own (tests).
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    QString _chatsDbPath() const { return m_chatsDbPath; }
    QString _contactsDbPath() const { return m_contactsDbPath; }

private:
    QELMessagesWhatsAppDbReader(const QString& chatsDbPath, const QString& contactsDbPath);
    QList<QELMessagesConversation> conversationList();
    QList<QELMessageDetail> messagesOf(const QELMessagesConversation& conversation,
                                       const QDateTime& startDate, const QDateTime& endDate);

    QString m_chatsDbPath;
    QString m_contactsDbPath;
    QTimeZone m_timeZone = QTimeZone::systemTimeZone();
    std::chrono::milliseconds m_readBudget{0};
};
