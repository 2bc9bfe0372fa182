// SPDX-License-Identifier: GPL-3.0-or-later
// Album covers for the demo music library: made-up pictures, a soft
// gradient with rings in each album's own colours.
#include "DemoArtwork.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRadialGradient>

#include "MediaLibraryFixture.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"

namespace DemoDevice {

namespace {

// The rendition format the covers are listed under.
constexpr qint64 kCoverFormat = 3005;
constexpr qint64 kFirstCacheID = 880001;

QByteArray cover(int side, int index)
{
    static const QColor palette[][2] = {
        {QColor(0x1f, 0x4e, 0x79), QColor(0xf2, 0xb7, 0x05)},
        {QColor(0x3b, 0x1f, 0x5c), QColor(0x4f, 0xc3, 0xf7)},
        {QColor(0x0b, 0x3d, 0x2e), QColor(0x9c, 0xe3, 0x7d)},
        {QColor(0x6d, 0x2e, 0x0f), QColor(0xf7, 0xd0, 0x8a)},
        {QColor(0x22, 0x22, 0x2a), QColor(0xe0, 0x4f, 0x5f)},
        {QColor(0x7a, 0x1e, 0x48), QColor(0xff, 0xc8, 0xdd)},
    };
    const QColor* colours = palette[index % 6];
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient background(side * 0.3, side * 0.3, side);
    background.setColorAt(0, colours[1].lighter(120));
    background.setColorAt(1, colours[0]);
    painter.fillRect(image.rect(), background);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 4; ++ring) {
        QColor c = colours[ring % 2 ? 1 : 0];
        c.setAlpha(150);
        painter.setPen(QPen(c, side / 40.0));
        const double r = side * (0.1 + 0.08 * ring + 0.02 * index);
        painter.drawEllipse(QPointF(side * 0.62, side * 0.6), r, r);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(88);
    return writer.write(image) ? bytes : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile file(path);
    if (bytes.isEmpty() || !QDir().mkpath(QFileInfo(path).path())
        || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("could not write %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool addArtwork(const QString& afcRoot, MediaLibraryFixture& library, QString* error)
{
    library.schema.artworkInfo = true;
    QHash<QString, qint64> cacheIDs;
    QByteArray packed;
    for (MediaLibraryFixture::Item& item : library.items) {
        auto known = cacheIDs.constFind(item.album);
        if (known == cacheIDs.constEnd()) {
            const int index = int(cacheIDs.size());
            const qint64 cacheID = kFirstCacheID + index;
            const QByteArray small = cover(240, index);
            library.artworkInfo.append({cacheID, small.size(), packed.size(), kCoverFormat});
            packed += small;
            const QString full = QELDeviceImageMediaLibraryArtworkDBReader::artworkPathForCacheID(
                QString::number(cacheID), kCoverFormat);
            if (!writeFile(afcRoot + full.mid(1), cover(600, index), error))
                return false;
            known = cacheIDs.insert(item.album, cacheID);
        }
        item.artworkCacheID = *known;
    }
    return writeFile(afcRoot + QStringLiteral("iTunes_Control/iTunes/MediaLibrary-artwork.data"),
                     packed, error);
}

} // namespace DemoDevice
