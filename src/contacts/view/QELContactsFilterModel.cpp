// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsFilterModel.h"

#include "QELContactListModel.h"
#include "TextMatch.h"

QELContactsFilterModel::QELContactsFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(QELContactListModel::SortRole);
    setDynamicSortFilter(true);
}

void QELContactsFilterModel::setSearchText(const QString& text)
{
    m_foldedNeedle = TextMatch::fold(text);
    invalidateFilter();
}

bool QELContactsFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_foldedNeedle.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    for (int role :
         {int(QELContactListModel::FNRole), int(QELContactListModel::OrganisationRole)}) {
        const QString text = index.data(role).toString();
        if (!text.isEmpty() && TextMatch::containsFolded(text, m_foldedNeedle))
            return true;
    }
    return false;
}

bool QELContactsFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int order = TextMatch::compareFolded(left.data(sortRole()).toString(),
                                               right.data(sortRole()).toString());
    if (order != 0)
        return order < 0;
    return left.row() < right.row();
}
