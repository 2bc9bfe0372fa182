// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractListModel>
#include <QDate>

#include "CalendarEntry.h"

class LRCalendarView;

// The rows of one day cell: the day's number (not selectable, neither
// dragged nor dropped on), then the day's entries from the grid's day map.
// An entry row drags as our own MIME type; a drop above any row but the day
// number moves the grid's selected entry to this day. Main thread.
class CalendarDayCellModel : public QAbstractListModel {
    Q_OBJECT
public:
    // Stands for the private pasteboard type "CalendarDragAndDropDataType".
    static constexpr const char* kMimeType = "application/x-orvane-calendar-drag-and-drop";

    explicit CalendarDayCellModel(LRCalendarView* grid, QObject* parent = nullptr);

    // Shows `day` in the given mode and takes its entries anew.
    void reload(const QDate& day, bool weekView, bool acceptsDrops);
    const QDate& date() const { return m_date; }
    // The entry of a row, none for the day number and past the end.
    const CalendarEntry* entryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    LRCalendarView* m_grid;
    QDate m_date;
    bool m_weekView = false;
    bool m_acceptsDrops = true;
    int m_entryCount = 0;
    // The day's entries as the grid's map gave them at the last reload.
    std::vector<CalendarEntryPtr> m_entries;
};
