// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailItemListModel.h"

#include "LocalizedStrings.h"

void QELVoiceMailItemListModel::setItems(const QList<QELVoiceMailItem>& items)
{
    beginResetModel();
    m_items.assign(items.cbegin(), items.cend());
    endResetModel();
}

int QELVoiceMailItemListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int QELVoiceMailItemListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QELVoiceMailItemListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QELVoiceMailItem& item = itemAt(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case SenderColumn:
            return item.contact.shownName();
        case DateColumn:
            return m_date.transformedValue(item.dateRecorded);
        case DurationColumn:
            return item.duration ? m_duration.transformedValue(QVariant(*item.duration))
                                 : QString();
        default:
            return {};
        }
    }
    if (role == SortRole) {
        switch (index.column()) {
        case SenderColumn:
            return item.contact.senderName();
        case DateColumn:
            return item.dateRecorded;
        case DurationColumn:
            return item.duration ? QVariant(*item.duration) : QVariant();
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == DurationColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant QELVoiceMailItemListModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SenderColumn:
        return L("VOICEMAILSENDERCOLUMN");
    case DateColumn:
        return L("VOICEMAILDATECOLUMN");
    case DurationColumn:
        return L("VOICEMAILLENGTHCOLUMN");
    default:
        return {};
    }
}
