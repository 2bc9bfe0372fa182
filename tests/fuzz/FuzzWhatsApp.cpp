// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as WhatsApp's ChatStorage.sqlite and, the same bytes, its
// Contacts.sqlite (a seed holds the tables of both): every chat is listed
// with its people and read whole, or the file gives a shorter answer.
#include "FuzzSupport.h"
#include "QELMessagesWhatsAppDbReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QString chats = scratch.write(QStringLiteral("ChatStorage.sqlite"), bytes);
    const QString contacts = scratch.write(QStringLiteral("Contacts.sqlite"), bytes);
    std::unique_ptr<QELMessagesWhatsAppDbReader> reader =
        QELMessagesWhatsAppDbReader::create(chats, contacts);
    if (!reader)
        FuzzSupport::fail("no reader was made for a chat database that is there");
    reader->setTimeZone(QTimeZone::utc());
    if (!reader->getConversationList().isEmpty())
        FuzzSupport::parsed();
    for (const QELMessagesConversation& conversation : reader->getConversationList())
        (void)reader->getMessagesFromConversationWithStartDateAndEndDate(conversation, QDateTime(),
                                                                         QDateTime());
    return 0;
}
