// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as sms.db: the conversations of every generation are listed and
// each is read whole, or the file gives a shorter or empty answer.
#include "FuzzSupport.h"
#include "QELMessagesDbReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QString path = scratch.write(QStringLiteral("sms.db"), FuzzSupport::bytes(data, size));
    QELMessagesDbReader reader(path, QString(), QString());
    reader.setTimeZone(QTimeZone::utc());
    if (!reader.loadMessages())
        FuzzSupport::fail("a message database that is there was not taken");
    if (!reader.getConversationList().isEmpty())
        FuzzSupport::parsed();
    for (const QELMessagesConversation& conversation : reader.getConversationList())
        (void)reader.getMessagesFromConversationWithStartDateAndEndDate(conversation, QDateTime(),
                                                                        QDateTime());
    return 0;
}
