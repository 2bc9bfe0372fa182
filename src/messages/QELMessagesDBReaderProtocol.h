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

    // Prepares the reader; false: it has nothing to offer and is not used.
    virtual bool loadMessages() = 0;
    // Every conversation of the reader's database, each naming this reader.
    virtual QList<QELMessagesConversation> getConversationList() = 0;
    // The messages of one conversation; with both dates valid, only those
    // whose calendar day (local time) lies in the range, both ends included.
    virtual QList<QELMessageDetail> getMessagesFromConversationWithStartDateAndEndDate(
        const QELMessagesConversation& conversation, const QDateTime& startDate,
        const QDateTime& endDate) = 0;
};
