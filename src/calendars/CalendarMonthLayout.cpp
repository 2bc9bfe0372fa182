// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarMonthLayout.h"

#include <cmath>

namespace {

// Qt numbers the weekdays 1 (Monday) to 7 (Sunday).
QDate sundayOnOrBefore(const QDate& day) { return day.addDays(-(day.dayOfWeek() % 7)); }

} // namespace

CalendarMonthLayout::CalendarMonthLayout(const QDate& focus, bool weekView, bool hideWeekends,
                                         float width, float height)
    : m_focus(focus)
    , m_weekView(weekView)
    , m_hideWeekends(hideWeekends)
    , m_width(width)
    , m_height(height)
{
    if (weekView) {
        m_firstDay = sundayOnOrBefore(focus);
        m_rows = 1;
    } else {
        const QDate first(focus.year(), focus.month(), 1);
        m_firstDay = sundayOnOrBefore(first);
        m_rows = 0;
        for (QDate d = m_firstDay; d < first || d.month() == focus.month(); d = d.addDays(7))
            ++m_rows;
    }
    m_cellWidth = m_width / float(columns());
    m_cellHeight = (m_height - kHeaderHeight) / float(m_rows);
    m_shift = hideWeekends ? std::trunc(m_cellWidth) : 0.0f;
}

QRectF CalendarMonthLayout::previousButtonFrame() const
{
    return {m_width - 104, m_height - 25, 20, 20};
}

QRectF CalendarMonthLayout::nextButtonFrame() const
{
    return {m_width - 81, m_height - 25, 20, 20};
}

QRectF CalendarMonthLayout::todayButtonFrame() const
{
    return {m_width - 53, m_height - 25, 50, 20};
}

QRectF CalendarMonthLayout::monthFieldFrame(float fieldHeight) const
{
    const QRectF today = todayButtonFrame();
    return {10, today.center().y() - fieldHeight / 2, previousButtonFrame().x(), 18};
}

QRectF CalendarMonthLayout::weekdayFrame(int weekday) const
{
    return {float(weekday) * m_cellWidth - m_shift, m_height - kHeaderHeight, m_cellWidth + 1, 20};
}

QRectF CalendarMonthLayout::cellFrame(int cell) const
{
    const int row = cell / 7;
    const int col = cell % 7;
    return {float(col) * m_cellWidth - m_shift, float(m_rows - 1 - row) * m_cellHeight,
            m_cellWidth + 1, m_cellHeight + 1};
}

bool CalendarMonthLayout::isCellEnabled(int cell) const
{
    const QDate day = cellDate(cell);
    return day.month() == m_focus.month() && day.year() == m_focus.year();
}

QColor CalendarMonthLayout::cellColor(const QDate& day, const QDate& focus, const QDate& today,
                                      bool weekView)
{
    if (!weekView && (day.month() != focus.month() || day.year() != focus.year()))
        return QColor::fromRgbF(0.96f, 0.96f, 0.96f, 1.0f);
    if (day == today)
        return QColor::fromRgbF(0.92f, 0.95f, 0.98f, 0.9f);
    if (day == focus)
        return QColor::fromRgbF(0.92f, 0.95f, 0.98f, 1.0f);
    return Qt::white;
}

QRectF CalendarMonthLayout::toTopLeft(const QRectF& frame, float height)
{
    return {frame.x(), double(height) - frame.y() - frame.height(), frame.width(), frame.height()};
}
