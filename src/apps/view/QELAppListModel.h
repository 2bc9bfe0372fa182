// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <vector>

#include <QAbstractListModel>

#include "QELAppDetailSummary.h"

// The apps the grid shows, in list order. The records are shared with the
// icon requests of the grid, which hold them weakly. Main thread only.
class QELAppListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { SortRole = Qt::UserRole + 1, BundleIdRole };

    explicit QELAppListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void setApps(std::vector<std::shared_ptr<QELAppDetailSummary>> apps);
    const std::vector<std::shared_ptr<QELAppDetailSummary>>& apps() const { return m_apps; }
    std::shared_ptr<QELAppDetailSummary> appAt(int row) const;
    // The app's icon changed: its row is drawn again (nothing when it is no
    // longer listed).
    void iconChanged(const QELAppDetailSummary* app);

private:
    std::vector<std::shared_ptr<QELAppDetailSummary>> m_apps;
};
