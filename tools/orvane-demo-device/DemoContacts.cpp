// SPDX-License-Identifier: GPL-3.0-or-later
// Contact pictures, read from a backup: a valid database, still empty. The
// address book itself, with its people, is written by the call log's builder.
#include "DemoCategory.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    return context.backupEmptyDatabase(
        QStringLiteral("HomeDomain"), QStringLiteral("Library/AddressBook/AddressBookImages.sqlitedb"),
        error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("contacts"), describe, {}});

} // namespace

} // namespace DemoDevice
