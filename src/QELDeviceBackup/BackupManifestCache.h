#pragma once

#include <optional>

#include <QHash>
#include <QMutex>
#include <QString>

#include "QELDeviceBackupBrowser.h"

// The manifest readers of backup folders, keeping what they read: one cache
// per backup folder, read again when its manifest file changes (a new backup
// in the same folder). Each backup object holds one for its life, so what one
// object (or test) read never reaches another. Thread-safe.
class BackupManifestCache {
public:
    using DomainTable = QELDeviceBackupBrowser::DomainTable;
    using RecordTable = QELDeviceBackupBrowser::RecordTable;

    // Every record of the folder's Manifest.mbdb; empty for a missing or
    // malformed manifest. A damaged record ends the reading: what came before
    // it is kept.
    DomainTable ReadMBDBForBackUpSetAtPath(const QString& folder);

    // The folder's Manifest.mbdx entries of regular files with a relative
    // path, by the path's last component (the first entry of a name wins).
    // std::nullopt when the index or the manifest is malformed; the folder's
    // cache then stays empty, so a later call answers an empty table.
    std::optional<RecordTable> ReadMBDBWithMBDXForBackUpSetAtPath(const QString& folder);

    // The cached result of ReadMBDBForBackUpSetAtPath for a folder (empty if none).
    DomainTable backUpContentListing(const QString& folder) const;

private:
    // What identifies one version of a file: a new backup replaces the
    // manifest (new inode) or rewrites it (new size or time).
    struct FileStamp {
        bool exists = false;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct ManifestEntry {
        FileStamp manifest;
        DomainTable table;
    };
    struct IndexEntry {
        FileStamp index;
        FileStamp manifest;
        RecordTable table;
    };
    static FileStamp stampOf(const QString& path);

    mutable QMutex m_mutex;
    QHash<QString, ManifestEntry> m_manifests;
    QHash<QString, IndexEntry> m_indexes;
};
