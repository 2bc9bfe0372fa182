// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect messages` run as a program over folders of copies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "MessagesPageSupport.h"
#include "MessagesTestSupport.h"
#include "QtPrinters.h"
#include "SmsDbBuilder.h"
#include "ToolRun.h"
#include "WhatsAppDbBuilder.h"

using namespace MessagesTest;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    // Dates and month names as the tests expect them.
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments,
                   {{"LC_ALL", "C"}, {"TZ", "UTC"}});
}

class InspectMessages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(InspectMessages, PrintsEveryConversationOfBothDatabases)
{
    AddressBookFixture book;
    book.phone(book.person(AddressBookFixture::Person::named("Ann", "Lee")), "+15550100123");
    ASSERT_TRUE(book.write(file("AddressBook.sqlitedb")));

    // As a recent system writes it: nanoseconds, texts only archived, the
    // newest message still in the "-wal".
    SmsDbBuilder sms;
    const qint64 ann = sms.handle("+15550100123", "iMessage");
    const qint64 bob = sms.handle("+15550177777");
    const qint64 chat = sms.chat({ann});
    const qint64 group = sms.chat({ann, bob});
    const qint64 ns = 1000000000;
    SmsDbBuilder::ChatMessage hello;
    hello.chat = chat;
    hello.handle = ann;
    hello.attributedBody = SmsDbBuilder::attributedBody(QStringLiteral("Hallo \U0001F44B"));
    hello.date = referenceSeconds(utc(2024, 5, 1, 8)) * ns;
    hello.service = QStringLiteral("iMessage");
    hello.attachments = {{"~/Library/SMS/Attachments/0a/IMG_1.HEIC", "image/heic"}};
    sms.chatMessage(hello);
    SmsDbBuilder::ChatMessage reply = hello;
    reply.attributedBody = SmsDbBuilder::attributedBody(QStringLiteral("Sent from here"));
    reply.fromMe = true;
    reply.attachments = {};
    reply.date += 60 * ns;
    sms.chatMessage(reply);
    SmsDbBuilder::ChatMessage toAll;
    toAll.chat = group;
    toAll.handle = bob;
    toAll.text = QStringLiteral("to both");
    toAll.date = referenceSeconds(utc(2024, 5, 2, 8)) * ns;
    sms.chatMessage(toAll);
    sms.setChatMessagesInWal(1);
    ASSERT_TRUE(sms.write(file("sms.db")));

    WhatsAppDbBuilder whatsApp;
    const qint64 carl = whatsApp.chat("Carl");
    whatsApp.message({carl,
                      false,
                      700000000.0,
                      WhatsAppDbBuilder::Image,
                      "4915550102@s.whatsapp.net",
                      {},
                      "Media/a.jpg"});
    whatsApp.chat("Club", 0, 1);
    ASSERT_TRUE(whatsApp.writeChatStorage(file("ChatStorage.sqlite")));

    const ToolRun run = inspect({QStringLiteral("messages"), m_dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray conversations = run.json().value("conversations").toArray();
    ASSERT_EQ(conversations.size(), 4) << run.out.toStdString();

    const QJsonObject first = conversations[0].toObject();
    EXPECT_EQ(first.value("id").toString(), "1");
    EXPECT_EQ(first.value("service").toString(), "iMessage");
    EXPECT_EQ(first.value("title").toString(), "Ann Lee");
    EXPECT_FALSE(first.value("isGroup").toBool());
    EXPECT_EQ(first.value("participants").toArray()[0].toObject().value("address").toString(),
              "+15550100123");
    const QJsonArray messages = first.value("messages").toArray();
    ASSERT_EQ(messages.size(), 2);
    const QJsonObject received = messages[0].toObject();
    EXPECT_EQ(received.value("id").toString(), "1");
    EXPECT_EQ(received.value("date").toString(), "2024-05-01T08:00:00Z");
    EXPECT_EQ(received.value("text").toString(), QStringLiteral("Hallo \U0001F44B"));
    EXPECT_EQ(received.value("sender").toString(), "Ann Lee");
    EXPECT_FALSE(received.value("fromMe").toBool());
    const QJsonObject attachment = received.value("attachments").toArray()[0].toObject();
    EXPECT_EQ(attachment.value("name").toString(), "IMG_1.HEIC");
    EXPECT_EQ(attachment.value("mimeType").toString(), "image/heic");
    EXPECT_EQ(attachment.value("path").toString(), "~/Library/SMS/Attachments/0a/IMG_1.HEIC");
    EXPECT_TRUE(messages[1].toObject().value("sender").isNull());
    EXPECT_TRUE(messages[1].toObject().value("fromMe").toBool());

    const QJsonObject both = conversations[1].toObject();
    EXPECT_EQ(both.value("title").toString(), "Ann Lee, +15550177777");
    EXPECT_TRUE(both.value("isGroup").toBool());
    EXPECT_EQ(both.value("messages").toArray()[0].toObject().value("text").toString(), "to both");
    EXPECT_EQ(both.value("messages").toArray()[0].toObject().value("sender").toString(),
              "+15550177777");

    const QJsonObject whatsAppChat = conversations[2].toObject();
    EXPECT_EQ(whatsAppChat.value("service").toString(), "WhatsApp");
    EXPECT_EQ(whatsAppChat.value("title").toString(), "Carl");
    EXPECT_FALSE(whatsAppChat.value("isGroup").toBool());
    const QJsonObject picture = whatsAppChat.value("messages").toArray()[0].toObject();
    EXPECT_EQ(picture.value("sender").toString(), "4915550102");
    EXPECT_EQ(picture.value("attachments").toArray()[0].toObject().value("path").toString(),
              "/Media/a.jpg");
    EXPECT_TRUE(conversations[3].toObject().value("isGroup").toBool());
}

TEST_F(InspectMessages, RefusesAFolderWithoutReadableMessages)
{
    EXPECT_EQ(inspect({QStringLiteral("messages"), m_dir.path()}).exitCode, 2);
    QFile junk(file("sms.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(1000, 'j'));
    junk.close();
    const ToolRun run = inspect({QStringLiteral("messages"), m_dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("sms.db")) << run.err.toStdString();
    // A readable but empty database is an empty list, not a failure.
    ASSERT_TRUE(SmsDbBuilder().write(file("sms.db")));
    const ToolRun empty = inspect({QStringLiteral("messages"), m_dir.path()});
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_TRUE(empty.json().value("conversations").toArray().isEmpty());
}

TEST_F(InspectMessages, ADamagedPreferencesFileIsNamedAndTheMessagesStillCome)
{
    SmsDbBuilder sms;
    const qint64 bob = sms.handle("+15550177777");
    SmsDbBuilder::ChatMessage hi;
    hi.chat = sms.chat({bob});
    hi.handle = bob;
    hi.text = QStringLiteral("hi");
    hi.date = referenceSeconds(utc(2024, 5, 2, 8)) * 1000000000;
    sms.chatMessage(hi);
    ASSERT_TRUE(sms.write(file("sms.db")));
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    const QList<Case> cases = {
        {"empty", QByteArray(), "com.apple.MobileSMS.plist"},
        {"truncated", QByteArray("bplist00\xd1\x01", 10), "com.apple.MobileSMS.plist"},
        {"garbage", QByteArray(300, '\x7f'), "com.apple.MobileSMS.plist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile plist(file("com.apple.MobileSMS.plist"));
        ASSERT_TRUE(plist.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plist.write(c.bytes);
        plist.close();
        const ToolRun run = inspect({QStringLiteral("messages"), m_dir.path()});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.json().value("conversations").toArray().size(), 1);
        EXPECT_TRUE(run.err.contains("orvane-inspect: warning: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
}

TEST_F(InspectMessages, ExportWritesTheCopysPagesWithTheirAttachments)
{
    SmsDbBuilder sms;
    const qint64 ann = sms.handle("+15550100123");
    const qint64 chat = sms.chat({ann});
    SmsDbBuilder::ChatMessage first;
    first.chat = chat;
    first.handle = ann;
    first.text = QStringLiteral("first <day>");
    first.date = referenceSeconds(utc(2024, 5, 1, 8));
    first.attachments = {{"~/Library/SMS/Attachments/ab/IMG_1.JPG", "image/jpeg"}};
    sms.chatMessage(first);
    SmsDbBuilder::ChatMessage second = first;
    second.text = QStringLiteral("second day");
    second.date = referenceSeconds(utc(2024, 5, 2, 8));
    second.attachments = {};
    sms.chatMessage(second);
    ASSERT_TRUE(sms.write(file("sms.db")));
    // Attachments by their device path below the folder.
    ASSERT_TRUE(QDir().mkpath(file("Library/SMS/Attachments/ab")));
    QFile picture(file("Library/SMS/Attachments/ab/IMG_1.JPG"));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("not really a picture");
    picture.close();

    QTemporaryDir out;
    const ToolRun run =
        inspect({QStringLiteral("messages"), m_dir.path(), QStringLiteral("--export"), out.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.json().value("conversations").toArray().size(), 1);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"+15550100123.html", "IMG_1.JPG.jpg"}));
    const QString page = readPage(out.filePath(QStringLiteral("+15550100123.html")));
    EXPECT_TRUE(page.contains(QStringLiteral("first &lt;day&gt;")));
    EXPECT_TRUE(page.contains(QStringLiteral("<img src='IMG_1.JPG.jpg'")));
    EXPECT_TRUE(page.contains(QStringLiteral("<small>")));

    QTemporaryDir ranged;
    const ToolRun day =
        inspect({QStringLiteral("messages"), m_dir.path(), QStringLiteral("--export"),
                 ranged.path(), QStringLiteral("--from"), QStringLiteral("2024-05-02"),
                 QStringLiteral("--to"), QStringLiteral("2024-05-02")});
    ASSERT_EQ(day.exitCode, 0) << day.err.toStdString();
    const QString dated =
        ranged.filePath(QStringLiteral("+15550100123 (02 May 2024 - 02 May 2024).html"));
    ASSERT_TRUE(QFileInfo::exists(dated))
        << QDir(ranged.path()).entryList().join(',').toStdString();
    EXPECT_TRUE(readPage(dated).contains(QStringLiteral("second day")));
    EXPECT_FALSE(readPage(dated).contains(QStringLiteral("first")));
}

TEST_F(InspectMessages, ExportRefusesARangeItCannotUse)
{
    ASSERT_TRUE(SmsDbBuilder().write(file("sms.db")));
    QTemporaryDir out;
    const QString folder = m_dir.path();
    const QList<QStringList> refused = {
        {"messages", folder, "--export", out.path(), "--from", "2024-05-02"},
        {"messages", folder, "--export", out.path(), "--from", "2024-13-02", "--to", "2024-05-02"},
        {"messages", folder, "--export", out.path(), "--from", "2024-05-03", "--to", "2024-05-02"},
        {"messages", folder, "--from", "2024-05-02", "--to", "2024-05-02"},
    };
    for (const QStringList& arguments : refused) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun run = inspect(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
    }
}

} // namespace
