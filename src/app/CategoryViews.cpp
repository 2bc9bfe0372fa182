// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryViews.h"

#include "CategoryRegistry.h"

namespace CategoryViews {

// Every category's row is registered by its view library, with a
// `CategoryRegistration` of its own. Flag columns of the device-flag table
// (QELDeviceContentView): 0 photos, 1 (unused), 2 contacts, 3 calendars,
// 4 notes, 5 messages, 6 voicemail, 7 files, 8 apps, 9 books, 10 internet,
// 11 call logs.
const CategoryRegistry& registry()
{
    return CategoryRegistry::instance();
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
