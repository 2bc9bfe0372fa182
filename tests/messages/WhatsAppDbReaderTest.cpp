// SPDX-License-Identifier: GPL-3.0-or-later
// The WhatsApp reader: chats with and without session types and contacts,
// groups, media and media never downloaded, dates and their order.
#include <algorithm>

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "MessagesTestSupport.h"
#include "QELMessagesWhatsAppDbReader.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "WhatsAppDbBuilder.h"

using namespace MessagesTest;
using Message = WhatsAppDbBuilder::Message;

namespace {

class WhatsAppDb : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    std::unique_ptr<QELMessagesWhatsAppDbReader> reader(const WhatsAppDbBuilder& db,
                                                        bool contacts = true)
    {
        EXPECT_TRUE(db.writeChatStorage(path("ChatStorage.sqlite")));
        if (contacts) {
            EXPECT_TRUE(db.writeContacts(path("Contacts.sqlite")));
        }
        auto r = QELMessagesWhatsAppDbReader::create(path("ChatStorage.sqlite"),
                                                     path("Contacts.sqlite"));
        EXPECT_TRUE(r);
        if (r)
            r->setTimeZone(QTimeZone::utc());
        return r;
    }
    QTemporaryDir m_dir;
};

WhatsAppDbBuilder chatsOfEveryKind(bool sessionType)
{
    WhatsAppDbBuilder db;
    db.setSessionTypeColumn(sessionType);
    db.chat("Ann", 7);  // named by Contacts.sqlite
    db.chat("Carl", 0); // no contact: its partner name
    const qint64 group = db.chat("Climbing club", 0, 1);
    db.groupMember(group, "Dee", "4915550100@s.whatsapp.net");
    db.groupMember(group, "Eli", "4915550101");
    db.chat("Quiet group", 0, 1); // no members
    db.chat("Fay", 99);           // a contact number no contact has
    db.contact(7, "Ann", "Ann Lee", 2);
    return db;
}

TEST_F(WhatsAppDb, ListsEveryChatWithItsPeople)
{
    const auto r = reader(chatsOfEveryKind(true));
    const QList<QELMessagesConversation> list = r->getConversationList();
    ASSERT_EQ(titles(list),
              (QStringList{"Ann Ann Lee", "Carl", "Climbing club", "No Participants", "Fay"}));
    EXPECT_EQ(list[0].conversationType(), 1u);
    EXPECT_EQ(list[0].participants().at(0).address(), "7");
    EXPECT_FALSE(list[0].isGroupChat());
    EXPECT_TRUE(list[2].isGroupChat());
    ASSERT_EQ(list[2].participants().size(), 2);
    EXPECT_EQ(list[2].participants().at(0).address(), "4915550100");
    EXPECT_EQ(list[2].participants().at(1).address(), "4915550101");
    EXPECT_EQ(list[2].participants().at(1).name(), "Eli");
}

TEST_F(WhatsAppDb, StoresWithoutSessionTypesOrContactsStillList)
{
    const auto older = reader(chatsOfEveryKind(false));
    EXPECT_EQ(titles(older->getConversationList()),
              (QStringList{"Ann Ann Lee", "Carl", "Climbing club", "Quiet group", "Fay"}));
    QFile::remove(path("Contacts.sqlite"));
    const auto r = reader(chatsOfEveryKind(true), false);
    EXPECT_EQ(titles(r->getConversationList()),
              (QStringList{"Ann", "Carl", "Climbing club", "No Participants", "Fay"}));
}

TEST_F(WhatsAppDb, IndexNamesAreJoinedAsTheContactsKeepThem)
{
    struct Case {
        QString first;
        QString index;
        QString name;
    };
    const QList<Case> cases = {{"Ann", "Ann", "Ann"},
                               {"Ann", "Ann Lee", "Ann Ann Lee"},
                               {QString(), "Lee", "Lee"},
                               {"Ann", QString(), "Ann "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        WhatsAppDbBuilder db;
        db.chat("partner", 3);
        db.contact(3, c.first, c.index);
        EXPECT_EQ(titles(reader(db)->getConversationList()), QStringList{c.name});
    }
}

TEST_F(WhatsAppDb, MessagesComeInDateOrderWithMediaAndPlaceholders)
{
    WhatsAppDbBuilder db;
    const qint64 chat = db.chat("Carl");
    const qint64 other = db.chat("Other");
    const double day = referenceSeconds(utc(2024, 2, 29, 23, 30));
    db.message({chat, false, day + 60, WhatsAppDbBuilder::Image, "4915550102@s.whatsapp.net", "",
                "Media/img.jpg"});
    db.message({chat, true, day, WhatsAppDbBuilder::Text, {}, "first", {}});
    db.message({chat,
                false,
                day + 120,
                WhatsAppDbBuilder::Video,
                "4915550102@s",
                {},
                QVariant(QString())});
    db.message({chat, false, day + 180, WhatsAppDbBuilder::Status, {}, "status", {}});
    db.message({chat, false, day + 240, 4, "4915550102", "a location", {}});
    db.message({chat, false, day + 300, WhatsAppDbBuilder::Audio, {}, {}, "/abs/voice.opus"});
    db.message({chat, false, QVariant(), WhatsAppDbBuilder::Text, {}, "no date", {}});
    db.message({other, false, day, WhatsAppDbBuilder::Text, {}, "elsewhere", {}});
    const auto r = reader(db);
    const QELMessagesConversation carl = r->getConversationList().at(0);
    const QList<QELMessageDetail> messages =
        r->getMessagesFromConversationWithStartDateAndEndDate(carl, {}, {});
    ASSERT_EQ(texts(messages),
              (QStringList{"no date", "first", "", "Video available but not downloaded.",
                           "a location", ""}));
    EXPECT_FALSE(messages[0].time().isValid());
    EXPECT_EQ(messages[1].time(), utc(2024, 2, 29, 23, 30));
    EXPECT_TRUE(messages[1].isFromMe());
    ASSERT_EQ(messages[2].messagePieces().size(), 1);
    EXPECT_EQ(messages[2].messagePieces()[0].contentType(), "image");
    EXPECT_EQ(messages[2].messagePieces()[0].contentLocation(), "/Media/img.jpg");
    EXPECT_EQ(messages[2].messageAddress(), "4915550102");
    EXPECT_TRUE(messages[3].messageIsErrorMessage());
    EXPECT_TRUE(messages[4].messageIsErrorMessage());
    EXPECT_TRUE(messages[4].messageAddress().isEmpty());
    EXPECT_EQ(messages[5].messagePieces()[0].contentLocation(), "/abs/voice.opus");
    EXPECT_FALSE(messages[5].messageIsErrorMessage());
    // The range counts days; a message without a date is dropped by it.
    EXPECT_EQ(texts(r->getMessagesFromConversationWithStartDateAndEndDate(carl, utc(2024, 2, 29, 1),
                                                                          utc(2024, 2, 29, 2))),
              (QStringList{"first", "", "Video available but not downloaded.", "a location", ""}));
    EXPECT_EQ(r->getMessagesFromConversationWithStartDateAndEndDate(carl, utc(2024, 3, 1),
                                                                    utc(2024, 3, 1))
                  .size(),
              0);
}

TEST_F(WhatsAppDb, MissingOrDamagedFilesGiveNoReaderOrEmptyLists)
{
    EXPECT_FALSE(QELMessagesWhatsAppDbReader::create(path("none.sqlite"), QString()));
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("SQLite format 3"), QByteArray(2048, 'q')}) {
        QFile file(path("ChatStorage.sqlite"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        auto r = QELMessagesWhatsAppDbReader::create(path("ChatStorage.sqlite"), path("x"));
        ASSERT_TRUE(r);
        EXPECT_FALSE(r->canOpenDatabase());
        EXPECT_TRUE(r->getConversationList().isEmpty());
        QELMessagesConversation ghost;
        ghost.setConversationId(1, QELMessagesConversation::Source::WhatsApp);
        EXPECT_TRUE(r->getMessagesFromConversationWithStartDateAndEndDate(ghost, {}, {}).isEmpty());
    }
}

// Pages of the chat table that point back at one another answer the same
// chats again and again: the list ends, and says the file is damaged rather
// than passing what it read for every chat.
TEST_F(WhatsAppDb, ChatPagesThatRepeatEndTheListWithADamagedFile)
{
    WhatsAppDbBuilder db;
    for (int i = 1; i <= 400; ++i)
        db.chat(QStringLiteral("Chat %1 with a name long enough to fill pages").arg(i));
    ASSERT_TRUE(db.writeChatStorage(path("ChatStorage.sqlite")));
    ASSERT_TRUE(SQLiteDamage::repeatRows(path("ChatStorage.sqlite"), "ZWACHATSESSION", 4, 6));
    auto r = QELMessagesWhatsAppDbReader::create(path("ChatStorage.sqlite"), QString());
    ASSERT_TRUE(r);
    QString error;
    EXPECT_TRUE(r->readConversationList(&error).isEmpty());
    EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: ")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("more rows than the file could hold")));
    EXPECT_TRUE(r->getConversationList().isEmpty());
}

} // namespace
