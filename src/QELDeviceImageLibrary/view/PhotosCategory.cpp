// SPDX-License-Identifier: GPL-3.0-or-later
// The photos category's row and the camera view's. Nothing refers to this
// file: only linking the library whole keeps its registration objects.
#include "CategoryRegistry.h"
#include "QELCameraView.h"
#include "QELPhotosView.h"

namespace {

CategoryDescriptor photosRow()
{
    CategoryDescriptor row;
    row.viewType = 3;
    row.sidebarOrder = 10;
    row.titleKey = QStringLiteral("PHOTOS");
    row.icon = QStringLiteral("category_photos.png");
    row.backupDerived = false;
    // Flag column 0 of the device-flag table lists the photos category.
    // Transfers start from the view's own buttons, not the control bar.
    row.flagColumn = 0;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        auto* view = new QELPhotosView(context.frame, context.parent);
        view->setDeviceInterface(context.deviceInterface);
        view->loadPhotos();
        return view;
    };
    return row;
}

CategoryDescriptor cameraRow()
{
    CategoryDescriptor row;
    row.viewType = 13;
    row.sidebarOrder = 1000;
    // Made by the content page on request only, never listed, never loaded.
    row.flagColumn = CategoryDescriptor::NeverListed;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELCameraView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration photos(photosRow());
const CategoryRegistration camera(cameraRow());

} // namespace
