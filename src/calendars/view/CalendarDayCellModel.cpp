// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarDayCellModel.h"

#include <QMimeData>

#include "LRCalendarView.h"
#include "PlainText.h"

CalendarDayCellModel::CalendarDayCellModel(LRCalendarView* grid, QObject* parent)
    : QAbstractListModel(parent)
    , m_grid(grid)
{
}

void CalendarDayCellModel::reload(const QDate& day, bool weekView, bool acceptsDrops)
{
    beginResetModel();
    m_date = day;
    m_weekView = weekView;
    m_acceptsDrops = acceptsDrops;
    m_entries = m_grid->dayMap().entriesForDate(day);
    m_entryCount = int(m_entries.size());
    endResetModel();
}

const CalendarEntry* CalendarDayCellModel::entryAt(int row) const
{
    if (row < 1 || row > int(m_entries.size()))
        return nullptr;
    return m_entries[size_t(row - 1)].get();
}

int CalendarDayCellModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_entryCount + 1;
}

QVariant CalendarDayCellModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (index.row() == 0) {
        if (role == Qt::DisplayRole)
            return QString::number(m_date.day());
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    const CalendarEntry* entry = entryAt(index.row());
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return entry->displayText(m_weekView);
    case Qt::ToolTipRole:
        return PlainText::toolTip(entry->title);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignTop);
    default:
        return {};
    }
}

Qt::ItemFlags CalendarDayCellModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return m_acceptsDrops ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    if (index.row() == 0)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_acceptsDrops)
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList CalendarDayCellModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* CalendarDayCellModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || indexes.first().row() == 0 || !entryAt(indexes.first().row()))
        return nullptr;
    const int row = indexes.first().row();
    // The drop moves the grid's selection, so the dragged entry becomes it.
    m_grid->setSelectedEventToDateAndIndex(m_date, row);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kMimeType), QByteArray::number(row));
    return data;
}

bool CalendarDayCellModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                           int column, const QModelIndex& parent) const
{
    (void)action;
    (void)column;
    if (!m_acceptsDrops || !data || !data->hasFormat(QString::fromLatin1(kMimeType)))
        return false;
    // Only between rows (or below the last), never above the day number and
    // never onto a row itself.
    return !parent.isValid() && row != 0;
}

bool CalendarDayCellModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                        int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    m_grid->moveSelectedEventToDate(m_date);
    return true;
}
