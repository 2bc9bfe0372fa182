// SPDX-License-Identifier: GPL-3.0-or-later
// Call history, read from a backup: a valid database, still empty.
#include "DemoCategory.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    return context.backupEmptyDatabase(QStringLiteral("WirelessDomain"),
                                       QStringLiteral("Library/CallHistory/call_history.db"),
                                       error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("calllog"), describe, {}});

} // namespace

} // namespace DemoDevice
