// SPDX-License-Identifier: GPL-3.0-or-later
// Contacts and their pictures, read from a backup: valid databases, still empty.
#include "DemoCategory.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    return context.backupEmptyDatabase(QStringLiteral("HomeDomain"),
                                       QStringLiteral("Library/AddressBook/AddressBook.sqlitedb"),
                                       error)
        && context.backupEmptyDatabase(
            QStringLiteral("HomeDomain"),
            QStringLiteral("Library/AddressBook/AddressBookImages.sqlitedb"), error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("contacts"), describe, {}});

} // namespace

} // namespace DemoDevice
