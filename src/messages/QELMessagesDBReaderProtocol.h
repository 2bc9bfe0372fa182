// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>

#include "QELMessageDetail.h"
#include "QELMessagesConversation.h"

// What the messages view and its copy ask of a message database reader.
// Every operation opens its own connection and closes it before it answers,
// so reads may overlap from several threads. Blocking: worker threads.
class QELMessagesDBReaderProtocol {
public:
    virtual ~QELMessagesDBReaderProtocol() = default;

    // What one message may bring from a hostile file: a longer text keeps
    // its first megabyte with cutMark() after it; a larger archive is not
    // decoded.
    static constexpr qint64 kMaxTextBytes = 1024 * 1024;
    static constexpr qint64 kMaxBlobBytes = 100 * 1024 * 1024;
    static QString cutMark()
    {
        return QStringLiteral(" [\u2026 the rest of this message, over 1 MB, is left out]");
    }

    // Prepares the reader; false: it has nothing to offer and is not used.
    virtual bool loadMessages() = 0;
    // Every conversation of the reader's database, each naming this reader.
    virtual QList<QELMessagesConversation> getConversationList() = 0;
    // The messages of one conversation; with both dates valid, only those
    // whose calendar day (local time) lies in the range, both ends included.
    virtual QList<QELMessageDetail> getMessagesFromConversationWithStartDateAndEndDate(
        const QELMessagesConversation& conversation, const QDateTime& startDate,
        const QDateTime& endDate) = 0;

    // The same, telling a database that could not be read whole: then the
    // answer is empty and `error` says why (never a shorter list that looks
    // complete). Readers that cannot fail that way answer as above.
    virtual QList<QELMessagesConversation> readConversationList(QString* error)
    {
        if (error)
            error->clear();
        return getConversationList();
    }
    virtual QList<QELMessageDetail> readMessages(const QELMessagesConversation& conversation,
                                                 const QDateTime& startDate,
                                                 const QDateTime& endDate, QString* error)
    {
        if (error)
            error->clear();
        return getMessagesFromConversationWithStartDateAndEndDate(conversation, startDate, endDate);
    }
};
