// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBooksFilterModel.h"

#include "QELBooksListModel.h"
#include "TextMatch.h"

QELBooksFilterModel::QELBooksFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void QELBooksFilterModel::setSearchText(const QString& text)
{
    m_foldedNeedle = TextMatch::fold(text);
    invalidateFilter();
}

bool QELBooksFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_foldedNeedle.isEmpty())
        return true;
    const QString name = sourceModel()
                             ->index(sourceRow, 0, sourceParent)
                             .data(QELBooksListModel::SortRole)
                             .toString();
    return !name.isEmpty() && TextMatch::containsFolded(name, m_foldedNeedle);
}
