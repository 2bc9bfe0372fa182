// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QList>

#include "QELFunctionDetail.h"

// The category sidebar's list: one row per category the device offers.
class CategoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int ViewTypeRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QList<QELFunctionDetail>& functions() const { return m_functions; }
    void setFunctions(const QList<QELFunctionDetail>& functions);

private:
    QList<QELFunctionDetail> m_functions;
};
