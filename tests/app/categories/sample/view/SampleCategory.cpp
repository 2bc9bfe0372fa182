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
// A placeholder row of its own and the row that takes its place, as a
// category's view library replaces the application's placeholder (every
// placeholder of the application belongs to a category that lands its own row).
[[maybe_unused]] const bool placeholderAdded = [] {
    CategoryDescriptor row = sampleRow(201, 490, "SAMPLEPLACEHOLDER", "category_sample.png", 1);
    return CategoryRegistry::instance().addPlaceholder(row);
}();
const CategoryRegistration replacement(sampleRow(201, 490, "SAMPLE", "category_sample.png", 1));

} // namespace
