// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryViews.h"

#include "LocalizedStrings.h"
#include "QELCategoryNotAvailableView.h"

namespace CategoryViews {

namespace {
struct Category {
    int viewType;
    const char* titleKey;
    const char* icon;
};
const Category kCategories[] = {
    {Music, "MUSIC", "category_ipod.png"},         {Apps, "APPS", "category_apps.png"},
    {Photos, "PHOTOS", "category_photos.png"},     {Contacts, "CONTACTS", "category_contacts.png"},
    {Calendars, "CALENDARS", "category_calendars.png"}, {Notes, "NOTES", "category_notes.png"},
    {Messages, "MESSAGES", "category_messages.png"}, {Voicemail, "VOICEMAIL", "category_recordings.png"},
    {Books, "BOOKS", "category_books.png"},        {Files, "FILES", "category_files.png"},
    {CallLogs, "CALLLOGS", "category_phone.png"},  {Internet, "INTERNET", "category_internet.png"},
};

const Category* find(int viewType)
{
    for (const Category& c : kCategories) {
        if (c.viewType == viewType)
            return &c;
    }
    return nullptr;
}

// The categories whose own views exist, one case each, made in `frame`.
// Backup-derived ones derive from QELDeviceDataCategoryContentView; the
// messages view is also given messagesIOSVersion() of the device here.
QELDeviceCategoryContentView* makeOwnView(int viewType, const QRect& frame, QELDeviceInterface* deviceInterface,
                                          QWidget* parent)
{
    (void)frame;
    (void)deviceInterface;
    (void)parent;
    switch (viewType) {
    default:
        return nullptr;
    }
}
} // namespace

QString titleKey(int viewType)
{
    const Category* c = find(viewType);
    return c ? QString::fromLatin1(c->titleKey) : QString();
}

QString iconFileName(int viewType)
{
    const Category* c = find(viewType);
    return c ? QString::fromLatin1(c->icon) : QString();
}

bool isBackupDerived(int viewType)
{
    switch (viewType) {
    case Contacts:
    case Calendars:
    case Notes:
    case Messages:
    case Voicemail:
    case CallLogs:
    case Internet:
        return true;
    default:
        return false;
    }
}

QELDeviceCategoryContentView* makeView(int viewType, const QRect& frame, QELDeviceInterface* deviceInterface,
                                       QWidget* parent)
{
    if (viewType < Music || viewType > Camera)
        return nullptr;
    if (QELDeviceCategoryContentView* own = makeOwnView(viewType, frame, deviceInterface, parent)) {
        own->setDeviceInterface(deviceInterface);
        return own;
    }
    // Until its own view is written a category shows the plain page.
    const QString key = titleKey(viewType);
    auto* view = new QELCategoryNotAvailableView(viewType, key.isEmpty() ? QString() : LocalizedStrings::text(key),
                                                 frame, parent);
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
