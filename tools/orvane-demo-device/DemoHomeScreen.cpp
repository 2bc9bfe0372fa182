// SPDX-License-Identifier: GPL-3.0-or-later
// The home screen's preferences in the backup: the file a backup password is
// tested on.
#include <QVariantMap>

#include "DemoCategory.h"
#include "Plist.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString*)
{
    context.device().backupFile(
        QStringLiteral("HomeDomain"),
        QStringLiteral("Library/Preferences/com.apple.springboard.plist"),
        Plist::serialize(QVariantMap{{QStringLiteral("SBShowBatteryPercentage"), true}}));
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("homescreen"), describe, {}});

} // namespace

} // namespace DemoDevice
