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
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 || arguments.at(1).startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: orvane-demo-device FOLDER\n"
                             "Writes a demo iPhone for the simulated device backend into FOLDER\n"
                             "(missing, empty, or an earlier demo device, which is replaced).\n");
        return 2;
    }
    const QString folder = QDir(arguments.at(1)).absolutePath();
    DemoDevice::Summary summary;
    QString error;
    if (!DemoDevice::write(folder, &summary, &error)) {
        std::fprintf(stderr, "orvane-demo-device: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("orvane-demo-device: wrote %s (%d tracks, %d playlists)\n", qPrintable(folder), summary.tracks,
                summary.playlists);
    return 0;
}
