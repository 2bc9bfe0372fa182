// SPDX-License-Identifier: GPL-3.0-or-later
// Notes, read from a backup: a valid database, still empty.
#include "DemoCategory.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    return context.backupEmptyDatabase(QStringLiteral("HomeDomain"),
                                       QStringLiteral("Library/Notes/notes.sqlite"), error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("notes"), describe, {}});

} // namespace

} // namespace DemoDevice
