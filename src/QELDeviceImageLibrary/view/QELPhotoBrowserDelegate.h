// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QStyledItemDelegate>

// Paints a photo browser cell: the thumbnail centred in its cell (a grey
// square while it loads), a play mark on videos, and the favourite and
// iCloud badges where PhotoBadgeGeometry puts them. Painting only.
class QELPhotoBrowserDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit QELPhotoBrowserDelegate(QObject* parent = nullptr);

    static constexpr int kCell = 132;
    static constexpr int kThumbnail = 120;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QImage m_favourite;
    QImage m_iCloud;
};
