// SPDX-License-Identifier: GPL-3.0-or-later
#include "LRCalendarDayCell.h"

#include <QItemSelectionModel>
#include <QMouseEvent>

#include "CalendarDayCellDelegate.h"
#include "CalendarDayCellModel.h"
#include "LRCalendarView.h"

LRCalendarDayCell::LRCalendarDayCell(LRCalendarView* grid)
    : QListView(grid)
    , m_grid(grid)
    , m_model(new CalendarDayCellModel(grid, this))
    , m_delegate(new CalendarDayCellDelegate(m_model, this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setFont(CalendarDayCellDelegate::rowFont());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    setFocusPolicy(Qt::ClickFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDragDropOverwriteMode(false);
    viewport()->setAutoFillBackground(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LRCalendarDayCell::handleSelectionChanged);
}

void LRCalendarDayCell::setDate(const QDate& day, int viewType, bool dayEnabled)
{
    m_date = day;
    m_viewType = viewType;
    m_dayEnabled = dayEnabled;
    m_delegate->setWeekView(viewType == 2);
    m_model->reload(day, viewType == 2, dayEnabled);
}

void LRCalendarDayCell::setBackgroundColor(const QColor& colour)
{
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, colour);
    viewport()->setPalette(p);
}

void LRCalendarDayCell::selectRow(int row)
{
    selectionModel()->select(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

bool LRCalendarDayCell::hasSelectedRow() const { return selectionModel()->hasSelection(); }

void LRCalendarDayCell::handleSelectionChanged()
{
    viewport()->update();
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    if (!m_grid || rows.isEmpty() || rows.first().row() < 1)
        return;
    m_grid->setSelectedEventToDateAndIndex(m_date, rows.first().row());
    m_grid->tableViewSelectionDidChange();
}

void LRCalendarDayCell::mousePressEvent(QMouseEvent* event)
{
    if (!m_grid)
        return;
    // A grid redraw below may re-date this very cell; hold on to the day.
    const QDate day = m_date;
    const QDate focus = m_grid->focusDate().date();
    const bool otherMonth =
        m_viewType == 1 && (day.month() != focus.month() || day.year() != focus.year());
    if (otherMonth) {
        // A click on an entry of a neighbouring month's day selects it there,
        // and so moves the grid to that month.
        const QModelIndex index = indexAt(event->position().toPoint());
        const CalendarEntry* entry = index.isValid() ? m_model->entryAt(index.row()) : nullptr;
        if (entry) {
            const void* object = entry->object.get();
            m_grid->selectObjectWithDate(object, day);
            m_grid->drawCalendar();
        }
        return;
    }
    m_grid->setFocusDate(QDateTime(day, QTime(0, 0), Qt::LocalTime));
    m_grid->drawCalendar();
    QListView::mousePressEvent(event);
    m_grid->deselectAllExceptForDate(this);
    if (!hasSelectedRow())
        m_grid->deselectAll();
}
