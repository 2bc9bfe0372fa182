// SPDX-License-Identifier: GPL-3.0-or-later
// The contacts category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELContactsView.h"

namespace {

CategoryDescriptor contactsRow()
{
    CategoryDescriptor row;
    row.viewType = 4;
    row.sidebarOrder = 60;
    row.titleKey = QStringLiteral("CONTACTS");
    row.icon = QStringLiteral("category_contacts.png");
    row.backupDerived = true;
    row.availability.requests = QELDeviceCategoryContentView::Search;
    row.availability.searchPlaceholderKey = QStringLiteral("SEARCHCONTACTS");
    // The device-flag column of contacts.
    row.flagColumn = 2;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELContactsView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(contactsRow());

} // namespace
