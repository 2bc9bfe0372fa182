// SPDX-License-Identifier: GPL-3.0-or-later
// A browsable file tree for the files category: a few camera-roll pictures,
// downloads of several types, an empty folder and a hidden file.
#include <QBuffer>
#include <QColor>
#include <QImage>

#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

// A small gradient picture of the given hue as JPEG bytes.
QByteArray picture(int hue)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor::fromHsv(hue, 80 + x * 2, 120 + y * 2));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

bool describe(DemoContext& context, QString*)
{
    SimulatedDeviceBuilder& device = context.device();
    const int hues[] = {20, 110, 200, 290};
    int number = 1;
    for (int hue : hues)
        device.afcFile(
            QStringLiteral("DCIM/100APPLE/IMG_%1.JPG").arg(number++, 4, 10, QLatin1Char('0')),
            picture(hue));
    device.afcFolder(QStringLiteral("DCIM/101APPLE"))
        .afcFile(QStringLiteral("Downloads/report.final.pdf"), "%PDF-1.4\n%%EOF\n")
        .afcFile(QStringLiteral("Downloads/archive.tar.gz"), QByteArray("\x1f\x8b", 2))
        .afcFile(QStringLiteral("Downloads/notes.txt"), "Shopping: bread, tea.\n")
        .afcFile(QStringLiteral("Downloads/Été à Paris.txt"), "Carnet de voyage.\n")
        .afcFolder(QStringLiteral("Downloads/Empty"))
        .afcFile(QStringLiteral(".profile"), "export LANG=en\n");
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("files"), describe, {}});

} // namespace

} // namespace DemoDevice
