// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QRect>
#include <QString>

class CategoryRegistry;
class QELDeviceCategoryContentView;
class QELDeviceInterface;
class QWidget;

// The application's reading of the category table (CategoryRegistry): each
// category's view library registers its own row; until it does, the
// category's row here shows the plain not-available page.
namespace CategoryViews {

// The view types of the categories this program has always had; a new
// category picks a number of its own in its row.
enum ViewType {
    Music = 1,
    Apps = 2,
    Photos = 3,
    Contacts = 4,
    Calendars = 5,
    Notes = 6,
    Messages = 7,
    Voicemail = 8,
    Books = 9,
    Files = 10,
    CallLogs = 11,
    Internet = 12,
    Camera = 13,
};

// The program's table, with the placeholder rows in it.
const CategoryRegistry& registry();

// The string-table key of the category's title ("MUSIC"); empty for camera
// and unknown types.
QString titleKey(int viewType);
// The category's icon file name ("category_ipod.png"); empty when it has none.
QString iconFileName(int viewType);
// Whether the category's data come from a device backup (made after one).
bool isBackupDerived(int viewType);

// Makes the view of a category in `frame` through its row's factory and
// gives it the device interface. A backup-derived category's own view is a
// QELDeviceDataCategoryContentView, which the content page then gives the
// backup and sends loadData. A category whose own view this version lacks
// gets the plain not-available page. Null for a view type without a row.
QELDeviceCategoryContentView* makeView(int viewType, const QRect& frame,
                                       QELDeviceInterface* deviceInterface,
                                       QWidget* parent = nullptr);

// The iOS major version the messages view is told (setIOSVersion) when it is
// made: the number before the first "." of the device's version, or the whole
// text when it has none ("10"); none when the device has no usable version.
std::optional<int> messagesIOSVersion(const QString& iOSVersion);

} // namespace CategoryViews
