#pragma once

#include <QString>

#include "BackupFileSource.h"

// The files of a folder of copied device files (copies of a device's
// databases, or an export of orvane-inspect) answered as a backup would answer
// them, so a reader can be run over such a folder without a device or a backup.
//
// A data type's file is looked up by its file name at the top of the folder;
// a file of a domain by its path relative to the folder, else by its name at
// the top (the domain is not part of the path: the folder holds one device's
// files). Paths that would lead out of the folder (absolute ones, "..", a
// symlink pointing outside) find nothing. Each answer is a copy in a new
// private folder of the temporary folder; the folder itself is only read.
class FolderBackupFileSource : public BackupFileSource {
public:
    explicit FolderBackupFileSource(const QString& folder);

    QString folder() const { return m_folder; }

    QString GetPathToDataOfType(int type) override;
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override;
    // Every file below the folder, by its path relative to it, in path order;
    // each item's backup file is the identifier the file would have in a
    // backup: the SHA-1 of "<domain>-<path>".
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString& domain) override;

private:
    // The path of the folder's file at `relativePath` when it is a regular
    // file that stays inside the folder with its symlinks resolved, else null.
    QString fileInside(const QString& relativePath) const;
    // A private copy of the folder's file at `relativePath` (which fileInside
    // accepted) with its companions; null when it could not be made.
    QString copyWithCompanions(const QString& relativePath) const;

    QString m_folder;
};
