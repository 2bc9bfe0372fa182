// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The demo device: a believable iPhone as a simulated-device folder
// (docs/simulated-devices.md) with a music library of real, tagged audio files.
namespace DemoDevice {

// The lockdown value that marks a folder as written by this builder, so a
// later run may replace it.
inline constexpr const char* kMarkerKey = "OrvaneDemoDevice";

struct Summary {
    int tracks = 0;
    int playlists = 0;
};

// Writes the demo device into `folder`, which must be missing, empty, or an
// earlier demo device (replaced). Answers false with the reason otherwise.
// `productVersion` is the system version the device reports (categories such
// as apps are offered only below some versions).
bool write(const QString& folder, Summary* summary, QString* error,
           const QString& productVersion = QStringLiteral("17.2"));

} // namespace DemoDevice
