#include "QELBezierPath.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>

namespace {

// One horizontal or vertical box pass over an 8-bit alpha image.
void boxPass(uchar* data, int width, int height, qsizetype stride, int radius, bool horizontal)
{
    const int length = horizontal ? width : height;
    const int lines = horizontal ? height : width;
    std::vector<int> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> uchar& {
            return horizontal ? data[l * stride + i] : data[i * stride + l];
        };
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = at(i);
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += line[static_cast<size_t>(std::clamp(i, 0, length - 1))];
        for (int i = 0; i < length; ++i) {
            at(i) = static_cast<uchar>(sum / window);
            sum += line[static_cast<size_t>(std::min(i + radius + 1, length - 1))];
            sum -= line[static_cast<size_t>(std::max(i - radius, 0))];
        }
    }
}

// Paints `mask` (alpha) in `color` through the painter, at `topLeft` (logical).
void drawColoredMask(QPainter& painter, const QImage& mask, const QColor& color,
                     const QPointF& topLeft)
{
    QImage colored(mask.size(), QImage::Format_ARGB32_Premultiplied);
    colored.setDevicePixelRatio(mask.devicePixelRatio());
    colored.fill(color);
    {
        QPainter p(&colored);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
    }
    painter.drawImage(topLeft, colored);
}

qreal ratioOf(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    return device ? std::max<qreal>(1.0, device->devicePixelRatioF()) : 1.0;
}

} // namespace

namespace QELBezierPath {

QPainterPath bezierPathWithRoundedRectCornerRadiusInCorners(const QRectF& rect, float radius,
                                                            int corners)
{
    const qreal r =
        std::max<qreal>(0.0, std::min<qreal>(radius, std::min(rect.width(), rect.height()) / 2.0));
    const QRectF inner = rect.adjusted(r, r, -r, -r);
    QPainterPath path;
    bool started = false;
    auto point = [&](const QPointF& p) {
        if (started) {
            path.lineTo(p);
        } else {
            path.moveTo(p);
            started = true;
        }
    };
    // An arc of radius r around `centre` from `start` degrees, a quarter turn
    // counter-clockwise on screen.
    auto arc = [&](const QPointF& centre, qreal start) {
        const qreal a = qDegreesToRadians(start);
        point(QPointF(centre.x() + r * std::cos(a), centre.y() - r * std::sin(a)));
        path.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), start, 90);
    };
    // Bottom-left, bottom-right, top-right, top-left: once round the rectangle.
    if (corners & kCornerBottomLeft)
        arc(QPointF(inner.left(), inner.bottom()), 180);
    else
        point(rect.bottomLeft());
    if (corners & kCornerBottomRight)
        arc(QPointF(inner.right(), inner.bottom()), 270);
    else
        point(rect.bottomRight());
    if (corners & kCornerTopRight)
        arc(QPointF(inner.right(), inner.top()), 0);
    else
        point(rect.topRight());
    if (corners & kCornerTopLeft)
        arc(QPointF(inner.left(), inner.top()), 90);
    else
        point(rect.topLeft());
    path.closeSubpath();
    return path;
}

QPainterPath bezierPathWithRoundedRectCornerRadius(const QRectF& rect, float radius)
{
    return bezierPathWithRoundedRectCornerRadiusInCorners(rect, radius, kAllCorners);
}

QPainterPath pathWithStrokeWidth(const QPainterPath& path, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    return stroker.createStroke(path).simplified();
}

void blurImage(QImage& image, qreal radiusPixels)
{
    const int radius = static_cast<int>(std::lround(radiusPixels / 2.0));
    if (radius <= 0 || image.isNull())
        return;
    if (image.format() != QImage::Format_Alpha8)
        image = image.convertToFormat(QImage::Format_Alpha8);
    uchar* bits = image.bits();
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(bits, image.width(), image.height(), image.bytesPerLine(), radius, true);
        boxPass(bits, image.width(), image.height(), image.bytesPerLine(), radius, false);
    }
}

void fillWithInnerShadow(QPainter& painter, const QPainterPath& path, const Shadow& shadow)
{
    if (path.isEmpty() || !shadow.color.isValid())
        return;
    const qreal dpr = ratioOf(painter);
    const qreal grow = shadow.blurRadius + 1.0;
    const QRectF area = path.boundingRect().adjusted(
        -grow - std::abs(shadow.offset.x()), -grow - std::abs(shadow.offset.y()),
        grow + std::abs(shadow.offset.x()), grow + std::abs(shadow.offset.y()));
    // The mask is everything around the path, moved by the offset, then blurred:
    // what of it falls inside the path is the inner shadow.
    QImage mask((area.size() * dpr).toSize() + QSize(1, 1), QImage::Format_Alpha8);
    mask.setDevicePixelRatio(dpr);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath around;
        around.setFillRule(Qt::OddEvenFill);
        around.addRect(QRectF(QPointF(0, 0), area.size()).adjusted(-grow, -grow, grow, grow));
        around.addPath(path.translated(-area.topLeft() + shadow.offset));
        p.fillPath(around, Qt::black);
    }
    blurImage(mask, shadow.blurRadius * dpr);
    mask.setDevicePixelRatio(dpr);
    painter.save();
    painter.setClipPath(path, Qt::IntersectClip);
    drawColoredMask(painter, mask, shadow.color, area.topLeft());
    painter.restore();
}

void drawBlurWithColorRadius(QPainter& painter, const QPainterPath& path, const QColor& color,
                             qreal radius)
{
    if (path.isEmpty())
        return;
    const qreal dpr = ratioOf(painter);
    const QRectF area = path.boundingRect().adjusted(-radius, -radius, radius, radius);
    QImage mask((area.size() * dpr).toSize() + QSize(1, 1), QImage::Format_Alpha8);
    mask.setDevicePixelRatio(dpr);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(path.translated(-area.topLeft()), Qt::black);
    }
    blurImage(mask, radius * dpr);
    mask.setDevicePixelRatio(dpr);
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    drawColoredMask(painter, mask, color, area.topLeft());
    painter.restore();
}

void strokeInside(QPainter& painter, const QPainterPath& path, const QPen& pen)
{
    strokeInsideWithinRect(painter, path, pen, QRectF());
}

void strokeInsideWithinRect(QPainter& painter, const QPainterPath& path, const QPen& pen,
                            const QRectF& within)
{
    painter.save();
    QPen doubled(pen);
    doubled.setWidthF(pen.widthF() * 2.0);
    painter.setClipPath(path, Qt::IntersectClip);
    if (within.width() > 0 && within.height() > 0)
        painter.setClipRect(within, Qt::IntersectClip);
    painter.strokePath(path, doubled);
    painter.restore();
}

} // namespace QELBezierPath
