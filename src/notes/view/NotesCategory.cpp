// SPDX-License-Identifier: GPL-3.0-or-later
// The notes category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELNotesView.h"

namespace {

CategoryDescriptor notesRow()
{
    CategoryDescriptor row;
    row.viewType = 6;
    row.sidebarOrder = 100;
    row.titleKey = QStringLiteral("NOTES");
    row.icon = QStringLiteral("category_notes.png");
    row.backupDerived = true;
    row.availability.requests = QELDeviceCategoryContentView::Search;
    row.availability.searchPlaceholderKey = QStringLiteral("SEARCHNOTES");
    // The device-flag column of notes.
    row.flagColumn = 4;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new QELNotesView(context.frame, context.parent);
    };
    return row;
}

const CategoryRegistration registration(notesRow());

} // namespace
