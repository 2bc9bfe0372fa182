// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELAddressBookImage.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace {

// Whether a name gives an initial: set and not only blanks.
bool givesInitial(const QString& name) { return !name.trimmed().isEmpty(); }

// The first character of the name, a surrogate pair kept whole.
QString firstCharacter(const QString& name)
{
    if (name.size() >= 2 && name.at(0).isHighSurrogate() && name.at(1).isLowSurrogate())
        return name.left(2);
    return name.left(1);
}

} // namespace

QColor QELAddressBookImage::backgroundColor()
{
    // Two thirds white, the system's light grey.
    return QColor(170, 170, 170);
}

QImage QELAddressBookImage::decodePicture(const QByteArray& bytes, int side)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    // Four times the side keeps the scaling sharp; the JPEG decoder reaches
    // such a size without decoding every pixel.
    const int enough = std::max(side, 1) * 4;
    if (full.isValid() && std::min(full.width(), full.height()) > enough * 2)
        reader.setScaledSize(full.scaled(enough, enough, Qt::KeepAspectRatioByExpanding));
    QImage image = reader.read();
    return image;
}

QImage QELAddressBookImage::generateAddressBookImageWithFirstNameSecondNameContactImageSize(
    const QString& firstName, const QString& secondName, const QImage& contactImage, double size)
{
    const int side = std::max(1, int(size));
    const double s = side;
    QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, s, s));
    painter.setClipPath(circle);
    painter.fillRect(QRectF(0, 0, s, s), backgroundColor());

    if (!contactImage.isNull()) {
        const double w = contactImage.width();
        const double h = contactImage.height();
        // The centred square; halves stay fractions.
        const QRectF square = h < w ? QRectF((w - h) / 2, 0, h, h) : QRectF(0, (h - w) / 2, w, w);
        painter.drawImage(QRectF(0, 0, s, s), contactImage, square);
        return picture;
    }

    QString initials;
    if (givesInitial(firstName))
        initials += firstCharacter(firstName);
    if (givesInitial(secondName))
        initials += firstCharacter(secondName);
    initials = initials.toUpper();
    if (initials.trimmed().isEmpty())
        return picture;
    QFont font(QStringLiteral("Helvetica"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, int(std::lround(s / 2))));
    painter.setFont(font);
    painter.setPen(Qt::white);
    // Centred on the capitals, whatever font stands in for Helvetica.
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(initials);
    const double baseline = (s + metrics.capHeight()) / 2;
    painter.drawText(QPointF((s - width) / 2, baseline), initials);
    return picture;
}
