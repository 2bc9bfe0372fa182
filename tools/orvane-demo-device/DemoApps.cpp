// SPDX-License-Identifier: GPL-3.0-or-later
// Apps, read from the device itself: a dozen made-up user apps with icons and
// versions, and two system apps that the apps category leaves out.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

struct DemoApp {
    const char* bundleId;
    const char* name;
    const char* version;
    QRgb colour;
};

const DemoApp kApps[] = {
    {"com.example.weatherly", "Weatherly", "4.2", 0xff2f80ed},
    {"com.example.pocketchef", "Pocket Chef", "2.0.3", 0xffeb5757},
    {"com.example.trailmap", "Trail Map", "1.8", 0xff27ae60},
    {"com.example.stargazer", "Stargazer", "3.1", 0xff1b1f3b},
    {"com.example.budgetbook", "Budget Book", "5.0", 0xfff2994a},
    {"com.example.lingo", "Lingo Cards", "2.7", 0xff9b51e0},
    {"com.example.sketchpad", "Sketchpad", "1.4.1", 0xff56ccf2},
    {"com.example.metronome", "Metronome Pro", "6.3", 0xff333333},
    {"com.example.podcatch", "PodCatch", "3.9", 0xffbb6bd9},
    {"com.example.habits", "Habit Loop", "1.1", 0xff6fcf97},
    {"com.example.transit", "Transit Now", "7.0", 0xfff2c94c},
    {"com.example.cafe", "Café Finder", "2.2", 0xff8d6e63},
};

QByteArray iconFor(const DemoApp& app)
{
    QImage image(114, 114, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = QColor::fromRgb(app.colour);
    QLinearGradient fill(0, 0, 0, 114);
    fill.setColorAt(0, colour.lighter(130));
    fill.setColorAt(1, colour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(2, 2, 110, 110), 24, 24);
    // A white mark of its own for each app: the tool has no fonts to draw letters with.
    painter.setBrush(Qt::white);
    const int kind = static_cast<int>(qHash(QByteArray(app.bundleId)) % 4);
    switch (kind) {
    case 0:
        painter.drawEllipse(QRectF(32, 32, 50, 50));
        break;
    case 1:
        painter.drawRoundedRect(QRectF(30, 30, 54, 54), 10, 10);
        break;
    case 2:
        painter.drawPolygon(QPolygonF({QPointF(57, 26), QPointF(88, 84), QPointF(26, 84)}));
        break;
    default:
        painter.drawRect(QRectF(26, 50, 62, 14));
        painter.drawRect(QRectF(50, 26, 14, 62));
        break;
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool describe(DemoContext& context, QString*)
{
    SimulatedDeviceBuilder& device = context.device();
    for (const DemoApp& app : kApps) {
        const QString id = QString::fromLatin1(app.bundleId);
        device
            .app(id,
                 {{QStringLiteral("CFBundleDisplayName"), QString::fromUtf8(app.name)},
                  {QStringLiteral("CFBundleShortVersionString"), QString::fromLatin1(app.version)},
                  {QStringLiteral("ApplicationType"), QStringLiteral("User")}})
            .appIcon(id, iconFor(app));
    }
    device
        .app(QStringLiteral("com.apple.mobilesafari"),
             {{QStringLiteral("CFBundleDisplayName"), QStringLiteral("Safari")},
              {QStringLiteral("ApplicationType"), QStringLiteral("System")}})
        .app(QStringLiteral("com.apple.Preferences"),
             {{QStringLiteral("CFBundleDisplayName"), QStringLiteral("Settings")},
              {QStringLiteral("ApplicationType"), QStringLiteral("System")}});
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("apps"), describe, {}});

} // namespace

} // namespace DemoDevice
