// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "QELVoiceMailItem.h"
#include "QELVoiceMailItemDateTransformer.h"
#include "QELVoiceMailItemDurationTransformer.h"

// The voicemails of the selected senders, in the order given: the sender,
// the date and the length. SortRole gives the raw date and length.
class QELVoiceMailItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SenderColumn, DateColumn, DurationColumn, ColumnCount };
    static constexpr int SortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setItems(const QList<QELVoiceMailItem>& items);
    const std::vector<QELVoiceMailItem>& items() const { return m_items; }
    const QELVoiceMailItem& itemAt(int row) const { return m_items.at(size_t(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<QELVoiceMailItem> m_items;
    QELVoiceMailItemDateTransformer m_date;
    QELVoiceMailItemDurationTransformer m_duration;
};
