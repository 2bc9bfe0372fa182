// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "CategoryRegistry.h"
#include "QtPrinters.h"

namespace {

// A row whose factory makes a plain view named `name`.
CategoryDescriptor row(int viewType, int order, const QString& name)
{
    CategoryDescriptor d;
    d.viewType = viewType;
    d.sidebarOrder = order;
    d.titleKey = name;
    d.makeView = [name](const CategoryViewContext& context) {
        auto* view = new QELDeviceCategoryContentView(context.frame, context.parent);
        view->setObjectName(name);
        return view;
    };
    return d;
}

QString madeBy(const CategoryRegistry& registry, int viewType)
{
    const CategoryDescriptor* d = registry.find(viewType);
    if (!d)
        return QStringLiteral("(none)");
    std::unique_ptr<QELDeviceCategoryContentView> view(
        d->makeView(CategoryViewContext{viewType, {}, nullptr, nullptr}));
    return view ? view->objectName() : QStringLiteral("(null)");
}

} // namespace

TEST(CategoryRegistry, AnOwnRowReplacesThePlaceholderWhicheverComesFirst)
{
    for (bool ownFirst : {true, false}) {
        SCOPED_TRACE(ownFirst);
        CategoryRegistry registry;
        if (ownFirst) {
            ASSERT_TRUE(registry.add(row(4, 60, QStringLiteral("own"))));
        }
        ASSERT_TRUE(registry.addPlaceholder(row(4, 60, QStringLiteral("placeholder"))));
        EXPECT_EQ(registry.isPlaceholder(4), !ownFirst);
        if (!ownFirst) {
            EXPECT_EQ(madeBy(registry, 4), QStringLiteral("placeholder"));
            ASSERT_TRUE(registry.add(row(4, 60, QStringLiteral("own"))));
        }
        EXPECT_FALSE(registry.isPlaceholder(4));
        EXPECT_EQ(madeBy(registry, 4), QStringLiteral("own"));
        EXPECT_EQ(registry.rows().size(), 1);
    }
}

TEST(CategoryRegistry, RefusesRowsItCannotUseAndKeepsTheFirst)
{
    CategoryRegistry registry;
    ASSERT_TRUE(registry.add(row(7, 0, QStringLiteral("first"))));
    EXPECT_FALSE(registry.add(row(7, 0, QStringLiteral("second"))));
    ASSERT_TRUE(registry.addPlaceholder(row(8, 0, QStringLiteral("first"))));
    EXPECT_FALSE(registry.addPlaceholder(row(8, 0, QStringLiteral("second"))));
    EXPECT_EQ(madeBy(registry, 7), QStringLiteral("first"));
    EXPECT_EQ(madeBy(registry, 8), QStringLiteral("first"));

    CategoryDescriptor noFactory = row(9, 0, QStringLiteral("x"));
    noFactory.makeView = nullptr;
    for (const CategoryDescriptor& bad :
         {row(0, 0, QStringLiteral("zero")), row(-3, 0, QStringLiteral("negative")), noFactory}) {
        SCOPED_TRACE(bad.viewType);
        EXPECT_FALSE(registry.add(bad));
        EXPECT_FALSE(registry.addPlaceholder(bad));
        EXPECT_EQ(registry.find(bad.viewType), nullptr);
    }
    EXPECT_EQ(registry.find(12345), nullptr);
    EXPECT_FALSE(registry.isPlaceholder(12345));
    EXPECT_EQ(registry.rows().size(), 2);
}

TEST(CategoryRegistry, RowsComeInSidebarOrderThenByViewType)
{
    CategoryRegistry registry;
    registry.addPlaceholder(row(3, 20, QStringLiteral("c")));
    registry.add(row(9, 0, QStringLiteral("a")));
    registry.addPlaceholder(row(1, 20, QStringLiteral("b")));
    registry.add(row(5, 100, QStringLiteral("d")));
    // An own row with another order moves its category.
    registry.addPlaceholder(row(5, 10, QStringLiteral("placeholder")));
    QList<int> order;
    for (const CategoryDescriptor* d : registry.rows())
        order << d->viewType;
    EXPECT_EQ(order, (QList<int>{9, 1, 3, 5}));
}

TEST(CategoryDescriptor, TheBarAlwaysSendsCopy)
{
    using R = QELDeviceCategoryContentView;
    CategoryDescriptor d;
    EXPECT_EQ(d.barRequests(), R::Requests(R::Copy));
    d.availability.requests = R::Transfer | R::Search;
    EXPECT_EQ(d.barRequests(), R::Copy | R::Transfer | R::Search);
}
