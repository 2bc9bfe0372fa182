// SPDX-License-Identifier: GPL-3.0-or-later
#include "InternetHistoryModel.h"

#include "InternetImages.h"
#include "PlainText.h"
#include "QELWebHistoryReader.h"

InternetHistoryModel::InternetHistoryModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_folderIcon(InternetImages::folder())
    , m_bookmarkIcon(InternetImages::bookmark())
{
}

QList<InternetHistoryModel::Day> InternetHistoryModel::rowsFrom(const QELWebHistoryReader& reader)
{
    QList<Day> days;
    for (const QString& name : reader.getAllDates()) {
        const QList<QELSafariHistoryItem>* visits = reader.getHistoryItemsForDateString(name);
        if (visits && !visits->isEmpty())
            days.append(Day{name, *visits});
    }
    return days;
}

void InternetHistoryModel::setRows(QList<Day> days)
{
    beginResetModel();
    m_days = std::move(days);
    endResetModel();
}

const QELSafariHistoryItem* InternetHistoryModel::visitAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.internalId() == 0)
        return nullptr;
    const qsizetype day = qsizetype(index.internalId()) - 1;
    if (day >= m_days.size() || index.row() >= m_days[day].visits.size())
        return nullptr;
    return &m_days[day].visits[index.row()];
}

QModelIndex InternetHistoryModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_days.size() ? createIndex(row, 0, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0 || parent.row() >= m_days.size())
        return {};
    if (row >= m_days[parent.row()].visits.size())
        return {};
    return createIndex(row, 0, quintptr(parent.row() + 1));
}

QModelIndex InternetHistoryModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int InternetHistoryModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_days.size());
    if (parent.column() != 0 || parent.internalId() != 0 || parent.row() >= m_days.size())
        return 0;
    return int(m_days[parent.row()].visits.size());
}

int InternetHistoryModel::columnCount(const QModelIndex&) const { return 1; }

QVariant InternetHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const bool isDay = index.internalId() == 0;
    const QELSafariHistoryItem* visit = visitAt(index);
    if (!isDay && !visit)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return isDay ? m_days[index.row()].name : visit->title();
    case Qt::ToolTipRole:
        return isDay ? QVariant() : QVariant(PlainText::toolTip(visit->address()));
    case Qt::DecorationRole:
        // A day always holds visits: the folder picture, as for a folder with children.
        return isDay ? m_folderIcon : m_bookmarkIcon;
    case AddressRole:
        return isDay ? QVariant() : QVariant(PlainText::toolTip(visit->address()));
    case IsDayRole:
        return isDay;
    default:
        return {};
    }
}
