// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// The look of one book of the grid: its cover over its title in a box with
// rounded corners (radius 8) and no border, filled light blue (0.8, 0.8,
// 1.0) with a black border when selected, in the control background otherwise.
class QELBookCollectionViewItem : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kCoverWidth = 96;
    static constexpr int kCoverHeight = 128;
    static constexpr int kItemWidth = 136;
    static constexpr int kItemHeight = 184;

    explicit QELBookCollectionViewItem(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
