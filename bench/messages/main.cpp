// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated sms.db of 100,000 messages in 500 conversations (one in
// ten with an attachment, half with their text only archived in
// attributedBody), its participants named from an address book of 2,000
// people, as the messages view's load and a copy of everything do: the list
// once, then every conversation's messages. Prints the seconds and messages/s.
#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "QELMessagesDbReader.h"
#include "SmsDbBuilder.h"

namespace {

constexpr int kMessages = 100000;
constexpr int kConversations = 500;
constexpr int kContacts = 2000;

QString number(int i) { return QStringLiteral("+1555%1").arg(1000000 + i); }

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane.warning=false"));
    QTemporaryDir dir;
    const QString sms = dir.filePath(QStringLiteral("sms.db"));
    const QString book = dir.filePath(QStringLiteral("AddressBook.sqlitedb"));

    const auto built = std::chrono::steady_clock::now();
    AddressBookFixture contacts;
    for (int i = 0; i < kContacts; ++i) {
        const qint64 person = contacts.person(AddressBookFixture::Person::named(
            QStringLiteral("First%1").arg(i), QStringLiteral("Last%1").arg(i)));
        contacts.phone(person, number(i));
    }
    SmsDbBuilder db;
    QList<qint64> chats;
    QList<qint64> handles;
    for (int c = 0; c < kConversations; ++c) {
        handles << db.handle(number(c * 3));
        chats << db.chat({handles.last()});
    }
    for (int i = 0; i < kMessages; ++i) {
        SmsDbBuilder::ChatMessage message;
        message.chat = chats[i % kConversations];
        message.handle = handles[i % kConversations];
        const QString text = QStringLiteral("Message %1 of a made-up conversation").arg(i);
        if (i % 2 == 0)
            message.text = text;
        message.attributedBody = SmsDbBuilder::attributedBody(text);
        message.date = 700000000 + i;
        message.fromMe = i % 3 == 0;
        if (i % 10 == 0)
            message.attachments = {{QStringLiteral("~/Library/SMS/Attachments/%1.jpg").arg(i),
                                    QStringLiteral("image/jpeg")}};
        db.chatMessage(message);
    }
    QString error;
    if (!contacts.write(book, &error) || !db.write(sms, &error)) {
        std::fprintf(stderr, "fixture: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("fixture: %d messages, %d conversations, %d contacts, built in %.2f s\n", kMessages,
                kConversations, kContacts, secondsSince(built));

    const auto start = std::chrono::steady_clock::now();
    QELMessagesDbReader reader(sms, book, QString());
    reader.loadMessages();
    const QList<QELMessagesConversation> list = reader.getConversationList();
    const double listed = secondsSince(start);
    qsizetype read = 0;
    qsizetype empty = 0;
    for (const QELMessagesConversation& conversation : list) {
        for (const QELMessageDetail& message :
             reader.getMessagesFromConversationWithStartDateAndEndDate(conversation, {}, {})) {
            ++read;
            empty += message.message().isEmpty() ? 1 : 0;
        }
    }
    const double total = secondsSince(start);
    std::printf("list: %lld conversations in %.3f s\n", qlonglong(list.size()), listed);
    std::printf("list and read all: %lld messages (%lld without text) in %.3f s, %.0f messages/s\n",
                qlonglong(read), qlonglong(empty), total, double(read) / total);
    return read == kMessages && empty == 0 ? 0 : 1;
}
