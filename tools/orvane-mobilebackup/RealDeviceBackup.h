#pragma once

#include <QString>

#include <optional>

// Backups of a real device, made and restored by idevicebackup2
// (libimobiledevice-utils). Its output is passed on as it comes; a device
// locked with a passcode is reported with "MBErrorDomain/208".
namespace RealDeviceBackup {

int backUp(const QString& udid, const QString& backupRoot);
int restore(const QString& udid, const QString& backupRoot, bool encrypted);

} // namespace RealDeviceBackup
