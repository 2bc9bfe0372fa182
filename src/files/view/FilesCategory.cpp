// SPDX-License-Identifier: GPL-3.0-or-later
// The files category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELFilesView.h"

namespace {

CategoryDescriptor filesRow()
{
    CategoryDescriptor row;
    row.viewType = 10;
    row.sidebarOrder = 70;
    row.titleKey = QStringLiteral("FILES");
    row.icon = QStringLiteral("category_files.png");
    row.backupDerived = false;
    // Flag column 7 of the device-flag table lists the files category.
    row.flagColumn = 7;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        auto* view = new QELFilesView(context.frame, context.parent);
        view->loadDevice(context.deviceInterface);
        return view;
    };
    return row;
}

const CategoryRegistration registration(filesRow());

} // namespace
