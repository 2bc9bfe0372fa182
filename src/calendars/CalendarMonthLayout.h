// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDate>
#include <QRectF>

// Where the calendar grid puts its title, buttons, weekday labels and day
// cells for a focus day, a view type and a size W x H, and how it tints each
// cell. Frames are in the grid's own coordinates, origin at the bottom left
// (toTopLeft() turns them into a widget's). Pure: the grid widget draws it.
class CalendarMonthLayout {
public:
    static constexpr int kCellCount = 42;
    static constexpr float kHeaderHeight = 51.0f;

    CalendarMonthLayout(const QDate& focus, bool weekView, bool hideWeekends, float width,
                        float height);

    // The Sunday on or before the first day of the focus month (week view:
    // of the focus day).
    QDate firstDay() const { return m_firstDay; }
    // Sunday-to-Saturday weeks shown: 4 to 6 in the month view, 1 in the week view.
    int rows() const { return m_rows; }
    int columns() const { return m_hideWeekends ? 5 : 7; }
    float cellWidth() const { return m_cellWidth; }
    float cellHeight() const { return m_cellHeight; }
    // How far the columns move left when the weekends are hidden.
    float shift() const { return m_shift; }

    QRectF previousButtonFrame() const;
    QRectF nextButtonFrame() const;
    QRectF todayButtonFrame() const;
    // The title's frame for a field currently `fieldHeight` high.
    QRectF monthFieldFrame(float fieldHeight) const;
    // Weekday label 0 (Sunday) to 6 (Saturday).
    QRectF weekdayFrame(int weekday) const;

    // Cell 0 to 41, row by row from the top; cells beyond the rows in use are
    // not shown.
    bool isCellShown(int cell) const { return cell >= 0 && cell < m_rows * 7; }
    QDate cellDate(int cell) const { return m_firstDay.addDays(cell); }
    QRectF cellFrame(int cell) const;
    // Only the days of the focus month take clicks and drops.
    bool isCellEnabled(int cell) const;

    // A day cell's background: grey for another month in the month view, a
    // light blue for today (alpha 0.9) and the focus day, else white.
    static QColor cellColor(const QDate& day, const QDate& focus, const QDate& today,
                            bool weekView);

    // A frame of origin bottom-left in a grid `height` high, origin top-left.
    static QRectF toTopLeft(const QRectF& frame, float height);

private:
    QDate m_focus;
    bool m_weekView;
    bool m_hideWeekends;
    float m_width;
    float m_height;
    QDate m_firstDay;
    int m_rows = 1;
    float m_cellWidth = 0;
    float m_cellHeight = 0;
    float m_shift = 0;
};
