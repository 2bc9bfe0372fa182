#pragma once

#include <QString>

// What a backup (or restore) run ended with.
class QELDeviceBackupCompleteArguments {
public:
    QELDeviceBackupCompleteArguments() = default;
    QELDeviceBackupCompleteArguments(bool successfull, bool encrypted)
        : m_successfull(successfull)
        , m_encrypted(encrypted)
    {
    }

    bool successfull() const { return m_successfull; }
    void setSuccessfull(bool successfull) { m_successfull = successfull; }
    // The backup is encrypted (Manifest.plist's "IsEncrypted").
    bool encrypted() const { return m_encrypted; }
    void setEncrypted(bool encrypted) { m_encrypted = encrypted; }
    // The tool failed because the device is locked with a passcode.
    bool locked() const { return m_locked; }
    void setLocked(bool locked) { m_locked = locked; }
    // The backup tool is missing or cannot be started: the installation is
    // incomplete, and nothing about the device is known.
    bool toolMissing() const { return m_toolMissing; }
    void setToolMissing(bool toolMissing) { m_toolMissing = toolMissing; }
    // The tool's error text; only a restore fills it.
    QString details() const { return m_details; }
    void setDetails(const QString& details) { m_details = details; }
    QString deviceID() const { return m_deviceID; }
    void setDeviceID(const QString& deviceID) { m_deviceID = deviceID; }

private:
    bool m_successfull = false;
    bool m_encrypted = false;
    bool m_locked = false;
    bool m_toolMissing = false;
    QString m_details;
    QString m_deviceID;
};
