// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// What the program knows about the connected device: model number with its
// display name and picture, operating-system type, identifier, iOS version and
// name. A value type: the device interface keeps one and hands out copies.
class QELDeviceInformation {
public:
    qint64 deviceType() const { return m_deviceType; }
    // Stores the model number (1 to 19) and sets the display name and, when
    // the model has a picture that loads, the picture. Numbers outside 1 to 19
    // take the row of type 1.
    void setDeviceType(qint64 type);
    QString deviceTypeString() const { return m_deviceTypeString; }
    void setDeviceTypeString(const QString& text) { m_deviceTypeString = text; }
    QImage deviceImage() const { return m_deviceImage; }
    void setDeviceImage(const QImage& image) { m_deviceImage = image; }
    qint64 deviceOperatingSystemType() const { return m_deviceOperatingSystemType; }
    void setDeviceOperatingSystemType(qint64 type) { m_deviceOperatingSystemType = type; }
    QString deviceId() const { return m_deviceId; }
    void setDeviceId(const QString& id) { m_deviceId = id; }
    QString iOSVersion() const { return m_iOSVersion; }
    void setIOSVersion(const QString& version) { m_iOSVersion = version; }
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString& name) { m_deviceName = name; }
    bool IsEncrypted() const { return m_isEncrypted; }
    void setIsEncrypted(bool encrypted) { m_isEncrypted = encrypted; }

    // The display name and picture name of a model number.
    static QString displayNameForType(qint64 type);
    static QString pictureNameForType(qint64 type);
    // Where model pictures are looked up (a folder or a resource prefix);
    // ":/devices" unless changed.
    static void setPictureLocation(const QString& location);
    static QString pictureLocation();

private:
    qint64 m_deviceType = 0;
    QString m_deviceTypeString;
    QImage m_deviceImage;
    qint64 m_deviceOperatingSystemType = 0;
    QString m_deviceId;
    QString m_iOSVersion;
    QString m_deviceName;
    bool m_isEncrypted = false;
};
