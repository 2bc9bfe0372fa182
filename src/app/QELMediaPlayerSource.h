#pragma once

#include <atomic>

#include <QString>

// The device access the preview player needs: what kind of device is
// connected, where a disk-mode iPod is mounted, and a copy of one device file
// to a local path. The application wires it to the device interface; tests
// use local folders.
class QELMediaPlayerSource {
public:
    virtual ~QELMediaPlayerSource() = default;

    // 1 for an iOS device (files must be copied before they play), 0 for a
    // disk-mode iPod (files play in place under the mount point).
    virtual int connectedDeviceOperatingSystem() const = 0;
    // The mount point of a disk-mode iPod; empty when there is none.
    virtual QString standardDeviceBasePath() const = 0;
    // Copies a device file to `localPath`. Blocking, worker threads only. The
    // copy stops between two blocks once `cancel` becomes true. Answers false
    // when the copy failed or was cancelled.
    virtual bool copyFileFromDeviceAtToLocalPath(
        const QString& devicePath, const QString& localPath, const std::atomic<bool>& cancel) = 0;
};
