// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELDeviceInformation.h"

// The argument of every connect and disconnect event. A value type: each event
// carries its own copy, so a receiver on another thread never sees it change.
class QELDeviceConnectivityArguments {
public:
    bool success() const { return m_success; }
    void setSuccess(bool value) { m_success = value; }
    bool devicePairValidated() const { return m_devicePairValidated; }
    void setDevicePairValidated(bool value) { m_devicePairValidated = value; }
    bool isJailbreaked() const { return m_isJailbreaked; }
    void setIsJailbreaked(bool value) { m_isJailbreaked = value; }
    // 0 for a connect event, 1 for a disconnect event.
    qint64 connectivityType() const { return m_connectivityType; }
    void setConnectivityType(qint64 value) { m_connectivityType = value; }
    // 0 disk-mode iPod, 1 iOS device.
    qint64 deviceOperatingSystemType() const { return m_deviceOperatingSystemType; }
    void setDeviceOperatingSystemType(qint64 value) { m_deviceOperatingSystemType = value; }
    // 0 could not connect, 1 paired, 2 unlock with the passcode, 3 trust this
    // computer, 4 the user declined to trust this computer (pairing waits
    // until QELDeviceInterface::retryPairing()).
    qint64 devicePairingStatus() const { return m_devicePairingStatus; }
    void setDevicePairingStatus(qint64 value) { m_devicePairingStatus = value; }
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString& value) { m_deviceName = value; }
    QString uniqueDeviceID() const { return m_uniqueDeviceID; }
    void setUniqueDeviceID(const QString& value) { m_uniqueDeviceID = value; }
    QString revision() const { return m_revision; }
    void setRevision(const QString& value) { m_revision = value; }
    QELDeviceInformation deviceInformation() const { return m_deviceInformation; }
    void setDeviceInformation(const QELDeviceInformation& value) { m_deviceInformation = value; }
    QString mountPoint() const { return m_mountPoint; }
    void setMountPoint(const QString& value) { m_mountPoint = value; }
    // Why a device could not be connected (status 0), for the user; empty
    // while nothing went wrong.
    QString failureReason() const { return m_failureReason; }
    void setFailureReason(const QString& value) { m_failureReason = value; }

private:
    bool m_success = false;
    bool m_devicePairValidated = false;
    bool m_isJailbreaked = false;
    qint64 m_connectivityType = 0;
    qint64 m_deviceOperatingSystemType = 0;
    qint64 m_devicePairingStatus = 0;
    QString m_deviceName;
    QString m_uniqueDeviceID;
    QString m_revision;
    QELDeviceInformation m_deviceInformation;
    QString m_mountPoint;
    QString m_failureReason;
};
