#!/usr/bin/env bash
# Draws the five small pictures of the call-log page (our own artwork) into
# this folder: made.png, received.png, missed.png, unanswered.png and
# videocamera.png. Run once by hand after changing a picture; the PNG files
# are committed. Needs g++ and Qt 6 (qt6-base-dev).
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/draw.cpp" <<'CPP'
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kSize = 20;

QImage canvas()
{
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A handset-free arrow from one corner to the other, its head at `to`.
void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    QPen pen(colour, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(from, to);
    const QPointF d = (from - to) / 2.2;
    p.drawLine(to, to + QPointF(d.x(), 0));
    p.drawLine(to, to + QPointF(0, d.y()));
}

// A small palette (each ink in eight strengths) keeps each picture small: it
// is repeated on every line of a long page.
void save(const QImage& image, const char* name, const QList<QColor>& inks)
{
    QList<QRgb> table;
    for (const QColor& ink : inks) {
        for (int level = 0; level < 8; ++level)
            table << qRgba(ink.red(), ink.green(), ink.blue(), level * 255 / 7);
    }
    image.convertToFormat(QImage::Format_ARGB32)
        .convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither)
        .save(QString::fromLatin1(name), "PNG", 9);
}

QImage drawArrow(bool outgoing, const QColor& colour, bool crossed)
{
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (outgoing)
        arrow(p, QPointF(4, 16), QPointF(15, 5), colour);
    else
        arrow(p, QPointF(16, 4), QPointF(5, 15), colour);
    if (crossed) {
        p.setPen(QPen(colour.darker(130), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 13), QPointF(17, 18));
        p.drawLine(QPointF(17, 13), QPointF(12, 18));
    }
    return image;
}

QImage drawCamera()
{
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x4a, 0x5c));
    p.drawRoundedRect(QRectF(1.5, 5.5, 11, 9), 2, 2);
    QPainterPath lens;
    lens.moveTo(13, 9);
    lens.lineTo(18.5, 6);
    lens.lineTo(18.5, 14);
    lens.lineTo(13, 11);
    lens.closeSubpath();
    p.drawPath(lens);
    p.setBrush(QColor(0xd8, 0xe4, 0xf0));
    p.drawEllipse(QPointF(5, 8.5), 1.3, 1.3);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QColor made(0x2e, 0x8b, 0x3e), received(0x1f, 0x5f, 0xb8), missed(0xc6, 0x28, 0x28),
        unanswered(0xd9, 0x7a, 0x00), body(0x3a, 0x4a, 0x5c), light(0xd8, 0xe4, 0xf0);
    save(drawArrow(true, made, false), "made.png", {made});
    save(drawArrow(false, received, false), "received.png", {received});
    save(drawArrow(false, missed, true), "missed.png", {missed, missed.darker(130)});
    save(drawArrow(true, unanswered, true), "unanswered.png", {unanswered, unanswered.darker(130)});
    save(drawCamera(), "videocamera.png", {body, light});
    return 0;
}
CPP
g++ -std=c++17 -fPIC "$work/draw.cpp" -o "$work/draw" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/draw"
