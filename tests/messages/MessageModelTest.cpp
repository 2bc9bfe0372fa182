// SPDX-License-Identifier: GPL-3.0-or-later
// The message model's own rules: titles, the order of the list, merging,
// search handles and the message search.
#include <algorithm>

#include <gtest/gtest.h>

#include "MessagesTestSupport.h"
#include "QELContactNameLookup.h"
#include "QtPrinters.h"

using namespace MessagesTest;

namespace {

QELMessageParticipant participant(const QString& address, const QString& name)
{
    QELMessageParticipant p;
    p.setAddress(address);
    p.setName(name);
    return p;
}

QELMessagesConversation conversationOf(const QList<QELMessageParticipant>& participants,
                                       const QString& groupName = QString())
{
    QELMessagesConversation c;
    c.setParticipants(participants);
    c.setConversationGroupName(groupName);
    return c;
}

TEST(MessageModel, TitleFollowsParticipantsAndGroupName)
{
    struct Case {
        const char* name;
        QList<QELMessageParticipant> participants;
        QString groupName;
        QString title;
    };
    const QList<Case> cases = {
        {"none, even with a group name",
         {},
         QStringLiteral("Family"),
         QStringLiteral("No Participants")},
        {"group name",
         {participant("+1", "Ann")},
         QStringLiteral("Family"),
         QStringLiteral("Family")},
        {"names joined",
         {participant("+1", "Ann"), participant("+2", "Bob")},
         {},
         QStringLiteral("Ann, Bob")},
        {"address without name",
         {participant("+1", ""), participant("+2", "Bob")},
         {},
         QStringLiteral("+1, Bob")},
        {"trailing separator",
         {participant("+1", "Ann"), participant("", "")},
         {},
         QStringLiteral("Ann, ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(conversationOf(c.participants, c.groupName).title(), c.title);
    }
}

TEST(MessageModel, SearchHandlesAndIdListsFollowTheAddress)
{
    EXPECT_TRUE(QELMessagesConversation::getSearchHandleFromAddress(QString()).isNull());
    EXPECT_EQ(QELMessagesConversation::getSearchHandleFromAddress("0123"), "0123");
    EXPECT_EQ(QELMessagesConversation::getSearchHandleFromAddress("50123"), "50123");
    EXPECT_EQ(QELMessagesConversation::getSearchHandleFromAddress("+441234550123"), "50123");
    QELMessagesConversation c;
    EXPECT_EQ(c.conversationIdArrayString(), QString());
    c.setConversationId(3);
    c.setConversationId(17);
    EXPECT_EQ(c.conversationIdArrayString(), "'3','17'");
    c.setAddress(QString());
    EXPECT_TRUE(c.searchHandle().isNull());
}

TEST(MessageModel, MergingTakesTheChatIdentifierOrTheNumberOfItsSource)
{
    QELMessagesConversation chat;
    chat.setConversationId(4, QELMessagesConversation::Source::Chat);
    QELMessagesConversation madrid;
    madrid.setConversationId(9, QELMessagesConversation::Source::Madrid);
    madrid.setMadridHandle("+15550100123");
    madrid.setIsIMessage(true);
    QELMessagesConversation group;
    group.setConversationId(4, QELMessagesConversation::Source::MessageGroup);

    EXPECT_TRUE(chat.mergeWithConversation(madrid));
    EXPECT_TRUE(chat.mergeWithConversation(group));
    EXPECT_TRUE(madrid.isMerged());
    EXPECT_EQ(chat.conversationIdArray(), QList<qint64>{4});
    EXPECT_EQ(chat.madridHandleArray(), QStringList{"+15550100123"});
    EXPECT_EQ(chat.messageGroupIdArray(), QList<qint64>{4});
    EXPECT_TRUE(chat.isIMessage());
}

TEST(MessageModel, OnlyConversationsOfOnePersonShareAnAddress)
{
    const auto one = [](const QString& address) {
        return conversationOf({participant(address, "John")});
    };
    EXPECT_TRUE(one("+1 (555) 010-0123").sharesParticipantAddressWith(one("+15550100123")));
    EXPECT_TRUE(one("John@Example.org").sharesParticipantAddressWith(one("john@example.org")));
    EXPECT_FALSE(one("+15550100123").sharesParticipantAddressWith(one("+15550199999")));
    EXPECT_FALSE(conversationOf({}).sharesParticipantAddressWith(conversationOf({})));
}

TEST(MessageModel, UnnamedNumbersSortAfterNames)
{
    QList<QELMessagesConversation> list;
    for (const char* name : {"+15550100123", "Zoe", "+", "Ann", "+44", "bob"})
        list.append(conversationOf({participant(QString::fromLatin1(name), name)}));
    std::stable_sort(list.begin(), list.end(), QELMessagesConversation::titleLessThan);
    EXPECT_EQ(titles(list), (QStringList{"+", "Ann", "Zoe", "bob", "+15550100123", "+44"}));
}

TEST(MessageModel, SearchIgnoresCaseAndLooksOnlyAtText)
{
    QELMessageDetail message;
    message.setMessage("See you at the Station");
    EXPECT_TRUE(message.contains("STATION"));
    EXPECT_FALSE(message.contains(QString()));
    EXPECT_FALSE(message.contains("airport"));
    QELMessageDetail parts;
    parts.appendMessagePiece(QELMessagePiece("image/jpeg", 1, "airport.jpg"));
    EXPECT_FALSE(parts.contains("airport"));
    parts.appendMessagePiece(QELMessagePiece("text/plain", 2, "At the AIRPORT"));
    EXPECT_TRUE(parts.contains("airport"));
}

} // namespace
