#pragma once

#include "QELBackupFileRecord.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QELBinaryFileHandle;

// Reads a device backup's manifests, names its files, and runs the backup
// tool's extraction and file-name runs.
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

    // Tool runs. P is a path within its backup domain, U the device
    // identifier, W the backup password (std::nullopt: none given; an empty
    // password is given as it is), D the domain (null or "HomeDomain": the
    // default). Each blocks until the tool has ended: worker threads only.
    // The password goes to the tool in its environment, never on its command line.

    enum class PasswordTestResult { Passed, Failed, TimedOut };

    // Whether the backup opens with the password: extracts P into a private
    // scratch folder, which is removed afterwards. A tool that has not ended
    // after kPasswordTestTimeLimit is stopped and answers TimedOut, which says
    // nothing about the password.
    static PasswordTestResult TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password, const QString& domain);
    static constexpr std::chrono::milliseconds kPasswordTestTimeLimit{120000};

    // Extracts P; the file is left under P's last component in `folder`
    // (default: the backup root). True when the tool ended with status 0.
    static bool ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password, const QString& domain,
        const QString& folder = QString());

    // Extracts a database and then its "-wal" and "-shm" companions into the
    // backup root (0.5 s apart); answers the names extracted (empty when the
    // database was not), std::nullopt for an empty path.
    static std::optional<QStringList> ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password, const QString& domain);

    // The name, inside the device's backup folder, of the file that holds P;
    // a null string on failure or when the tool answers anything but a backup
    // file name ("<40 hex>" or "<2 hex>/<40 hex>").
    static QString GetBackupPathFromReleativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password, const QString& domain);

    // The tool's argument lists for these runs.
    static QStringList passwordTestArguments(const QString& path, const QString& deviceID, const QString& domain);
    static QStringList singleExtractionArguments(const QString& path, const QString& deviceID, const QString& domain);
    static QStringList fileNameArguments(const QString& path, const QString& deviceID, const QString& domain);
};
