// SPDX-License-Identifier: GPL-3.0-or-later
// Safari bookmarks, read from a backup: a valid database, still empty.
#include "DemoCategory.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    return context.backupEmptyDatabase(QStringLiteral("HomeDomain"),
                                       QStringLiteral("Library/Safari/Bookmarks.db"), error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("internet"), describe, {}});

} // namespace

} // namespace DemoDevice
