// SPDX-License-Identifier: GPL-3.0-or-later
// The calendars category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELCalendarsView.h"

namespace {

CategoryDescriptor calendarsRow()
{
    CategoryDescriptor row;
    row.viewType = 5;
    row.sidebarOrder = 40;
    row.titleKey = QStringLiteral("CALENDARS");
    row.icon = QStringLiteral("category_calendars.png");
    row.backupDerived = true;
    // The device-flag column of calendars.
    row.flagColumn = 3;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELCalendarsView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(calendarsRow());

} // namespace
