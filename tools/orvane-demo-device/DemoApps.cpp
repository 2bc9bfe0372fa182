// SPDX-License-Identifier: GPL-3.0-or-later
// Apps, read from the device itself: a dozen made-up user apps with icons and
// versions, and two system apps that the apps category leaves out.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

struct DemoApp {
    const char* bundleId;
    const char* name;
    const char* version;
    QRgb colour;
    const char* mark;
};

const DemoApp kApps[] = {
    {"com.example.weatherly", "Weatherly", "4.2", 0xff2f80ed, "W"},
    {"com.example.pocketchef", "Pocket Chef", "2.0.3", 0xffeb5757, "PC"},
    {"com.example.trailmap", "Trail Map", "1.8", 0xff27ae60, "T"},
    {"com.example.stargazer", "Stargazer", "3.1", 0xff1b1f3b, "★"},
    {"com.example.budgetbook", "Budget Book", "5.0", 0xfff2994a, "B"},
    {"com.example.lingo", "Lingo Cards", "2.7", 0xff9b51e0, "L"},
    {"com.example.sketchpad", "Sketchpad", "1.4.1", 0xff56ccf2, "S"},
    {"com.example.metronome", "Metronome Pro", "6.3", 0xff333333, "M"},
    {"com.example.podcatch", "PodCatch", "3.9", 0xffbb6bd9, "P"},
    {"com.example.habits", "Habit Loop", "1.1", 0xff6fcf97, "H"},
    {"com.example.transit", "Transit Now", "7.0", 0xfff2c94c, "TN"},
    {"com.example.cafe", "Café Finder", "2.2", 0xff8d6e63, "C"},
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
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qstrlen(app.mark) > 1 ? 40 : 56);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 114, 114), Qt::AlignCenter, QString::fromUtf8(app.mark));
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
