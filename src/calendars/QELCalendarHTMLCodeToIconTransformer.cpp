// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarHTMLCodeToIconTransformer.h"

#include <QPainter>
#include <QRegularExpression>

QColor QELCalendarHTMLCodeToIconTransformer::colorFromHTMLCode(const QString& code)
{
    static const QRegularExpression valid(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!valid.match(code).hasMatch())
        return QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);
    auto component = [&code](int at) { return float(code.mid(at, 2).toInt(nullptr, 16) / 255.0); };
    return QColor::fromRgbF(component(1), component(3), component(5), 1.0f);
}

QImage QELCalendarHTMLCodeToIconTransformer::transformedValue(const QString& code)
{
    if (code.isNull())
        return {};
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(5, 5, 14, 14);
    // Stroked, then filled: the fill covers the inner half of the outline.
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.8f), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colorFromHTMLCode(code));
    painter.drawEllipse(disc);
    return image;
}
