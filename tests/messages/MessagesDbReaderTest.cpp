// SPDX-License-Identifier: GPL-3.0-or-later
// The sms.db reader over every generation of its tables, the names of its
// people, the merging of its conversations and its damaged files.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "MessagesTestSupport.h"
#include "QELMessagesDbReader.h"
#include "QELSQLiteDatabase.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "SmsDbBuilder.h"

using namespace MessagesTest;
using Chat = SmsDbBuilder::ChatMessage;

namespace {

// A chat message, its fields in the order of the struct.
Chat msg(qint64 chat, qint64 handle, const QVariant& text, const QByteArray& body = {},
         const QString& subject = {}, qint64 date = 0, qint64 read = 0, qint64 delivered = 0,
         bool fromMe = false, const QString& service = QStringLiteral("SMS"))
{
    Chat message;
    message.chat = chat;
    message.handle = handle;
    message.text = text;
    message.attributedBody = body;
    message.subject = subject;
    message.date = date;
    message.dateRead = read;
    message.dateDelivered = delivered;
    message.fromMe = fromMe;
    message.service = service;
    return message;
}

const QString kAnn = QStringLiteral("+15550100123");
const QDateTime kFirst = utc(2023, 3, 4, 9, 15);
const QDateTime kSecond = utc(2023, 3, 4, 9, 20);

class MessagesDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        AddressBookFixture book;
        book.phone(book.person(AddressBookFixture::Person::named("Ann", "Lee")), kAnn);
        book.email(book.person(AddressBookFixture::Person::named("Bob", "Tanaka")),
                   QStringLiteral("bob@example.org"));
        ASSERT_TRUE(book.write(addressBook()));
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString addressBook() const { return path("AddressBook.sqlitedb"); }
    QString write(const SmsDbBuilder& db)
    {
        QString error;
        EXPECT_TRUE(db.write(path("sms.db"), &error)) << error.toStdString();
        return path("sms.db");
    }
    std::unique_ptr<QELMessagesDbReader> reader(const QString& sms, bool names = true)
    {
        auto r = std::make_unique<QELMessagesDbReader>(sms, names ? addressBook() : QString(),
                                                       QString());
        EXPECT_TRUE(r->loadMessages());
        r->setTimeZone(QTimeZone(QByteArrayLiteral("Europe/Berlin")));
        return r;
    }
    QList<QELMessageDetail> messagesOf(QELMessagesDbReader& r, const QELMessagesConversation& c,
                                       const QDateTime& from = {}, const QDateTime& to = {})
    {
        return r.getMessagesFromConversationWithStartDateAndEndDate(c, from, to);
    }
    QTemporaryDir m_dir;
};

// One conversation with Ann, received then sent, as each generation keeps it.
enum class Generation {
    ChatSeconds,
    ChatNanoseconds,
    ChatAttributedBodyOnly,
    ChatNewestInWal,
    MessageGroup,
    MessageGroupLegacy,
    MadridBinaryParticipants,
    MadridLegacyXmlParticipants,
    HandleAndMessageOnly,
};

SmsDbBuilder annConversation(Generation generation)
{
    SmsDbBuilder db;
    switch (generation) {
    case Generation::ChatSeconds:
    case Generation::ChatNanoseconds:
    case Generation::ChatAttributedBodyOnly:
    case Generation::ChatNewestInWal:
    case Generation::HandleAndMessageOnly: {
        const qint64 scale = generation == Generation::ChatNanoseconds ? 1000000000 : 1;
        const bool bodyOnly = generation == Generation::ChatAttributedBodyOnly;
        db.setChatTables(generation != Generation::HandleAndMessageOnly);
        const qint64 ann = db.handle(kAnn);
        const qint64 chat = generation == Generation::HandleAndMessageOnly ? 0 : db.chat({ann});
        Chat hello;
        hello.chat = chat;
        hello.handle = ann;
        hello.text = bodyOnly ? QVariant() : QVariant(QStringLiteral("Hello"));
        hello.attributedBody = SmsDbBuilder::attributedBody(QStringLiteral("Hello"));
        hello.date = referenceSeconds(kFirst) * scale;
        db.chatMessage(hello);
        Chat reply = hello;
        reply.text = bodyOnly ? QVariant(QString(QLatin1String(""))) : QVariant("Hi Ann");
        reply.attributedBody = SmsDbBuilder::attributedBody(QStringLiteral("Hi Ann"));
        reply.date = referenceSeconds(kSecond) * scale;
        reply.fromMe = true;
        db.chatMessage(reply);
        if (generation == Generation::ChatNewestInWal)
            db.setChatMessagesInWal(1);
        break;
    }
    case Generation::MessageGroup:
    case Generation::MessageGroupLegacy: {
        db.setMessageGroupLegacy(generation == Generation::MessageGroupLegacy);
        const qint64 group = db.messageGroup({kAnn});
        db.groupMessage({group, 2, QStringLiteral("Hello"), kFirst.toSecsSinceEpoch(), {}});
        db.groupMessage({group, 3, QStringLiteral("Hi Ann"), kSecond.toSecsSinceEpoch(), {}});
        break;
    }
    case Generation::MadridBinaryParticipants:
    case Generation::MadridLegacyXmlParticipants: {
        const bool legacy = generation == Generation::MadridLegacyXmlParticipants;
        db.setMadridLegacy(legacy);
        db.madridChat(kAnn, {kAnn}, legacy ? Plist::Format::Xml : Plist::Format::Binary);
        db.madridMessage({kAnn, {}, QStringLiteral("Hello"), referenceSeconds(kFirst), 0, {}, {}});
        db.madridMessage(
            {kAnn, {}, QStringLiteral("Hi Ann"), referenceSeconds(kSecond), 1.0, {}, {}});
        break;
    }
    }
    return db;
}

class EveryGeneration : public MessagesDb,
                        public ::testing::WithParamInterface<Generation> {};

TEST_P(EveryGeneration, ListsTheConversationByNameWithEveryMessage)
{
    const auto r = reader(write(annConversation(GetParam())));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list), QStringList{"Ann Lee"});
    EXPECT_EQ(list[0].participants().at(0).address(), kAnn);
    EXPECT_EQ(list[0].conversationDBReader(), r.get());
    const QList<QELMessageDetail> messages = messagesOf(*r, list[0]);
    ASSERT_EQ(texts(messages), (QStringList{"Hello", "Hi Ann"}));
    EXPECT_EQ(messages[0].time(), kFirst);
    EXPECT_EQ(messages[1].time(), kSecond);
    EXPECT_FALSE(messages[0].isFromMe());
    EXPECT_TRUE(messages[1].isFromMe());
}

INSTANTIATE_TEST_SUITE_P(Generations, EveryGeneration,
                         ::testing::Values(Generation::ChatSeconds, Generation::ChatNanoseconds,
                                           Generation::ChatAttributedBodyOnly,
                                           Generation::ChatNewestInWal, Generation::MessageGroup,
                                           Generation::MessageGroupLegacy,
                                           Generation::MadridBinaryParticipants,
                                           Generation::MadridLegacyXmlParticipants,
                                           Generation::HandleAndMessageOnly));

TEST_F(MessagesDb, TextsOnlyInAttributedBodyAreNeverLost)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    const QList<QString> texts = {QStringLiteral("Grüße \U0001F600"), QString(200, 'x'),
                                  QString(70000, 'y')};
    for (const QString& text : texts)
        db.chatMessage(msg(chat, ann, QVariant(), SmsDbBuilder::attributedBody(text), {}, 1, 0, 0));
    QByteArray broken = SmsDbBuilder::attributedBody(QStringLiteral("lost in transit"));
    broken.chop(20);
    db.chatMessage(msg(chat, ann, QVariant(), broken, {}, 2, 0, 0));
    db.chatMessage(msg(chat, ann, QVariant(), QByteArray("\x04\x0bstreamtyped", 13), {}, 3, 0, 0));
    const auto r = reader(write(db));
    const QList<QELMessageDetail> messages = messagesOf(*r, r->getConversationList().at(0));
    ASSERT_EQ(messages.size(), 5);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(messages[i].message(), texts[i]);
    // Damaged archives leave the messages, without text.
    EXPECT_TRUE(messages[3].message().isEmpty());
    EXPECT_TRUE(messages[4].message().isEmpty());
}

// A message's time is `date`, when it was sent or came to the device:
// current databases leave date_delivered 0 for received messages and set
// date_read when the user opened it, days later at times; neither is the
// message's time, for its place, its day or its range.
TEST_F(MessagesDb, ChatDatesAreWhenTheMessageWasSentOrCame)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    const qint64 sent = referenceSeconds(kFirst);
    const qint64 ns = 1000000000;
    const qint64 threeDays = 3 * 86400;
    db.chatMessage(msg(chat, ann, "received, read three days later", {}, {}, sent * ns,
                       (sent + threeDays) * ns, 0));
    db.chatMessage(msg(chat, ann, "received, delivered and read late", {}, {}, sent + 60,
                       sent + threeDays, sent + threeDays));
    db.chatMessage(msg(chat, ann, "sent", {}, {}, sent + 120, sent + threeDays, sent + 200, true));
    db.chatMessage(msg(chat, ann, "no time", {}, {}, 0, sent, sent));
    db.chatMessage(msg(chat, ann, "nanoseconds", {}, {}, sent * ns + 123456789, 0, 0));
    const auto r = reader(write(db));
    const QELMessagesConversation c = r->getConversationList().at(0);
    const QList<QELMessageDetail> messages = messagesOf(*r, c);
    ASSERT_EQ(messages.size(), 5);
    EXPECT_EQ(messages[0].time(), kFirst);
    EXPECT_EQ(messages[1].time(), kFirst.addSecs(60));
    EXPECT_EQ(messages[2].time(), kFirst.addSecs(120));
    EXPECT_FALSE(messages[3].time().isValid());
    EXPECT_EQ(messages[4].time(), kFirst.addMSecs(123));
    // The day it came holds it; the day it was read does not.
    EXPECT_EQ(messagesOf(*r, c, kFirst, kFirst).size(), 4);
    EXPECT_TRUE(messagesOf(*r, c, kFirst.addSecs(threeDays), kFirst.addSecs(threeDays)).isEmpty());
}

// iOS 16 keeps a message its sender took back, its text gone: marked by
// date_retracted, or only by the retracted parts of its summary.
TEST_F(MessagesDb, UnsentMessagesAreMarked)
{
    SmsDbBuilder db;
    db.setIOS16Columns(true);
    const qint64 ann = db.handle(kAnn, QStringLiteral("iMessage"));
    const qint64 chat = db.chat({ann});
    const qint64 sent = referenceSeconds(kFirst);
    Chat retracted = msg(chat, ann, QVariant(), {}, {}, sent, 0, 0, false, "iMessage");
    retracted.dateRetracted = sent + 30;
    retracted.dateEdited = sent + 30;
    db.chatMessage(retracted);
    Chat summaryOnly = msg(chat, ann, QVariant(), {}, {}, sent + 60, 0, 0, true, "iMessage");
    summaryOnly.dateEdited = sent + 90;
    summaryOnly.summaryInfo = SmsDbBuilder::unsentSummary();
    db.chatMessage(summaryOnly);
    Chat edited = msg(chat, ann, "edited, still there", {}, {}, sent + 120, 0, 0, true, "iMessage");
    edited.dateEdited = sent + 150;
    db.chatMessage(edited);
    const auto r = reader(write(db));
    const QList<QELMessageDetail> messages = messagesOf(*r, r->getConversationList().at(0));
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].isUnsent());
    EXPECT_TRUE(messages[1].isUnsent());
    EXPECT_FALSE(messages[2].isUnsent());
    EXPECT_EQ(messages[2].message(), QStringLiteral("edited, still there"));
}

TEST_F(MessagesDb, TheRangeCountsWholeDaysOfTheLocalZone)
{
    // 23:59 and 00:00 in Berlin (UTC+1 in January).
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    db.chatMessage(msg(chat, ann, "first day", {}, {}, referenceSeconds(utc(2024, 1, 9, 23, 0))));
    db.chatMessage(
        msg(chat, ann, "last minute", {}, {}, referenceSeconds(utc(2024, 1, 10, 22, 59))));
    db.chatMessage(msg(chat, ann, "next day", {}, {}, referenceSeconds(utc(2024, 1, 10, 23, 0))));
    const auto r = reader(write(db));
    const auto conversation = r->getConversationList().at(0);
    EXPECT_EQ(texts(messagesOf(*r, conversation, utc(2024, 1, 10, 8), utc(2024, 1, 10, 9))),
              (QStringList{"first day", "last minute"}));
}

TEST_F(MessagesDb, ChatAttachmentsComeWithTheirMessages)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    Chat photo = msg(chat, ann, "look", {}, {}, 5);
    photo.attachments = {{"~/Library/SMS/Attachments/ab/IMG_0001.HEIC", "image/heic"},
                         {"~/Library/SMS/Attachments/cd/clip.mov", "video/quicktime"}};
    db.chatMessage(photo);
    db.chatMessage(msg(chat, ann, "plain", {}, {}, 6));
    const auto r = reader(write(db));
    const QList<QELMessageDetail> messages = messagesOf(*r, r->getConversationList().at(0));
    ASSERT_EQ(messages.size(), 2);
    const QList<QELMessagePiece>& pieces = messages[0].messagePieces();
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0].contentType(), "text");
    EXPECT_EQ(pieces[0].contentLocation(), "look");
    EXPECT_EQ(pieces[1].contentType(), "image/heic");
    EXPECT_EQ(pieces[1].contentLocation(), "~/Library/SMS/Attachments/ab/IMG_0001.HEIC");
    EXPECT_EQ(pieces[2].contentType(), "video/quicktime");
    EXPECT_EQ(messages[1].messagePieces().size(), 1);
}

TEST_F(MessagesDb, AChatOfThreeHandlesIsOneConversationOfThree)
{
    SmsDbBuilder db;
    const qint64 a = db.handle(kAnn);
    const qint64 b = db.handle("bob@example.org", "iMessage");
    const qint64 c = db.handle("+15550177777");
    const qint64 chat = db.chat({a, b, c});
    db.chatMessage(msg(chat, b, "hi all", {}, {}, 5, 0, 0, false, "iMessage"));
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list), QStringList{"Ann Lee, Bob Tanaka, +15550177777"});
    EXPECT_TRUE(list[0].isIMessage());
    const QList<QELMessageDetail> messages = messagesOf(*r, list[0]);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].isMadrid(), true);
    EXPECT_EQ(messages[0].messageAddress(), "bob@example.org");
}

TEST_F(MessagesDb, OnePersonsChatAndOldIMessagesBecomeOneConversation)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    db.chatMessage(msg(chat, ann, "new", {}, {}, referenceSeconds(kSecond)));
    db.setMadridLegacy(true);
    db.madridChat("+1 555 010 0123", {"+1 555 010 0123"});
    db.madridMessage({"+1 555 010 0123", {}, "old", referenceSeconds(kFirst), 0, {}, {}});
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list), QStringList{"Ann Lee"});
    EXPECT_EQ(texts(messagesOf(*r, list[0])), (QStringList{"old", "new"}));
}

TEST_F(MessagesDb, DifferentPeopleOfOneTitleStayApart)
{
    // Two contacts both called John, and chats whose people are gone.
    AddressBookFixture book;
    book.phone(book.person(AddressBookFixture::Person::named("John", "")), "+15550100001");
    book.phone(book.person(AddressBookFixture::Person::named("John", "")), "+15550100002");
    ASSERT_TRUE(book.write(addressBook()));
    SmsDbBuilder db;
    const qint64 first = db.handle("+15550100001");
    const qint64 second = db.handle("+15550100002");
    db.chatMessage(msg(db.chat({first}), first, "from the first John", {}, {}, 5));
    db.chatMessage(msg(db.chat({second}), second, "from the second John", {}, {}, 6));
    db.chatMessage(msg(db.chat({}), 0, "nobody one", {}, {}, 7));
    db.chatMessage(msg(db.chat({}), 0, "nobody two", {}, {}, 8));
    // A message group of the same number as the first chat.
    db.groupMessage({db.messageGroup({"+15550188888"}), 2, "group one", 9, {}});
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list),
              (QStringList{"John", "John", "No Participants", "No Participants", "+15550188888"}));
    QStringList all;
    for (const QELMessagesConversation& conversation : list)
        all << texts(messagesOf(*r, conversation)).join('|');
    EXPECT_EQ(all,
              (QStringList{"from the first John", "from the second John", "nobody one",
                           "nobody two", "group one"}));
}

TEST_F(MessagesDb, MessageGroupPartsNameTheirFiles)
{
    SmsDbBuilder db;
    const qint64 filler = db.messageGroup({"+15550199999"});
    for (int i = 0; i < 41; ++i)
        db.groupMessage({filler, 2, QStringLiteral("filler"), 1, {}});
    const qint64 group = db.messageGroup({kAnn});
    const qint64 id = db.groupMessage({group,
                                       2,
                                       QString(),
                                       1300000000,
                                       {{"application/smil", "smil.xml", "<smil/>", 0},
                                        {"text/plain", "text_0.txt", "caption", 1},
                                        {"video/3gpp", "clip.3gp", {}, 2},
                                        {"image/jpeg", "a.jpg", {}, 3},
                                        {"image/png", "b.png", {}, 4}}});
    ASSERT_EQ(id, 42);
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list), (QStringList{"Ann Lee", "+15550199999"}));
    const QList<QELMessageDetail> messages = messagesOf(*r, list[0]);
    ASSERT_EQ(messages.size(), 1);
    QStringList locations;
    for (const QELMessagePiece& piece : messages[0].messagePieces())
        locations << piece.contentLocation();
    EXPECT_EQ(locations, (QStringList{"caption", "42-2.3gp", "42-3.jpg", "42-4"}));
    EXPECT_EQ(messages[0].time(), QDateTime::fromSecsSinceEpoch(1300000000, QTimeZone::utc()));
    EXPECT_EQ(messages[0].groupId(), int(group));
}

TEST_F(MessagesDb, IMessageChatsTakeOnlyTheirOwnNumbersAndRooms)
{
    SmsDbBuilder db;
    db.madridChat(kAnn, {kAnn});
    db.madridChat("chat123456789", {kAnn, "bob@example.org"});
    db.madridMessage({kAnn, {}, "Ann's", 10, 1, {}, {}});
    db.madridMessage({"+15559990123", {}, "someone else ending in 0123", 11, 0, {}, {}});
    db.madridMessage({kAnn, "chat123456789", "in the room", 12, 0, {}, {}});
    db.madridMessage({"bob@example.org", "chat123456789", "Bob in the room", 13, 0, {}, {}});
    db.madridMessage({"+15559990123", {}, "unknown's own", 14, 0, {}, {}});
    db.madridChat("+15559990123", {"+15559990123"});
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    // The other number only ends in Ann's last four digits: it is nobody's,
    // and its conversation is titled by the number.
    ASSERT_EQ(titles(list), (QStringList{"Ann Lee", "Ann Lee, Bob Tanaka", "+15559990123"}));
    EXPECT_EQ(list[2].madridHandle(), "+15559990123");
    EXPECT_EQ(texts(messagesOf(*r, list[0])), (QStringList{"Ann's", "in the room"}));
    EXPECT_EQ(texts(messagesOf(*r, list[2])),
              (QStringList{"someone else ending in 0123", "unknown's own"}));
    EXPECT_EQ(texts(messagesOf(*r, list[1])), (QStringList{"in the room", "Bob in the room"}));
    EXPECT_EQ(messagesOf(*r, list[0])[0].direction(), 1);
}

TEST_F(MessagesDb, IMessageAttachmentsAreFoundByTheirArchivedIdentifiers)
{
    SmsDbBuilder db;
    db.madridChat(kAnn, {kAnn});
    db.madridAttachment("at_0_AAA", "/var/mobile/Library/SMS/Attachments/a/one.jpg", "image/jpeg");
    db.madridAttachment("at_1_BBB", "/var/mobile/Library/SMS/Attachments/b/two.mov",
                        "video/quicktime");
    db.madridAttachment("' OR 1=1 --", "/var/mobile/never.jpg", "image/jpeg");
    db.madridMessage({kAnn, {}, "two files", 10, 0, {"at_0_AAA", "at_1_BBB", "missing"}, {}});
    db.madridMessage({kAnn, {}, "hostile", 11, 0, {"x' OR '1'='1"}, {}});
    db.madridMessage({kAnn, {}, "damaged", 12, 0, {}, QByteArray("\x04\x0bstreamtyped\x84", 14)});
    const auto r = reader(write(db));
    const QList<QELMessageDetail> messages = messagesOf(*r, r->getConversationList().at(0));
    ASSERT_EQ(messages.size(), 3);
    const QList<QELMessagePiece>& pieces = messages[0].messagePieces();
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[1].contentLocation(), "Library/SMS/Attachments/a/one.jpg");
    EXPECT_EQ(pieces[1].contentType(), "image/jpeg");
    EXPECT_EQ(pieces[2].contentLocation(), "Library/SMS/Attachments/b/two.mov");
    EXPECT_EQ(messages[1].messagePieces().size(), 1);
    EXPECT_EQ(messages[2].messagePieces().size(), 1);
}

TEST_F(MessagesDb, HostileAddressesAreBoundNeverSpliced)
{
    const QStringList hostile = {"O'Brien", "100%", "a_b", "' OR 1=1 --", "\"quoted\""};
    SmsDbBuilder db;
    for (const QString& address : hostile) {
        const qint64 h = db.handle(address);
        db.chatMessage(msg(db.chat({h}), h, QStringLiteral("to ") + address, {}, {}, 5));
    }
    db.setMadridLegacy(true);
    for (const QString& address : hostile) {
        db.madridChat(address, {address});
        db.madridMessage({address, {}, QStringLiteral("old to ") + address, 4, 0, {}, {}});
    }
    db.madridMessage({"100x", {}, "not 100%", 4, 0, {}, {}});
    db.madridMessage({"axb", {}, "not a_b", 4, 0, {}, {}});
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(list.size(), hostile.size());
    for (const QELMessagesConversation& conversation : list) {
        const QString address = conversation.participants().at(0).address();
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(conversation.title(), address);
        EXPECT_EQ(
            texts(messagesOf(*r, conversation)),
            (QStringList{QStringLiteral("old to ") + address, QStringLiteral("to ") + address}));
    }
}

TEST_F(MessagesDb, NamesComeFromEveryContactSourceElseTheAddress)
{
    const QString fullText = path("FullText.sqlitedb");
    ASSERT_TRUE(writeFullTextAddressBook(fullText,
                                         {{"Cara", "", "", "+15550166666 5550166666", ""},
                                          {"", "", "Acme", "", "desk@acme.example"}}));
    SmsDbBuilder db;
    for (const char* address : {"5550166666", "DESK@acme.example", "+15550100000"}) {
        const qint64 h = db.handle(QString::fromLatin1(address));
        db.chatMessage(msg(db.chat({h}), h, "hi", {}, {}, 5));
    }
    QELMessagesDbReader r(write(db), fullText, QString());
    ASSERT_TRUE(r.loadMessages());
    EXPECT_EQ(titles(r.getConversationList()), (QStringList{"Acme", "Cara", "+15550100000"}));

    // No address book at all: the conversations stay, named by address.
    QELMessagesDbReader unnamed(path("sms.db"), path("missing.sqlitedb"), path("missing.plist"));
    ASSERT_TRUE(unnamed.loadMessages());
    EXPECT_EQ(titles(unnamed.getConversationList()),
              (QStringList{"5550166666", "DESK@acme.example", "+15550100000"}));
}

TEST_F(MessagesDb, TheMessagesPreferencesCacheNamesItsAddresses)
{
    AddressBookFixture book;
    const qint64 dana = book.person(AddressBookFixture::Person::named("Dana", "Ito"));
    book.phone(dana, "+81 3 5555 0100");
    ASSERT_TRUE(book.write(addressBook()));
    ASSERT_TRUE(CallHistoryFixture::writeMobileSMSPlist(path("MobileSMS.plist"),
                                                        {{"dana@example.jp", dana}}));
    SmsDbBuilder db;
    const qint64 h = db.handle("dana@example.jp");
    db.chatMessage(msg(db.chat({h}), h, "hi", {}, {}, 5));
    QELMessagesDbReader r(write(db), addressBook(), path("MobileSMS.plist"));
    ASSERT_TRUE(r.loadMessages());
    EXPECT_EQ(titles(r.getConversationList()), QStringList{"Dana Ito"});
}

TEST_F(MessagesDb, MessagesOutsideEveryChatAreListedByHandle)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    db.chatMessage(msg(db.chat({ann}), ann, "in a chat", {}, {}, 5));
    db.chatMessage(msg(0, ann, "in no chat", {}, {}, 6));
    db.chatMessage(msg(0, 0, "no handle either", {}, {}, 7));
    const auto r = reader(write(db));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list), (QStringList{"Ann Lee", "No Participants"}));
    EXPECT_EQ(texts(messagesOf(*r, list[0])), (QStringList{"in a chat", "in no chat"}));
    EXPECT_EQ(texts(messagesOf(*r, list[1])), QStringList{"no handle either"});
}

TEST_F(MessagesDb, DamagedFilesGiveEmptyAnswers)
{
    SmsDbBuilder good = annConversation(Generation::ChatSeconds);
    for (int i = 0; i < 400; ++i)
        good.chatMessage(msg(1, 1, QString(200, 'z'), {}, {}, i + 1));
    const QString sms = write(good);
    QFile::copy(sms, path("whole.db"));

    struct Case {
        const char* name;
        std::function<bool()> damage;
    };
    const QList<Case> cases = {
        {"empty", [&] { return SQLiteDamage::truncateTo(sms, 0); }},
        {"truncated header", [&] { return SQLiteDamage::truncateTo(sms, 50); }},
        {"truncated pages", [&] { return SQLiteDamage::truncateTo(sms, 8192); }},
        {"damaged message page", [&] { return SQLiteDamage::damageMiddleOf(sms, "message"); }},
        {"not a database",
         [&] {
             QFile file(sms);
             return file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(sms);
        ASSERT_TRUE(QFile::copy(path("whole.db"), sms));
        ASSERT_TRUE(c.damage());
        QELMessagesDbReader r(sms, addressBook(), QString());
        const QList<QELMessagesConversation> list = r.getConversationList();
        for (const QELMessagesConversation& conversation : list)
            messagesOf(r, conversation);
        QELMessagesConversation ghost;
        ghost.setConversationId(1);
        ghost.setMadridHandle(kAnn);
        EXPECT_LE(messagesOf(r, ghost).size(), 402);
    }
    EXPECT_FALSE(QELMessagesDbReader(path("absent.db"), {}, {}).loadMessages());
    EXPECT_FALSE(QELMessagesDbReader(QString(), {}, {}).loadMessages());
}

// A read that meets a statement that fails or runs out of the read's one
// time budget ends there: no list that looks whole while it is not, and a
// reason that says the file is damaged (never "not an error").
TEST_F(MessagesDb, AReadThatCannotFinishSaysTheDatabaseIsDamaged)
{
    struct Case {
        const char* name;
        const char* view; // replaces the message table
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a view that never finishes a row",
         "CREATE VIEW message AS WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r "
         "WHERE x < 10000000000) SELECT max(x) AS ROWID, 'x' AS text, NULL AS attributedBody, "
         "NULL AS subject, 0 AS date, 0 AS handle_id, 'SMS' AS service, 0 AS is_from_me FROM r",
         "time limit"},
        {"a view of endless rows",
         "CREATE VIEW message AS WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) "
         "SELECT x AS ROWID, 'x' AS text, NULL AS attributedBody, NULL AS subject, 0 AS date, "
         "0 AS handle_id, 'SMS' AS service, 0 AS is_from_me FROM r",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString sms = write(annConversation(Generation::ChatSeconds));
        QELMessagesDbReader r(sms, QString(), QString());
        ASSERT_TRUE(r.loadMessages());
        QString error;
        const QList<QELMessagesConversation> list = r.readConversationList(&error);
        ASSERT_EQ(list.size(), 1) << error.toStdString();
        {
            QELSQLiteDatabase db = QELSQLiteDatabase::openOrCreate(sms);
            ASSERT_TRUE(db.execute(QStringLiteral("DROP TABLE message")));
            ASSERT_TRUE(db.execute(QString::fromLatin1(c.view)));
        }
        r.setReadBudget(std::chrono::milliseconds(300));
        const QList<QELMessageDetail> messages = r.readMessages(list.first(), {}, {}, &error);
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_GT(error.size(), int(qstrlen("this database is damaged: ")) + 10);
        EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
        // The protocol's plain answer is as empty.
        EXPECT_TRUE(messagesOf(r, list.first()).isEmpty());
    }
}

// One record of a hostile file brings at most a megabyte of text, cut with
// a mark; the rest of the conversation comes whole.
TEST_F(MessagesDb, AHugeTextIsCutWithAMark)
{
    SmsDbBuilder db;
    const qint64 ann = db.handle(kAnn);
    const qint64 chat = db.chat({ann});
    const QString huge = QString(3 * 1024 * 1024, QLatin1Char('a')) + QStringLiteral("END");
    db.chatMessage(msg(chat, ann, huge, {}, {}, 700000000));
    // A cut inside a character of several bytes keeps the characters whole.
    db.chatMessage(msg(chat, ann, QString(1024 * 1024, QChar(0x00E9)), {}, {}, 700000001));
    db.chatMessage(msg(chat, ann, "after", {}, {}, 700000002));
    const auto r = reader(write(db));
    const QList<QELMessageDetail> messages = messagesOf(*r, r->getConversationList().at(0));
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].message().endsWith(QELMessagesDBReaderProtocol::cutMark()));
    EXPECT_LE(messages[0].message().size(), QELMessagesDBReaderProtocol::kMaxTextBytes + 100);
    EXPECT_FALSE(messages[0].message().contains(QStringLiteral("END")));
    EXPECT_TRUE(messages[1].message().endsWith(QELMessagesDBReaderProtocol::cutMark()));
    EXPECT_FALSE(messages[1].message().contains(QChar(0xFFFD)));
    EXPECT_EQ(messages[2].message(), QStringLiteral("after"));
}

} // namespace
