// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QRect>
#include <QString>

#include "QELDeviceCategoryContentView.h"

class QELDeviceInterface;
class QWidget;

// What a category's view is made with: the content area's frame, the device
// and the widget that holds it (null: none yet).
struct CategoryViewContext {
    int viewType = 0;
    QRect frame;
    QELDeviceInterface* deviceInterface = nullptr;
    QWidget* parent = nullptr;
};

// What decides, beside the device's flag, whether a category is listed.
struct CategoryOfferContext {
    int iOSMajorVersion = 6;
    // The host-system rule of the books category (see QELDeviceContentView).
    bool hostOffersBooks = true;
};

// The control-bar functions the content page offers while the category is
// shown, and so the requests its view must answer. Copy to the computer is
// offered for every category; cancel comes from the HUD, not the bar.
struct CategoryAvailability {
    // Of Transfer, BackUp and Search.
    QELDeviceCategoryContentView::Requests requests;
    // Play/pause and next: the view hands a media list to the preview player.
    bool playback = false;
    // The string-table key of the search field's placeholder; empty: none.
    QString searchPlaceholderKey;
};

// One category of the device content page: everything the application knows
// of it. A category's view library registers its row (CategoryRegistration);
// the application reads the rows and never names a category's classes.
struct CategoryDescriptor {
    // flagColumn values that name no column of the device-flag table.
    static constexpr int AlwaysListed = -1;
    static constexpr int NeverListed = -2;

    // Makes the view in context.frame; it starts its own load where the
    // category loads on creation. Null when it cannot be made.
    using Factory =
        std::function<QELDeviceCategoryContentView*(const CategoryViewContext& context)>;

    int viewType = 0;
    // The sidebar lists categories by this number, lowest first.
    int sidebarOrder = 0;
    // The string-table key of the title ("MUSIC"); empty: untitled.
    QString titleKey;
    // The icon file name ("category_ipod.png"); the sidebar shows the
    // ":/categories/<base name>.svg" resource. Empty: none.
    QString icon;
    // Read from a backup of the device, made before the view is.
    bool backupDerived = false;
    CategoryAvailability availability;
    // The column of the device-flag table that lists the category, or
    // AlwaysListed / NeverListed.
    int flagColumn = NeverListed;
    // A further condition for listing it; empty: the flag alone decides.
    std::function<bool(const CategoryOfferContext& context)> offeredWhen;
    Factory makeView;

    // The requests the control bar sends a view of this category: the
    // row's, and copy to the computer.
    QELDeviceCategoryContentView::Requests barRequests() const;
};
