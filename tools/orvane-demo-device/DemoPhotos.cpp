// SPDX-License-Identifier: GPL-3.0-or-later
// The camera roll's folder, still empty.
#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString*)
{
    context.device().afcFolder(QStringLiteral("DCIM"));
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("photos"), describe, {}});

} // namespace

} // namespace DemoDevice
