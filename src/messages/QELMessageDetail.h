// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>

#include "QELMessagePiece.h"

// One message of a conversation, as a reader made it.
class QELMessageDetail {
public:
    // The message-group number (only the oldest SMS tables have one).
    int groupId() const { return m_groupId; }
    void setGroupId(int groupId) { m_groupId = groupId; }
    // The row number in its database: the second sort key.
    qint64 rowId() const { return m_rowId; }
    void setRowId(qint64 rowId) { m_rowId = rowId; }
    // 1 sent from the device, 0 received.
    int direction() const { return m_direction; }
    void setDirection(int direction) { m_direction = direction; }
    bool isFromMe() const { return m_direction == 1; }
    // When it was sent or received (UTC); invalid when the database has no time.
    QDateTime time() const { return m_time; }
    void setTime(const QDateTime& time) { m_time = time; }

    const QList<QELMessagePiece>& messagePieces() const { return m_messagePieces; }
    void setMessagePieces(const QList<QELMessagePiece>& pieces) { m_messagePieces = pieces; }
    void appendMessagePiece(const QELMessagePiece& piece) { m_messagePieces.append(piece); }
    bool containsMessagePieces() const { return !m_messagePieces.isEmpty(); }

    QString message() const { return m_message; }
    void setMessage(const QString& message) { m_message = message; }
    QString subject() const { return m_subject; }
    void setSubject(const QString& subject) { m_subject = subject; }
    // True for an iMessage; absent counts as false.
    std::optional<bool> isMadrid() const { return m_isMadrid; }
    void setIsMadrid(bool isMadrid) { m_isMadrid = isMadrid; }
    // The handle the message came from or went to (a WhatsApp sender's number).
    QString messageAddress() const { return m_messageAddress; }
    void setMessageAddress(const QString& address) { m_messageAddress = address; }
    // The text is the reader's placeholder (media never downloaded).
    bool messageIsErrorMessage() const { return m_messageIsErrorMessage; }
    void setMessageIsErrorMessage(bool isError) { m_messageIsErrorMessage = isError; }
    // Taken back by its sender: its text is gone.
    bool isUnsent() const { return m_isUnsent; }
    void setIsUnsent(bool unsent) { m_isUnsent = unsent; }

    // Whether the message's text, or the text of one of its text parts,
    // holds `searchText`, ignoring case and accents; false for an empty search
    // text.
    bool contains(const QString& searchText) const;

private:
    int m_groupId = 0;
    qint64 m_rowId = 0;
    int m_direction = 0;
    QDateTime m_time;
    QList<QELMessagePiece> m_messagePieces;
    QString m_message;
    QString m_subject;
    std::optional<bool> m_isMadrid;
    QString m_messageAddress;
    bool m_messageIsErrorMessage = false;
    bool m_isUnsent = false;
};
