// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppsFilterModel.h"

#include "QELAppListModel.h"
#include "TextMatch.h"

QELAppsFilterModel::QELAppsFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void QELAppsFilterModel::setSearchText(const QString& text)
{
    m_foldedNeedle = TextMatch::fold(text);
    invalidateFilter();
}

bool QELAppsFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_foldedNeedle.isEmpty())
        return true;
    const QString name =
        sourceModel()->index(sourceRow, 0, sourceParent).data(QELAppListModel::SortRole).toString();
    // An app without a name matches no search text.
    return !name.isEmpty() && TextMatch::containsFolded(name, m_foldedNeedle);
}
