#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
// One file asked for by its path relative to a domain (null: "HomeDomain").
struct BackupFileRequest {
    QString path;
    QString domain;
};

class BackupFileSource {
public:
    virtual ~BackupFileSource() = default;

    // A copy of a data type's file (0-15, the backup data types).
    virtual QString GetPathToDataOfType(int type) = 0;
    // A copy of a file by its path relative to a domain (null: "HomeDomain").
    virtual QString GetPathForDeviceFileNameInDomain(const QString& path,
                                                     const QString& domain) = 0;
    // Copies of several files, in the order asked for, each as
    // GetPathForDeviceFileNameInDomain answers it; a source may fetch them
    // side by side (a view that shows hundreds of attachments).
    virtual QStringList GetPathsForDeviceFiles(const QList<BackupFileRequest>& files)
    {
        QStringList paths;
        paths.reserve(files.size());
        for (const BackupFileRequest& file : files)
            paths.append(GetPathForDeviceFileNameInDomain(file.path, file.domain));
        return paths;
    }
    // The files of a domain (null: "HomeDomain"); empty when there are none.
    virtual QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) = 0;

protected:
    BackupFileSource() = default;
    BackupFileSource(const BackupFileSource&) = default;
    BackupFileSource& operator=(const BackupFileSource&) = default;
};
