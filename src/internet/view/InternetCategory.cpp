// SPDX-License-Identifier: GPL-3.0-or-later
// The internet category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELInternetView.h"

namespace {

CategoryDescriptor internetRow()
{
    CategoryDescriptor row;
    // The view type, order, title, icon and flag column the application has
    // always given Safari's data.
    row.viewType = 12;
    row.sidebarOrder = 80;
    row.titleKey = QStringLiteral("INTERNET");
    row.icon = QStringLiteral("category_internet.png");
    row.backupDerived = true;
    row.flagColumn = 10;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELInternetView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(internetRow());

} // namespace
