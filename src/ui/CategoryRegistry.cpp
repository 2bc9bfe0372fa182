// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryRegistry.h"

#include <algorithm>

#include "Log.h"

CategoryRegistry& CategoryRegistry::instance()
{
    // Made on first use: registration objects of other libraries run before
    // main in an order nobody controls.
    static CategoryRegistry registry;
    return registry;
}

bool CategoryRegistry::accept(const CategoryDescriptor& row, const char* kind) const
{
    if (row.viewType < 1) {
        qCWarning(lcOrvane) << "Category" << kind << "row refused: view type" << row.viewType;
        return false;
    }
    if (!row.makeView) {
        qCWarning(lcOrvane) << "Category" << kind << "row refused: view type" << row.viewType
                            << "has no factory";
        return false;
    }
    return true;
}

bool CategoryRegistry::add(CategoryDescriptor row)
{
    if (!accept(row, "own"))
        return false;
    Entry& entry = m_entries[row.viewType];
    if (entry.own) {
        qCWarning(lcOrvane) << "Category row refused: view type" << row.viewType
                            << "is registered twice";
        return false;
    }
    entry.own = std::move(row);
    return true;
}

bool CategoryRegistry::addPlaceholder(CategoryDescriptor row)
{
    if (!accept(row, "placeholder"))
        return false;
    Entry& entry = m_entries[row.viewType];
    if (entry.placeholder) {
        qCWarning(lcOrvane) << "Category placeholder refused: view type" << row.viewType
                            << "has one";
        return false;
    }
    entry.placeholder = std::move(row);
    return true;
}

const CategoryDescriptor* CategoryRegistry::find(int viewType) const
{
    const auto it = m_entries.find(viewType);
    if (it == m_entries.end())
        return nullptr;
    if (it->second.own)
        return &*it->second.own;
    return it->second.placeholder ? &*it->second.placeholder : nullptr;
}

bool CategoryRegistry::isPlaceholder(int viewType) const
{
    const auto it = m_entries.find(viewType);
    return it != m_entries.end() && !it->second.own && it->second.placeholder;
}

QList<const CategoryDescriptor*> CategoryRegistry::rows() const
{
    QList<const CategoryDescriptor*> list;
    for (const auto& [viewType, entry] : m_entries) {
        if (const CategoryDescriptor* row = find(viewType))
            list << row;
    }
    // The map's order is by view type, so a stable sort keeps it for equal orders.
    std::stable_sort(list.begin(), list.end(),
                     [](const CategoryDescriptor* a, const CategoryDescriptor* b) {
                         return a->sidebarOrder < b->sidebarOrder;
                     });
    return list;
}

CategoryRegistration::CategoryRegistration(CategoryDescriptor row)
{
    CategoryRegistry::instance().add(std::move(row));
}
