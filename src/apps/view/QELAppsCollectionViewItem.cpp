// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAppsCollectionViewItem.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

QELAppsCollectionViewItem::QELAppsCollectionViewItem(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QImage QELAppsCollectionViewItem::placeholderIcon()
{
    static const QImage icon = [] {
        QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xc8, 0xc8, 0xc8));
        painter.drawRoundedRect(QRectF(0.5, 0.5, kIconSize - 1, kIconSize - 1), 12, 12);
        return image;
    }();
    return icon;
}

QSize QELAppsCollectionViewItem::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {kItemWidth, kItemHeight};
}

void QELAppsCollectionViewItem::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(option.rect).adjusted(2.5, 2.5, -2.5, -2.5);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QPainterPath path;
    path.addRoundedRect(box, 8.0, 8.0);
    if (selected) {
        painter->fillPath(path, QColor::fromRgbF(0.8f, 0.8f, 1.0f, 1.0f));
        painter->setPen(QPen(Qt::black, 1));
        painter->drawPath(path);
    } else {
        const QColor background = option.palette.color(QPalette::Base);
        painter->fillPath(path, background);
    }
    QImage icon = index.data(Qt::DecorationRole).value<QImage>();
    if (icon.isNull())
        icon = placeholderIcon();
    const QRect iconRect(option.rect.center().x() - kIconSize / 2, option.rect.top() + 8, kIconSize,
                         kIconSize);
    painter->drawImage(
        iconRect, icon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const QRect textRect(option.rect.left() + 6, iconRect.bottom() + 4, option.rect.width() - 12,
                         option.rect.bottom() - iconRect.bottom() - 8);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                       Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, name);
    painter->restore();
}
