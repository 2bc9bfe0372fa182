// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELMediaPlayerSource.h"

class QELDeviceInterface;

// The preview player's view of the application's device interface.
class QELDeviceInterfacePlayerSource : public QELMediaPlayerSource {
public:
    // Not owned: the application's one device interface, which outlives the player.
    explicit QELDeviceInterfacePlayerSource(QELDeviceInterface* device)
        : m_device(device)
    {
    }

    int connectedDeviceOperatingSystem() const override;
    QString standardDeviceBasePath() const override;
    bool copyFileFromDeviceAtToLocalPath(
        const QString& devicePath, const QString& localPath, const std::atomic<bool>& cancel) override;

private:
    QELDeviceInterface* m_device;
};
