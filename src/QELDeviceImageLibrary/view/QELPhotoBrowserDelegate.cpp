// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELPhotoBrowserDelegate.h"

#include <QPainter>
#include <QPainterPath>

#include "PhotoBadgeGeometry.h"
#include "QELPhotoBrowserModel.h"

QELPhotoBrowserDelegate::QELPhotoBrowserDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_favourite(QStringLiteral(":/photos/favoriteRed.svg"))
    , m_iCloud(QStringLiteral(":/photos/iCloudDownload.svg"))
{
}

QSize QELPhotoBrowserDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(kCell, kCell);
}

void QELPhotoBrowserDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect cell = option.rect;
    if (option.state & QStyle::State_Selected)
        painter->fillRect(cell.adjusted(1, 1, -1, -1), option.palette.highlight());
    const QRect frame(cell.x() + (cell.width() - kThumbnail) / 2,
                      cell.y() + (cell.height() - kThumbnail) / 2, kThumbnail, kThumbnail);
    const QImage thumbnail = index.data(Qt::DecorationRole).value<QImage>();
    if (thumbnail.isNull()) {
        painter->fillRect(frame.adjusted(6, 6, -6, -6), QColor(0xe4, 0xe6, 0xea));
        painter->restore();
        return;
    }
    const QSize size = thumbnail.size().scaled(frame.size(), Qt::KeepAspectRatio);
    const QRect picture(frame.x() + (frame.width() - size.width()) / 2,
                        frame.y() + (frame.height() - size.height()) / 2, size.width(),
                        size.height());
    painter->drawImage(picture, thumbnail);
    if (index.data(QELPhotoBrowserModel::IsVideoRole).toBool()) {
        const QPointF c = picture.center();
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, 120));
        painter->drawEllipse(c, 14, 14);
        QPainterPath play;
        play.moveTo(c + QPointF(-5, -8));
        play.lineTo(c + QPointF(9, 0));
        play.lineTo(c + QPointF(-5, 8));
        play.closeSubpath();
        painter->fillPath(play, Qt::white);
    }
    const bool favourite = index.data(QELPhotoBrowserModel::FavoriteRole).toBool();
    const bool iCloud = index.data(QELPhotoBrowserModel::ICloudRole).toBool();
    if ((favourite || iCloud) && !m_favourite.isNull() && !m_iCloud.isNull()) {
        const PhotoBadgeGeometry::Badges badges = PhotoBadgeGeometry::badgesFor(
            picture.width(), m_favourite.size(), m_iCloud.size(), favourite, iCloud);
        auto draw = [&](const std::optional<QRectF>& rect, const QImage& badge) {
            if (rect)
                painter->drawImage(PhotoBadgeGeometry::fromBottomLeft(*rect, picture.height())
                                       .translated(picture.topLeft()),
                                   badge);
        };
        draw(badges.favourite, m_favourite);
        draw(badges.iCloud, m_iCloud);
    }
    painter->restore();
}
