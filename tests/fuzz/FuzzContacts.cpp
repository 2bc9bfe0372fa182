// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as AddressBook.sqlitedb and, the same bytes, its
// AddressBookImages.sqlitedb: read into the contacts store, duplicates
// merged, and each contact written as a vCard; or refused with a reason.
#include "FuzzSupport.h"
#include "QELContactsDbReader.h"
#include "QELCopyContacts.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    const QString book = scratch.write(QStringLiteral("AddressBook.sqlitedb"), bytes);
    const QString pictures = scratch.write(QStringLiteral("AddressBookImages.sqlitedb"), bytes);
    std::unique_ptr<QELContactsDbReader> reader =
        QELContactsDbReader::initWithContactsDbPathAndPicturesDb(book, pictures);
    if (!reader)
        FuzzSupport::fail("no contacts store could be made");
    if (!reader->loadContacts())
        FuzzSupport::fail("an address book that is there was not taken");
    if (!reader->getContacts().isEmpty())
        FuzzSupport::parsed();
    for (const QELContactPtr& contact : reader->getContacts())
        (void)QELCopyContacts::_vCardFromContact(*contact);
    return 0;
}
