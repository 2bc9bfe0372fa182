#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

class QPainter;

// Drawing helpers over QPainterPath: rounded rectangles with a choice of
// corners, the outline of a stroke, an inner shadow, a blurred copy and a
// stroke kept inside the path. Coordinates are Qt's (y grows downwards); the
// corner bits name the corners as they appear on screen.
namespace QELBezierPath {

enum Corner : int {
    kCornerTopLeft = 1,
    kCornerBottomLeft = 2,
    kCornerTopRight = 4,
    kCornerBottomRight = 8,
    kAllCorners = 15,
};

// A shadow as the drawing helpers take it: colour, blur radius (points) and offset.
struct Shadow {
    QColor color = QColor(0, 0, 0, 85);
    qreal blurRadius = 0;
    QPointF offset;
};

// A closed rounded rectangle; the radius is cut to half the shorter side.
// Corners whose bit is clear stay square.
QPainterPath bezierPathWithRoundedRectCornerRadiusInCorners(const QRectF& rect, float radius,
                                                            int corners);
QPainterPath bezierPathWithRoundedRectCornerRadius(const QRectF& rect, float radius);

// The outline of `path` stroked at `width`, as a fillable path.
QPainterPath pathWithStrokeWidth(const QPainterPath& path, qreal width);

// Draws `shadow` inside `path`, as if the area around the path cast it.
void fillWithInnerShadow(QPainter& painter, const QPainterPath& path, const Shadow& shadow);

// Draws a blurred copy of the path's filled shape in `color`.
void drawBlurWithColorRadius(QPainter& painter, const QPainterPath& path, const QColor& color,
                             qreal radius);

// Strokes only the part of the line inside the path: twice the pen's width,
// clipped to the path (and to `within` when it is not empty). The painter's
// pen is left as it was.
void strokeInside(QPainter& painter, const QPainterPath& path, const QPen& pen);
void strokeInsideWithinRect(QPainter& painter, const QPainterPath& path, const QPen& pen,
                            const QRectF& within);

// Blurs an image in place (three box passes approximating a Gaussian of the
// given radius, in the image's own pixels). Exposed for the tests.
void blurImage(QImage& image, qreal radiusPixels);

} // namespace QELBezierPath
