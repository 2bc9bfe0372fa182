// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <functional>
#include <memory>

#include <QDateTime>
#include <QWidget>

#include "CalendarDayMap.h"

class LRCalendarDayCell;
class QLabel;
class QPushButton;

// A calendar widget: one month (four to six weeks) or one week of day cells
// under the month's title, three navigation buttons and the weekday names.
// Callers hand it entries (a title, a start, an end, a colour, an all-day
// flag and an object of their own); it files them by day, shows them, lets
// the user select them and drag them to another day. Main thread.
class LRCalendarView : public QWidget {
    Q_OBJECT
public:
    explicit LRCalendarView(QWidget* parent = nullptr);
    ~LRCalendarView() override;

    bool addObject(std::shared_ptr<const void> object, const QString& title, const QDateTime& start,
                   const QDateTime& end, const QColor& color, bool allDay);
    // Files many entries at once; drawn at the next drawCalendar().
    void addEntries(const QList<CalendarEntry>& entries);
    // Takes the entries of a map filled elsewhere (a load's worker), in place
    // of those it had; drawn at the next drawCalendar(). The selection stays.
    void setDayMap(CalendarDayMap map);
    // Empties the day map and redraws.
    void removeAllObjects();
    const CalendarDayMap& dayMap() const { return m_dayMap; }

    // Lays out and refills every cell for the focus day and mode.
    void drawCalendar();
    QDateTime focusDate() const { return m_focusDate; }
    // Moves the focus (the layout is not redone) and tints the cells anew.
    void setFocusDate(const QDateTime& date);
    void setHiddenWeekends(bool hidden);
    bool hiddenWeekends() const { return m_hideWeekends; }
    void setWeeklyView();
    void setMonthlyView();
    bool weeklyView() const { return m_currentView == 2; }
    bool monthlyView() const { return m_currentView == 1; }

    // Selection, as the day cells report it.
    void setSelectedEventToDateAndIndex(const QDate& day, int row);
    void selectObjectWithDate(const void* object, const QDate& day);
    void deselectAll();
    // Clears the selection of every day cell but `keep` (none: every cell).
    void deselectAllExceptForDate(const LRCalendarDayCell* keep);
    QString selectedTitle() const { return m_dayMap.selectedTitle(); }
    QDate selectedDate() const { return m_dayMap.selectedDate(); }
    std::shared_ptr<const void> selectedObject() const { return m_dayMap.selectedObject(); }
    void tableViewSelectionDidChange();
    // Moves the selected entry to `day`, keeping its time of day.
    void moveSelectedEventToDate(const QDate& day);

    // The buttons' action: "<" and ">" step back and forward, anything else
    // (the today button) goes to now.
    void changeDateIncrementally(const QString& label);

    // The clock of today's tint and the today button (tests fix it); the
    // focus moves to its today.
    void setNow(std::function<QDateTime()> now);

    // The 42 cells, numbered row by row; those beyond the rows in use are hidden.
    LRCalendarDayCell* cell(int number) const { return m_cells[size_t(number)]; }
    // The shown cell of a day, or none.
    LRCalendarDayCell* cellForDate(const QDate& day) const;
    QPushButton* leftButton() const { return m_leftButton; }
    QPushButton* rightButton() const { return m_rightButton; }
    QPushButton* todayButton() const { return m_todayButton; }
    QLabel* currentMonthField() const { return m_currentMonthField; }
    QLabel* weekdayField(int weekday) const { return m_weekdayFields[size_t(weekday)]; }

signals:
    void selectionDidChange();
    void eventDidMove();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void colorCells();
    void reselect();

    CalendarDayMap m_dayMap;
    QDateTime m_focusDate;
    bool m_hideWeekends = false;
    int m_currentView = 1;
    std::function<QDateTime()> m_now;
    std::array<LRCalendarDayCell*, 42> m_cells{};
    QPushButton* m_leftButton = nullptr;
    QPushButton* m_rightButton = nullptr;
    QPushButton* m_todayButton = nullptr;
    QLabel* m_currentMonthField = nullptr;
    std::array<QLabel*, 7> m_weekdayFields{};
    bool m_redrawQueued = false;
};
