// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// One app as the device's detail lookup describes it. Fields the device did
// not give stay empty.
struct AppDetail {
    QString bundleId;
    QString bundleDisplayName;
    QImage bundleIcon;
    // The version the user sees (CFBundleShortVersionString).
    QString bundleVersion;
    QString bundleInfoString;
};
