#pragma once

#include <QDateTime>
#include <QString>

// What the backup root says about one device's backup.
class QELDeviceBackUpDeviceSummary {
public:
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString& value) { m_deviceName = value; }
    QString backupPath() const { return m_backupPath; }
    void setBackupPath(const QString& value) { m_backupPath = value; }
    QString productType() const { return m_productType; }
    void setProductType(const QString& value) { m_productType = value; }
    QString deviceUID() const { return m_deviceUID; }
    void setDeviceUID(const QString& value) { m_deviceUID = value; }
    QDateTime backUpDate() const { return m_backUpDate; }
    void setBackUpDate(const QDateTime& value) { m_backUpDate = value; }
    QString iOSVersion() const { return m_iOSVersion; }
    void setIOSVersion(const QString& value) { m_iOSVersion = value; }
    bool isEncrypted() const { return m_isEncrypted; }
    void setIsEncrypted(bool value) { m_isEncrypted = value; }

private:
    QString m_deviceName;
    QString m_backupPath;
    QString m_productType;
    QString m_deviceUID;
    QDateTime m_backUpDate;
    QString m_iOSVersion;
    bool m_isEncrypted = false;
};
