// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELImageButton.h"

#include <QPainter>

#include "AppImages.h"

QELImageButton::QELImageButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void QELImageButton::setImage(const QString& fileName)
{
    m_image = fileName;
    m_imageIcon = AppImages::icon(AppImages::nameOfImageFile(fileName));
    update();
}

void QELImageButton::setAlternateImage(const QString& fileName)
{
    m_alternateImage = fileName;
    m_alternateIcon = AppImages::icon(AppImages::nameOfImageFile(fileName));
    update();
}

QSize QELImageButton::sizeHint() const { return {40, 40}; }

void QELImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QIcon& icon = isDown() && !m_alternateIcon.isNull() ? m_alternateIcon : m_imageIcon;
    if (!isEnabled())
        painter.setOpacity(0.4);
    const int side = std::min(width(), height());
    const QRect square((width() - side) / 2, (height() - side) / 2, side, side);
    icon.paint(&painter, square);
    if (hasFocus()) {
        painter.setOpacity(0.6);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(square.adjusted(1, 1, -1, -1));
    }
}
