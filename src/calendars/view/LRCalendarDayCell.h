// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QListView>
#include <QPointer>

class CalendarDayCellDelegate;
class CalendarDayCellModel;
class LRCalendarView;

// One day of the calendar grid: a one-column list of the day's number and its
// entries, scrolling on its own. Selecting an entry makes it the grid's
// selection; an entry can be dragged to another day. The grid makes 42 of
// them once and re-dates them at every drawing. Main thread.
class LRCalendarDayCell : public QListView {
    Q_OBJECT
public:
    explicit LRCalendarDayCell(LRCalendarView* grid);

    // Shows a day in the grid's mode; a day outside the focus month neither
    // takes drops nor starts drags.
    void setDate(const QDate& day, int viewType, bool dayEnabled);
    const QDate& date() const { return m_date; }
    int currentViewType() const { return m_viewType; }
    bool isDayEnabled() const { return m_dayEnabled; }
    LRCalendarView* superView() const { return m_grid; }
    CalendarDayCellModel* dayModel() const { return m_model; }

    void setBackgroundColor(const QColor& colour);
    // Selects row `row` (an entry), replacing the selection.
    void selectRow(int row);
    bool hasSelectedRow() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void handleSelectionChanged();

    QPointer<LRCalendarView> m_grid;
    CalendarDayCellModel* m_model;
    CalendarDayCellDelegate* m_delegate;
    QDate m_date;
    int m_viewType = 1;
    bool m_dayEnabled = true;
};
