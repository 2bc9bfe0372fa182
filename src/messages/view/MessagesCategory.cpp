// SPDX-License-Identifier: GPL-3.0-or-later
// The messages category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELMessagesView.h"

namespace {

CategoryDescriptor messagesRow()
{
    CategoryDescriptor row;
    row.viewType = 7;
    row.sidebarOrder = 90;
    row.titleKey = QStringLiteral("MESSAGES");
    row.icon = QStringLiteral("category_messages.png");
    row.backupDerived = true;
    row.availability.requests = QELDeviceCategoryContentView::Search;
    row.availability.searchPlaceholderKey = QStringLiteral("SEARCHMESSAGES");
    // The device-flag column of messages.
    row.flagColumn = 5;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELMessagesView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(messagesRow());

} // namespace
