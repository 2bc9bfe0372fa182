// SPDX-License-Identifier: GPL-3.0-or-later
// The books category's row. Nothing refers to this file: only linking the
// library whole keeps its registration object.
#include "CategoryRegistry.h"
#include "QELBooksView.h"

namespace {

CategoryDescriptor booksRow()
{
    using R = QELDeviceCategoryContentView;
    CategoryDescriptor row;
    row.viewType = 9;
    row.sidebarOrder = 30;
    row.titleKey = QStringLiteral("BOOKS");
    row.icon = QStringLiteral("category_books.png");
    row.backupDerived = false;
    row.availability = {R::Transfer | R::Search, false, QStringLiteral("SEARCHBOOKS")};
    // The device-flag column of books.
    row.flagColumn = 9;
    row.offeredWhen = [](const CategoryOfferContext& context) { return context.hostOffersBooks; };
    row.makeView = [](const CategoryViewContext& context) -> QELDeviceCategoryContentView* {
        auto* view = new QELBooksView(context.frame, context.parent);
        view->setDeviceInterface(context.deviceInterface);
        view->loadBooks();
        return view;
    };
    return row;
}

const CategoryRegistration registration(booksRow());

} // namespace
