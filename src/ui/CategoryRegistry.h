// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>

#include <QList>

#include "CategoryDescriptor.h"

// The table of categories, one row per view type. A category's own row (from
// its view library) replaces the placeholder row of its view type, whichever
// is registered first, so a view library lands without editing the
// application. Rows are registered before the window exists and read on the
// main thread.
class CategoryRegistry {
public:
    // The program's table, which CategoryRegistration fills.
    static CategoryRegistry& instance();

    // Adds a category's own row. Refused (and logged) for a view type below
    // 1, a row without a factory, or a view type that has its own row.
    bool add(CategoryDescriptor row);
    // Adds the row shown until the category's own row comes; refused like add().
    bool addPlaceholder(CategoryDescriptor row);

    // The row of a view type: its own, else its placeholder; null when none.
    const CategoryDescriptor* find(int viewType) const;
    // Whether the row of a view type is a placeholder.
    bool isPlaceholder(int viewType) const;
    // Every row, in sidebar order (equal orders by view type).
    QList<const CategoryDescriptor*> rows() const;

private:
    bool accept(const CategoryDescriptor& row, const char* kind) const;

    struct Entry {
        std::optional<CategoryDescriptor> own;
        std::optional<CategoryDescriptor> placeholder;
    };
    std::map<int, Entry> m_entries;
};

// Registers a category's own row in CategoryRegistry::instance() as the
// program starts. A view library defines one per category at namespace scope:
//     static const CategoryRegistration registration(notesDescriptor());
// orvane_category_view() links the library whole, so this object is kept
// although nothing refers to it.
class CategoryRegistration {
public:
    explicit CategoryRegistration(CategoryDescriptor row);
};
