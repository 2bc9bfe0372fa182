// SPDX-License-Identifier: GPL-3.0-or-later
// The sample category's rows. Nothing refers to this file: only linking the
// library whole keeps its registration objects.
#include "CategoryRegistry.h"
#include "SampleCategoryView.h"

namespace {

CategoryDescriptor sampleRow(int viewType, int order, const char* titleKey, const char* icon,
                             int flagColumn)
{
    CategoryDescriptor row;
    row.viewType = viewType;
    row.sidebarOrder = order;
    row.titleKey = QString::fromLatin1(titleKey);
    row.icon = QString::fromLatin1(icon);
    row.availability.requests = QELDeviceCategoryContentView::Search;
    row.availability.searchPlaceholderKey = QStringLiteral("SEARCHSAMPLE");
    row.flagColumn = flagColumn;
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        return new SampleCategoryView(context.viewType, context.frame, context.parent);
    };
    return row;
}

// A new category after the others, listed where the device has the spare
// flag column 1 (iPhones, not iPod touches).
const CategoryRegistration sample(sampleRow(200, 500, "SAMPLE", "category_sample.png", 1));
// Its own row for the files category, which takes the place of the
// placeholder row of the application (view type 10, as the files category).
const CategoryRegistration files(sampleRow(10, 70, "FILES", "category_files.png", 7));

} // namespace
