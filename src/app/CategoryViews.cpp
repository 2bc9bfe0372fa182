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
    // The category views of music, photos, messages, contacts, calendars,
    // notes, voicemail, call logs, internet, apps, books, files and camera are
    // added here as they are written; until then each shows the plain page.
    const QString key = titleKey(viewType);
    auto* view = new QELCategoryNotAvailableView(viewType, key.isEmpty() ? QString() : LocalizedStrings::text(key),
                                                 frame, parent);
    view->setDeviceInterface(deviceInterface);
    return view;
}

} // namespace CategoryViews
