// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as voicemail.db and, the same bytes, the address book that names
// the senders (a seed holds the tables of both): read into the store with
// every sender's voicemails, or refused with a reason.
#include "FuzzSupport.h"
#include "QELVoiceMailDbReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QString voicemail = scratch.write(QStringLiteral("voicemail.db"), bytes);
    const QString book = scratch.write(QStringLiteral("AddressBook.sqlitedb"), bytes);
    QString error;
    std::unique_ptr<QELVoiceMailDbReader> reader =
        QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(voicemail, book,
                                                                          QString(), &error);
    if (!reader)
        FuzzSupport::fail("no voicemail store could be made");
    if (!reader->loadVoiceMail()) {
        if (reader->lastError().isEmpty())
            FuzzSupport::fail("a voicemail index was refused without a reason");
        return 0;
    }
    if (!reader->getContacts().isEmpty())
        FuzzSupport::parsed();
    for (const QELVoiceMailContact& sender : reader->getContacts())
        (void)reader->getVoiceMailsForSenderId(sender.sender());
    return 0;
}
