// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesConversation.h"

#include <QSet>
#include <QStringList>

QString QELMessagesConversation::title() const
{
    if (m_participants.isEmpty())
        return QStringLiteral("No Participants");
    if (!m_conversationGroupName.isEmpty())
        return m_conversationGroupName;
    QString title;
    for (const QELMessageParticipant& participant : m_participants) {
        if (!title.isEmpty())
            title += QStringLiteral(", ");
        if (!participant.name().isEmpty())
            title += participant.name();
        else if (!participant.address().isEmpty())
            title += participant.address();
    }
    return title;
}

void QELMessagesConversation::setAddress(const QString& address)
{
    if (address.isNull())
        return;
    m_address = address;
    m_searchHandle = getSearchHandleFromAddress(address);
}

QString QELMessagesConversation::getSearchHandleFromAddress(const QString& address)
{
    if (address.isNull())
        return {};
    return address.size() < 5 ? address : address.right(5);
}

void QELMessagesConversation::setConversationId(qint64 id, Source source)
{
    m_conversationId = id;
    m_source = source;
    switch (source) {
    case Source::MessageGroup:
        m_messageGroupIdArray.append(id);
        break;
    case Source::Handle:
        m_handleIdArray.append(id);
        break;
    case Source::Madrid:
        // Its messages are found by chat identifier; the number only names it.
        break;
    case Source::Chat:
    case Source::WhatsApp:
        m_conversationIdArray.append(id);
        break;
    }
}

void QELMessagesConversation::setMadridHandle(const QString& handle)
{
    if (handle.isNull())
        return;
    m_madridHandle = handle;
    m_madridHandleArray.append(handle);
}

QString QELMessagesConversation::conversationIdArrayString() const
{
    QStringList numbers;
    for (qint64 id : m_conversationIdArray)
        numbers << QLatin1Char('\'') + QString::number(id) + QLatin1Char('\'');
    return numbers.join(QLatin1Char(','));
}

bool QELMessagesConversation::mergeWithConversation(QELMessagesConversation& other)
{
    if (!other.m_madridHandle.isEmpty()) {
        m_madridHandleArray.append(other.m_madridHandleArray);
    } else {
        m_conversationIdArray.append(other.m_conversationIdArray);
        m_messageGroupIdArray.append(other.m_messageGroupIdArray);
        m_handleIdArray.append(other.m_handleIdArray);
    }
    m_isIMessage = m_isIMessage || other.m_isIMessage;
    other.m_isMerged = true;
    return true;
}

QString QELMessagesConversation::normalizedAddress(const QString& address)
{
    if (address.contains(QLatin1Char('@')))
        return address.trimmed().toLower();
    QString digits;
    for (QChar c : address) {
        if (c.isDigit())
            digits += c;
    }
    return digits.isEmpty() ? address.trimmed().toLower() : digits;
}

bool QELMessagesConversation::sharesParticipantAddressWith(
    const QELMessagesConversation& other) const
{
    QSet<QString> mine;
    for (const QELMessageParticipant& participant : m_participants) {
        const QString address = normalizedAddress(participant.address());
        if (!address.isEmpty())
            mine.insert(address);
    }
    for (const QELMessageParticipant& participant : other.m_participants) {
        if (mine.contains(normalizedAddress(participant.address())))
            return true;
    }
    return false;
}

bool QELMessagesConversation::titleLessThan(const QELMessagesConversation& a,
                                            const QELMessagesConversation& b)
{
    const QString left = a.title();
    const QString right = b.title();
    // A lone "+" is no number: it sorts by its character code on both sides,
    // so the order stays consistent for the sort.
    const bool leftUnnamed = left.size() > 1 && left.startsWith(QLatin1Char('+'));
    const bool rightUnnamed = right.size() > 1 && right.startsWith(QLatin1Char('+'));
    if (leftUnnamed != rightUnnamed)
        return rightUnnamed;
    return left < right;
}
