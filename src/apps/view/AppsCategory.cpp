// SPDX-License-Identifier: GPL-3.0-or-later
// The apps category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELAppsView.h"

namespace {

CategoryDescriptor appsRow()
{
    using R = QELDeviceCategoryContentView;
    CategoryDescriptor row;
    row.viewType = 2;
    row.sidebarOrder = 20;
    row.titleKey = QStringLiteral("APPS");
    row.icon = QStringLiteral("category_apps.png");
    row.backupDerived = false;
    row.availability = {R::Transfer | R::Search, false, QStringLiteral("SEARCHAPPS")};
    // The device-flag column of apps.
    row.flagColumn = 8;
    // The app list of iOS 9 and later cannot be read.
    row.offeredWhen = [](const CategoryOfferContext& context) {
        return context.iOSMajorVersion < 9;
    };
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        auto* view = new QELAppsView(context.frame, context.parent);
        view->setDeviceInterface(context.deviceInterface);
        view->loadApps();
        return view;
    };
    return row;
}

const CategoryRegistration registration(appsRow());

} // namespace
