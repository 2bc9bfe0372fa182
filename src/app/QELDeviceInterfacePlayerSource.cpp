// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceInterfacePlayerSource.h"

#include "QELDeviceInterface.h"

int QELDeviceInterfacePlayerSource::connectedDeviceOperatingSystem() const
{
    return m_device ? int(m_device->connectedDeviceOperatingSystem()) : 0;
}

QString QELDeviceInterfacePlayerSource::standardDeviceBasePath() const
{
    return m_device ? m_device->standardDeviceBasePath() : QString();
}

bool QELDeviceInterfacePlayerSource::copyFileFromDeviceAtToLocalPath(
    const QString& devicePath, const QString& localPath, const std::atomic<bool>& cancel)
{
    return m_device && m_device->copyFileFromDeviceAtToLocalPath(devicePath, localPath, &cancel);
}
