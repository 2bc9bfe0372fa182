// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

// The device's springboard services ("com.apple.springboardservices"): the
// home-screen icons of apps. Codes as in MobileDevice.h. Blocking.
class SpringBoardServices {
public:
    virtual ~SpringBoardServices();

    // The app's icon as PNG bytes.
    virtual uint32_t iconPngData(const QString& bundleId, QByteArray* png) = 0;
};
