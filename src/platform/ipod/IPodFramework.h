// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// An iPod that the computer mounts as a disk.
struct IPodHandle {
    QString volume;  // the volume's mount point, without a trailing "/"
    QString device;  // the block device, when known
};

// Disk-mode iPods and the mounted removable volumes: the volumes that
// QStorageInfo lists below /media, /run/media and /mnt, followed by the
// folders of ORVANE_EXTRA_VOLUMES (separated by ":"), which tests and the demo
// use as volumes. An iPod is a volume holding "iPod_Control"; an iPod shuffle
// (a volume with "iPod_Control/iTunes/iTunesSD") is left to the volume scan,
// so the two pollers never report one device twice.
class IPodFramework {
public:
    struct Options {
        bool mountedVolumes = true;     // include the system's removable volumes
        bool environmentVolumes = true; // include ORVANE_EXTRA_VOLUMES
        QStringList extraVolumes;       // further volume folders
    };

    IPodFramework();
    explicit IPodFramework(Options options);
    virtual ~IPodFramework();

    // The mounted removable volumes, in the order the system lists them.
    virtual QStringList mountedRemovableVolumes() const;

    // iPodCopyConnected: false when the volume list cannot be read.
    bool copyConnected(QList<IPodHandle>* iPods) const;
    // iPodAquireLock: the volume is still there and readable.
    bool acquireLock(const IPodHandle& iPod) const;
    // iPodCopyMountpoint: fails once the volume is gone.
    bool copyMountpoint(const IPodHandle& iPod, QString* mountPoint) const;
    // iPodGetUniqueID: a 32-bit number derived from the volume's file-system id.
    uint32_t getUniqueID(const IPodHandle& iPod) const;
    // The same number for any mounted volume (an iPod shuffle's): from the
    // file-system id of the volume's device, else from its device and path.
    uint32_t volumeUniqueID(const QString& volume) const;
    // iPodCopyName: the volume's label, else the folder's name.
    QString copyName(const IPodHandle& iPod) const;

    // Extra volumes can be added and removed while detection runs.
    void addExtraVolume(const QString& folder);
    void removeExtraVolume(const QString& folder);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
