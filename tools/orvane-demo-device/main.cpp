// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-demo-device FOLDER: writes the demo device into FOLDER. Start the
// application with ORVANE_SIMULATED_DEVICES=FOLDER to see it.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>

#include "DemoDevice.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    QString productVersion = QStringLiteral("17.2");
    if (arguments.size() == 4 && arguments.at(1) == QLatin1String("--product-version")) {
        productVersion = arguments.at(2);
        arguments.remove(1, 2);
    }
    if (arguments.size() != 2 || arguments.at(1).startsWith(QLatin1Char('-')) || productVersion.isEmpty()) {
        std::fprintf(stderr, "usage: orvane-demo-device [--product-version VERSION] FOLDER\n"
                             "Writes a demo iPhone for the simulated device backend into FOLDER\n"
                             "(missing, empty, or an earlier demo device, which is replaced).\n"
                             "VERSION is the system version it reports (default 17.2; below 9 the\n"
                             "apps category is offered).\n");
        return 2;
    }
    const QString folder = QDir(arguments.at(1)).absolutePath();
    DemoDevice::Summary summary;
    QString error;
    if (!DemoDevice::write(folder, &summary, &error, productVersion)) {
        std::fprintf(stderr, "orvane-demo-device: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("orvane-demo-device: wrote %s (%d tracks, %d playlists)\n", qPrintable(folder), summary.tracks,
                summary.playlists);
    return 0;
}
