// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include "QELMessageParticipant.h"

class QELMessagesDBReaderProtocol;

// One conversation as the messages view lists it: its participants, and the
// numbers and chat identifiers of every database conversation whose messages
// it shows (its own and those merged into it).
class QELMessagesConversation {
public:
    // Where a conversation's number comes from. Numbers of different tables
    // are kept apart: a chat and a message group of the same number are
    // different conversations.
    enum class Source {
        Chat,         // chat.ROWID
        MessageGroup, // msg_group.ROWID (the oldest SMS tables)
        Madrid,       // madrid_chat.ROWID, the messages found by chat identifier
        Handle,       // handle.ROWID of a database without chat tables (0: no handle)
        WhatsApp,     // ZWACHATSESSION.Z_PK
    };

    // The name shown: "No Participants" without participants, else the
    // group name when there is one, else the participants' names (or
    // addresses) joined by ", ".
    QString title() const;

    int groupId() const { return m_groupId; }
    void setGroupId(int groupId) { m_groupId = groupId; }
    QString address() const { return m_address; }
    // Keeps the address (a null one is ignored) and its search handle.
    void setAddress(const QString& address);
    QString searchHandle() const { return m_searchHandle; }
    void setSearchHandle(const QString& handle) { m_searchHandle = handle; }
    // None for none; the address when shorter than five characters, else its
    // last five characters.
    static QString getSearchHandleFromAddress(const QString& address);

    qint64 conversationId() const { return m_conversationId; }
    // Sets the number and adds it to the numbers of its source.
    void setConversationId(qint64 id, Source source = Source::Chat);
    Source source() const { return m_source; }
    QString madridHandle() const { return m_madridHandle; }
    // Keeps the chat identifier (a null one is ignored) and adds it to
    // madridHandleArray.
    void setMadridHandle(const QString& handle);

    const QList<QELMessageParticipant>& participants() const { return m_participants; }
    void setParticipants(const QList<QELMessageParticipant>& participants)
    {
        m_participants = participants;
    }
    void appendParticipant(const QELMessageParticipant& participant)
    {
        m_participants.append(participant);
    }

    bool isMerged() const { return m_isMerged; }
    void setIsMerged(bool merged) { m_isMerged = merged; }
    // Chat numbers (and, for WhatsApp, chat session numbers).
    const QList<qint64>& conversationIdArray() const { return m_conversationIdArray; }
    void setConversationIdArray(const QList<qint64>& ids) { m_conversationIdArray = ids; }
    const QList<qint64>& messageGroupIdArray() const { return m_messageGroupIdArray; }
    const QList<qint64>& handleIdArray() const { return m_handleIdArray; }
    const QStringList& madridHandleArray() const { return m_madridHandleArray; }
    void setMadridHandleArray(const QStringList& handles) { m_madridHandleArray = handles; }
    // The chat numbers as an SQL list: '3','17'; empty without numbers.
    QString conversationIdArrayString() const;

    // The reader that made the conversation and reads its messages (not owned).
    QELMessagesDBReaderProtocol* conversationDBReader() const { return m_reader; }
    void setConversationDBReader(QELMessagesDBReaderProtocol* reader) { m_reader = reader; }
    // 0 SMS and iMessage, 1 WhatsApp.
    quint64 conversationType() const { return m_conversationType; }
    void setConversationType(quint64 type) { m_conversationType = type; }
    // Whether any part of it is iMessage (a handle of that service, or an
    // iMessage chat of the oldest tables).
    bool isIMessage() const { return m_isIMessage; }
    void setIsIMessage(bool isIMessage) { m_isIMessage = isIMessage; }
    // A WhatsApp group chat (others are groups by their participants).
    bool isGroupChat() const { return m_isGroupChat; }
    void setIsGroupChat(bool isGroup) { m_isGroupChat = isGroup; }
    QString conversationGroupName() const { return m_conversationGroupName; }
    void setConversationGroupName(const QString& name) { m_conversationGroupName = name; }

    // Takes over the other conversation's messages (its chat identifier, or
    // its number) and marks it merged; answers true.
    bool mergeWithConversation(QELMessagesConversation& other);
    // Whether the two have a participant address in common (numbers compared
    // by their digits, e-mail addresses without case): only such
    // conversations are one person's, and may be merged.
    bool sharesParticipantAddressWith(const QELMessagesConversation& other) const;
    // An address as compared above.
    static QString normalizedAddress(const QString& address);

    // The order of the list: titles beginning with "+" (unnamed numbers)
    // after the others, then by character codes.
    static bool titleLessThan(const QELMessagesConversation& a, const QELMessagesConversation& b);

private:
    int m_groupId = 0;
    QString m_address;
    QString m_searchHandle;
    qint64 m_conversationId = 0;
    Source m_source = Source::Chat;
    QString m_madridHandle;
    QList<QELMessageParticipant> m_participants;
    bool m_isMerged = false;
    QList<qint64> m_conversationIdArray;
    QList<qint64> m_messageGroupIdArray;
    QList<qint64> m_handleIdArray;
    QStringList m_madridHandleArray;
    QELMessagesDBReaderProtocol* m_reader = nullptr;
    quint64 m_conversationType = 0;
    bool m_isIMessage = false;
    bool m_isGroupChat = false;
    QString m_conversationGroupName;
};

Q_DECLARE_METATYPE(QELMessagesConversation)
