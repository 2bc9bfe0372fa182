// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBookCollectionViewItem.h"

#include <QPainter>
#include <QPainterPath>

QELBookCollectionViewItem::QELBookCollectionViewItem(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QSize QELBookCollectionViewItem::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {kItemWidth, kItemHeight};
}

void QELBookCollectionViewItem::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF box = QRectF(option.rect).adjusted(2.5, 2.5, -2.5, -2.5);
    QPainterPath path;
    path.addRoundedRect(box, 8.0, 8.0);
    if (option.state.testFlag(QStyle::State_Selected)) {
        painter->fillPath(path, QColor::fromRgbF(0.8f, 0.8f, 1.0f, 1.0f));
        painter->setPen(QPen(Qt::black, 1));
        painter->drawPath(path);
    } else {
        painter->fillPath(path, option.palette.color(QPalette::Base));
    }

    const QImage cover = index.data(Qt::DecorationRole).value<QImage>();
    const QRect coverArea(option.rect.center().x() - kCoverWidth / 2, option.rect.top() + 8,
                          kCoverWidth, kCoverHeight);
    if (!cover.isNull()) {
        const QSize size = cover.size().scaled(coverArea.size(), Qt::KeepAspectRatio);
        // Covers stand on the same line, whatever their shape.
        const QRect target(coverArea.center().x() - size.width() / 2,
                           coverArea.bottom() - size.height() + 1, size.width(), size.height());
        painter->fillRect(target.translated(2, 2), QColor(0, 0, 0, 40));
        painter->drawImage(target, cover);
    }
    const QRect textRect(option.rect.left() + 6, coverArea.bottom() + 6, option.rect.width() - 12,
                         option.rect.bottom() - coverArea.bottom() - 10);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString title = index.data(Qt::DisplayRole).toString();
    // Two lines at most; the second ends in an ellipsis when the title is longer.
    const QFontMetrics& metrics = option.fontMetrics;
    QString shown = title;
    if (metrics.boundingRect(textRect, Qt::AlignHCenter | Qt::TextWordWrap, title).height()
        > 2 * metrics.lineSpacing())
        shown = metrics.elidedText(title, Qt::ElideRight,
                                   textRect.width() * 2 - metrics.averageCharWidth() * 2);
    painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, shown);
    painter->restore();
}
