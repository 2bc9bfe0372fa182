// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include <QString>
#include <QTimeZone>

#include "QELMessagesDBReaderProtocol.h"
#include "QELSQLiteDatabase.h"

class BackupFileSource;
struct sqlite3;

// Reads the device's message database (sms.db) in every generation of its
// tables, which one file may hold side by side (older ones with "_legacy"
// names after an upgrade):
// - chat: chat, chat_handle_join, handle, message, chat_message_join, and
//   attachments through message_attachment_join; dates in seconds since
//   2001, or nanoseconds since iOS 11; the text, on later systems, often
//   only in the archived attributedBody;
// - message group: msg_group, group_member, message, msg_pieces; Unix dates;
// - iMessage chat: madrid_chat, messages by madrid_handle and
//   madrid_roomname, attachments in madrid_attachment.
// Messages of a database with handle and message tables but no chats (or
// in no chat) are listed one conversation per handle, so none is lost.
//
// Every operation reads through a read-only connection of its own to the
// copy (its "-wal" rows included), taken from a small pool of idle ones, so
// reads from several threads never share a connection at once. Addresses and identifiers are
// always bound. A database that cannot be read whole gives an empty answer
// and says why; it never ends the caller. Blocking: worker threads.
class QELMessagesDbReader : public QELMessagesDBReaderProtocol {
public:
    // A null contacts or preferences path: no names but the addresses.
    QELMessagesDbReader(const QString& messagesDbPath, const QString& contactsDbPath,
                        const QString& mobileSMSPlistPath);

    // The reader of the backup's sms.db, with its address book and messages
    // preferences when the backup holds them; null without sms.db.
    static std::unique_ptr<QELMessagesDbReader> makeReader(BackupFileSource& source);

    bool loadMessages() override;
    // Whether the message database opens as one (for tools that must say so).
    bool canOpenDatabase(QString* error = nullptr) const;
    // Conversations of every generation, those of one title and one person
    // merged, sorted by title ("+" numbers last).
    QList<QELMessagesConversation> getConversationList() override;
    QList<QELMessageDetail> getMessagesFromConversationWithStartDateAndEndDate(
        const QELMessagesConversation& conversation, const QDateTime& startDate,
        const QDateTime& endDate) override;
    // Each is one read of sms.db with one time budget; a statement that
    // fails or runs out of it ends the read: an empty answer and, in
    // `error`, "this database is damaged: ...".
    QList<QELMessagesConversation> readConversationList(QString* error) override;
    QList<QELMessageDetail> readMessages(const QELMessagesConversation& conversation,
                                         const QDateTime& startDate, const QDateTime& endDate,
                                         QString* error) override;

    // The zone whose calendar days the date range counts (the system's).
    void setTimeZone(const QTimeZone& zone) { m_timeZone = zone; }
    // A time budget for each read shorter than the connections' own (tests).
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    QString _messagesDbPath() const { return m_messagesDbPath; }
    QString _contactsDbPath() const { return m_contactsDbPath; }
    QString _mobileSMSPlistPath() const { return m_mobileSMSPlistPath; }
    // The device's region, for numbers written without a country code; empty: "US".
    void setPhoneRegion(const QString& region) { m_phoneRegion = region; }
    // The files that name the people or give the region and were there but
    // could not be read (the messages are whole without them).
    QStringList warnings() const;

private:
    class Connection;
    QList<QELMessagesConversation> conversationList();
    QList<QELMessageDetail> messagesOf(const QELMessagesConversation& conversation,
                                       const QDateTime& startDate, const QDateTime& endDate);
    QList<QELMessageDetail> _getConversation(sqlite3* db, const QELMessagesConversation& c) const;
    QList<QELMessageDetail> _getHandleConversation(sqlite3* db,
                                                   const QELMessagesConversation& c) const;
    QList<QELMessageDetail> _getLegacyConversationFromConversationId(sqlite3* db,
                                                                     qint64 groupId) const;
    QList<QELMessageDetail> _getMadridConversationsFromAddress(sqlite3* db,
                                                               const QString& handle) const;
    // Chat-generation rows of `fromWhere` (a FROM and WHERE clause over
    // message m, with `values` bound in order), with their attachments.
    QList<QELMessageDetail> readChatMessages(sqlite3* db, const QString& fromWhere,
                                             const QVariantList& values) const;

    QString m_messagesDbPath;
    QString m_contactsDbPath;
    QString m_mobileSMSPlistPath;
    QString m_phoneRegion;
    QTimeZone m_timeZone = QTimeZone::systemTimeZone();
    std::chrono::milliseconds m_readBudget{0};
    mutable std::mutex m_poolMutex; // guards the members below
    std::vector<QELSQLiteDatabase> m_idle;
    QStringList m_regionWarnings;
    QStringList m_lookupWarnings;
};
