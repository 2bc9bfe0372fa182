#pragma once

#include <QList>
#include <QString>

#include "QELDeviceBackupListingItem.h"

// Where a reader asks for the device files it reads: a database by backup data
// type, any other file by its path in a backup domain, or every file of a
// domain. A device's backup answers them (QELDeviceBackup), and so does a
// folder of copied files (FolderBackupFileSource), so a reader, a view and
// orvane-inspect read the same files the same way.
//
// A path answered is a private local copy in the program's temporary folder,
// the caller's to open, change or remove, with its "-wal" and "-shm"
// companions beside it where the source has them; a null string when the
// source does not hold the file. Blocking: worker threads only (tools call
// from their main thread).
class BackupFileSource {
public:
    virtual ~BackupFileSource() = default;

    // A copy of a data type's file (0-15, the backup data types).
    virtual QString GetPathToDataOfType(int type) = 0;
    // A copy of a file by its path relative to a domain (null: "HomeDomain").
    virtual QString GetPathForDeviceFileNameInDomain(const QString& path,
                                                     const QString& domain) = 0;
    // The files of a domain (null: "HomeDomain"); empty when there are none.
    virtual QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) = 0;

protected:
    BackupFileSource() = default;
    BackupFileSource(const BackupFileSource&) = default;
    BackupFileSource& operator=(const BackupFileSource&) = default;
};
