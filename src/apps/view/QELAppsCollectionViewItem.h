// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// The look of one app of the grid: its icon over its name in a box with
// rounded corners (radius 8), filled light blue with a black border when
// selected.
class QELAppsCollectionViewItem : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kIconSize = 57;
    static constexpr int kItemWidth = 110;
    static constexpr int kItemHeight = 100;

    explicit QELAppsCollectionViewItem(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The grey icon an app shows until its own arrives.
    static QImage placeholderIcon();
};
