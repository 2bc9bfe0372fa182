// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppListModel.h"

#include "PlainText.h"

QELAppListModel::QELAppListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int QELAppListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_apps.size());
}

QVariant QELAppListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QELAppDetailSummary& app = *m_apps[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case SortRole:
        return app.bundleName();
    case Qt::ToolTipRole:
        return PlainText::toolTip(app.bundleVersion().isEmpty() ? app.bundleName()
                                                                : app.bundleName()
                                          + QStringLiteral(" ") + app.bundleVersion());
    case Qt::DecorationRole:
        return app.bundleIcon();
    case BundleIdRole:
        return app.bundleID();
    default:
        return {};
    }
}

void QELAppListModel::setApps(std::vector<std::shared_ptr<QELAppDetailSummary>> apps)
{
    beginResetModel();
    m_apps = std::move(apps);
    endResetModel();
}

std::shared_ptr<QELAppDetailSummary> QELAppListModel::appAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_apps.size())
        return nullptr;
    return m_apps[static_cast<size_t>(row)];
}

void QELAppListModel::iconChanged(const QELAppDetailSummary* app)
{
    for (size_t row = 0; row < m_apps.size(); ++row) {
        if (m_apps[row].get() == app) {
            const QModelIndex at = index(static_cast<int>(row));
            emit dataChanged(at, at, {Qt::DecorationRole});
            return;
        }
    }
}
