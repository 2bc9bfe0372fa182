// SPDX-License-Identifier: GPL-3.0-or-later
// The call log category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELCallLogView.h"

namespace {

CategoryDescriptor callLogRow()
{
    CategoryDescriptor row;
    row.viewType = 11;
    row.sidebarOrder = 50;
    row.titleKey = QStringLiteral("CALLLOGS");
    row.icon = QStringLiteral("category_phone.png");
    row.backupDerived = true;
    // The device-flag column of call logs (iPhones).
    row.flagColumn = 11;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELCallLogView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(callLogRow());

} // namespace
