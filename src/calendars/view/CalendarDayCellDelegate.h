// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

class CalendarDayCellModel;

// Paints the rows of a day cell: the day number right-aligned; all-day
// entries on their colour in white, week-view timed entries on their colour
// at alpha 0.7 in white, month-view timed entries in their colour; selected
// rows in white on the selection. Rows are as high as the day cell's rule.
class CalendarDayCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CalendarDayCellDelegate(const CalendarDayCellModel* model, QObject* parent = nullptr);

    // "Lucida Grande" at 12, or what the system puts in its place.
    static QFont rowFont();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setWeekView(bool weekView) { m_weekView = weekView; }

private:
    const CalendarDayCellModel* m_model;
    bool m_weekView = false;
};
