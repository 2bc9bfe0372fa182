// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryViews.h"

#include "CategoryRegistry.h"
#include "LocalizedStrings.h"
#include "QELCategoryNotAvailableView.h"

namespace CategoryViews {

namespace {

// Flag columns of the device-flag table (QELDeviceContentView): 0 photos,
// 1 (unused), 2 contacts, 3 calendars, 4 notes, 5 messages, 6 voicemail,
// 7 files, 8 apps, 9 books, 10 internet, 11 call logs.
CategoryDescriptor placeholder(int viewType, int order, const char* titleKey, const char* icon,
                               bool backupDerived, int flagColumn,
                               CategoryAvailability availability = {})
{
    CategoryDescriptor row;
    row.viewType = viewType;
    row.sidebarOrder = order;
    row.titleKey = QString::fromLatin1(titleKey);
    row.icon = QString::fromLatin1(icon);
    row.backupDerived = backupDerived;
    row.availability = std::move(availability);
    row.flagColumn = flagColumn;
    row.makeView =
        [key = row.titleKey](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        const QString name = key.isEmpty() ? QString() : LocalizedStrings::text(key);
        return new QELCategoryNotAvailableView(context.viewType, name, context.frame,
                                               context.parent);
    };
    return row;
}

// The rows of the categories whose own views are not written yet. A view
// library's own row of the same view type takes the place of its row here.
void addPlaceholderRows(CategoryRegistry& registry)
{
    constexpr int Never = CategoryDescriptor::NeverListed;
    const CategoryDescriptor rows[] = {
        placeholder(Photos, 10, "PHOTOS", "category_photos.png", false, 0),
        // Made by the content page on request only, never listed.
        placeholder(Camera, 1000, "", "", false, Never),
    };
    for (const CategoryDescriptor& row : rows)
        registry.addPlaceholder(row);
}

} // namespace

const CategoryRegistry& registry()
{
    static CategoryRegistry& table = []() -> CategoryRegistry& {
        CategoryRegistry& r = CategoryRegistry::instance();
        addPlaceholderRows(r);
        return r;
    }();
    return table;
}

QString titleKey(int viewType)
{
    const CategoryDescriptor* row = registry().find(viewType);
    return row ? row->titleKey : QString();
}

QString iconFileName(int viewType)
{
    const CategoryDescriptor* row = registry().find(viewType);
    return row ? row->icon : QString();
}

bool isBackupDerived(int viewType)
{
    const CategoryDescriptor* row = registry().find(viewType);
    return row && row->backupDerived;
}

QELDeviceCategoryContentView* makeView(int viewType, const QRect& frame,
                                       QELDeviceInterface* deviceInterface, QWidget* parent)
{
    const CategoryDescriptor* row = registry().find(viewType);
    if (!row)
        return nullptr;
    QELDeviceCategoryContentView* view =
        row->makeView(CategoryViewContext{viewType, frame, deviceInterface, parent});
    if (view)
        view->setDeviceInterface(deviceInterface);
    return view;
}

std::optional<int> messagesIOSVersion(const QString& iOSVersion)
{
    const QString text = iOSVersion.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int major = text.section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? std::optional<int>(major) : std::nullopt;
}

} // namespace CategoryViews
