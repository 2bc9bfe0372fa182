// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The device's installation proxy ("com.apple.mobile.installation_proxy"):
// lists, installs, uninstalls and archives apps. Each call is one request with
// all its replies, read to the final one ("Complete" or an error); the codes
// are those of MobileDevice.h (0 success). Blocking; one caller at a time.
class InstallationProxy {
public:
    virtual ~InstallationProxy();

    // The installed apps keyed by bundle identifier, each a dictionary of the
    // requested attributes that the app has.
    virtual uint32_t lookup(const QStringList& returnAttributes, QVariantMap* apps) = 0;
    // Installs the package staged at a path of the file service ("PublicStaging/x.ipa").
    virtual uint32_t install(const QString& stagedPath) = 0;
    virtual uint32_t uninstall(const QString& bundleId) = 0;
    // Leaves "/ApplicationArchives/<bundle id>.zip" on the file service, the
    // app staying installed ("SkipUninstall", "ApplicationOnly").
    virtual uint32_t archive(const QString& bundleId) = 0;
    virtual uint32_t removeArchive(const QString& bundleId) = 0;
};
