// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The events of QELDeviceInterface::InstallApplicationsFromPaths, sent on the
// installing thread.
class QELDeviceApplicationInstallDelegate {
public:
    virtual ~QELDeviceApplicationInstallDelegate() = default;

    // Before package `appNumber` (from 1) of `of` is copied to the device.
    virtual void OnApplicationInstallEventForApplicationAppNumberOf(const QString& fileName,
                                                                    int appNumber, int of) = 0;
    // After that package: whether the device installed it.
    virtual void OnApplicationInstallResultForApplicationInstalled(const QString& fileName,
                                                                   bool installed)
    {
        (void)fileName;
        (void)installed;
    }
    // Once after the last package.
    virtual void OnApplicationInstallComplete() = 0;
    // The same end with the number of packages installed; a receiver that does
    // not show it gets OnApplicationInstallComplete.
    virtual void OnApplicationInstallCompleteInstalledOf(int installed, int of)
    {
        (void)installed;
        (void)of;
        OnApplicationInstallComplete();
    }
};
