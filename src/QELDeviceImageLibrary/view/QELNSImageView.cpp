// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNSImageView.h"

#include <QMouseEvent>
#include <QPainter>

#include "QELNSImageViewDelegate.h"

QELNSImageView::QELNSImageView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fullSizeImageView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void QELNSImageView::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void QELNSImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1e, 0x1f, 0x22));
    if (m_image.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QSize size = m_image.size();
    // Shown at its own size when it fits, scaled down when it does not.
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    const QRect target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                       size.height());
    painter.drawImage(target, m_image);
}

void QELNSImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (m_delegate)
        m_delegate->OnImageViewDoubleClicked();
}

void QELNSImageView::mouseReleaseEvent(QMouseEvent* event)
{
    // Single clicks do nothing, and are not passed on.
    event->accept();
}
