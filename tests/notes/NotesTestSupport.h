// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTimeZone>
#include <QTransform>

#include "NoteStoreFixture.h"
#include "QtPrinters.h"

// Pictures and folders the notes tests share.
namespace NotesTest {

inline const QColor kTopEdge(220, 20, 20);
inline const QColor kBody(20, 20, 220);

// An upright picture whose top quarter is red, the rest blue.
inline QImage uprightPicture(int width = 64, int height = 96)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBody);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height / 4, kTopEdge);
    return image;
}

// The picture as a camera stores it before it is turned: rotated by
// `clockwise` degrees (the page has to turn it back).
inline QImage storedPicture(int clockwise, int width = 64, int height = 96)
{
    return uprightPicture(width, height).transformed(QTransform().rotate(clockwise));
}

inline QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes;
}

inline bool isRed(const QColor& c) { return c.red() > 150 && c.blue() < 100; }
inline bool isBlue(const QColor& c) { return c.blue() > 150 && c.red() < 100; }

// Where the red edge of a picture lies: "top", "bottom", "left", "right" or "".
inline QString redEdge(const QImage& image)
{
    if (image.isNull())
        return {};
    const int w = image.width();
    const int h = image.height();
    const QColor top = image.pixelColor(w / 2, h / 16);
    const QColor bottom = image.pixelColor(w / 2, h - 1 - h / 16);
    const QColor left = image.pixelColor(w / 16, h / 2);
    const QColor right = image.pixelColor(w - 1 - w / 16, h / 2);
    if (isRed(top) && isBlue(bottom))
        return QStringLiteral("top");
    if (isRed(bottom) && isBlue(top))
        return QStringLiteral("bottom");
    if (isRed(left) && isBlue(right))
        return QStringLiteral("left");
    if (isRed(right) && isBlue(left))
        return QStringLiteral("right");
    return {};
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Seconds since 2001 of a UTC time.
inline double referenceSeconds(int year, int month, int day, int hour = 12)
{
    return double(
        QDateTime(QDate(year, month, day), QTime(hour, 0), QTimeZone::utc()).toSecsSinceEpoch()
        - 978307200);
}

inline QDateTime utc(int year, int month, int day, int hour = 12)
{
    return QDateTime(QDate(year, month, day), QTime(hour, 0), QTimeZone::utc());
}

// 36-character identifiers, as the note store writes them.
inline QString identifier(int n)
{
    return QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0'));
}

inline QString objectReplacement() { return QString(QChar(0xFFFC)); }

} // namespace NotesTest
