#pragma once

#include "QELBackupFileRecord.h"

#include <QHash>
#include <QString>

#include <optional>

class QELBinaryFileHandle;

// Reads a device backup's manifests and names its files.
//
// The manifest readers keep what they read for the rest of the run, one cache
// per backup folder; a cache is read again when its manifest file changes
// (a new backup in the same folder). All operations may be called from several
// threads at once.
class QELDeviceBackupBrowser {
public:
    // domain -> (path within the domain -> upper-case file identifier)
    using DomainTable = QHash<QString, QHash<QString, QString>>;
    // last path component -> index record
    using RecordTable = QHash<QString, QELBackupFileRecord>;

    // Every record of the folder's Manifest.mbdb; empty for a missing or
    // malformed manifest. A damaged record ends the reading: what came before
    // it is kept.
    static DomainTable ReadMBDBForBackUpSetAtPath(const QString& folder);

    // The folder's Manifest.mbdx entries of regular files with a relative
    // path, by the path's last component (the first entry of a name wins).
    // std::nullopt when the index or the manifest is malformed; the folder's
    // cache then stays empty, so a later call answers an empty table.
    static std::optional<RecordTable> ReadMBDBWithMBDXForBackUpSetAtPath(const QString& folder);

    // The SHA-1 of the text's UTF-8 bytes as 40 upper-case hexadecimal digits.
    // For a backup file the text is "<domain>-<path>".
    static QString _hashString(const QString& text);
    // The same identifier in lower case, as backup folders name their files.
    static QString fileIdentifier(const QString& domain, const QString& relativePath);

    // The string and data fields of Manifest.mbdb (absent: a null string).
    static QString _readStringFromFileHandle(QELBinaryFileHandle& file);
    static QString _readDataHashFromFileHandle(QELBinaryFileHandle& file);
    // The index reader's string field: "n/a" when absent.
    static QString _getStringFromFileHandle(QELBinaryFileHandle& file);

    // The cached result of the manifest readers for a folder (empty if none).
    static DomainTable backUpContentListing(const QString& folder);

    // Forgets every cached manifest.
    static void clearManifestCaches();
};
