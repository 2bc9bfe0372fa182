// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryListModel.h"

int CategoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_functions.size());
}

QVariant CategoryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_functions.size())
        return {};
    const QELFunctionDetail& f = m_functions.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return f.functionName;
    case Qt::DecorationRole:
        return f.functionIcon.isNull() ? QVariant() : QVariant(f.functionIcon);
    case ViewTypeRole:
        return f.displayViewType;
    default:
        return {};
    }
}

void CategoryListModel::setFunctions(const QList<QELFunctionDetail>& functions)
{
    beginResetModel();
    m_functions = functions;
    endResetModel();
}
