#pragma once

#include <chrono>
#include <optional>

#include <QHash>
#include <QString>
#include <QStringList>

#include "BackupToolRunner.h"
#include "BackupToolSettings.h"
#include "QELBackupFileRecord.h"

class QELBinaryFileHandle;

// Reads a device backup's manifests, names its files, and runs the backup
// tool's extraction and file-name runs.
//
// The manifest readers read their files afresh on every call
// (BackupManifestCache keeps what they read). All operations may be called
// from several threads at once.
class QELDeviceBackupBrowser {
public:
    // domain -> (path within the domain -> upper-case file identifier)
    using DomainTable = QHash<QString, QHash<QString, QString>>;
    // last path component -> index record
    using RecordTable = QHash<QString, QELBackupFileRecord>;

    // Every record of a Manifest.mbdb file; empty for a missing or malformed
    // manifest. A damaged record ends the reading: what came before it is kept.
    static DomainTable readManifestFile(const QString& path);

    // The Manifest.mbdx entries of regular files with a relative path, by the
    // path's last component (the first entry of a name wins), their records
    // read from the Manifest.mbdb beside it. std::nullopt when the index or the
    // manifest is malformed.
    static std::optional<RecordTable> readIndexFiles(const QString& indexPath,
                                                     const QString& manifestPath);

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

    // Tool runs. P is a path within its backup domain, U the device
    // identifier, W the backup password (std::nullopt: none given; an empty
    // password is given as it is), D the domain (null or "HomeDomain": the
    // default), `tool` the tool to run (default: the program's own). Each
    // blocks until the tool has ended: worker threads only.
    // The password goes to the tool in its environment, never on its command line.

    enum class PasswordTestResult {
        Passed,
        WrongPassword, // the tool says the password does not open the backup's keys
        Failed,        // the backup could not be read for another reason
        TimedOut,
    };

    // Whether the backup opens with the password: extracts P into a private
    // scratch folder, which is removed afterwards. WrongPassword only when the
    // tool ended with kExitWrongPassword; any other failure (a damaged key
    // bag, a backup in an unknown format, a missing tool) is Failed. A tool
    // that has not ended after kPasswordTestTimeLimit is stopped and answers
    // TimedOut, which says nothing about the password.
    static PasswordTestResult
    TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const BackupToolSettings& tool = {});
    static constexpr std::chrono::milliseconds kPasswordTestTimeLimit{120000};

    // Extracts P; the file is left under P's last component in `folder`
    // (default: the backup root). True when the tool ended with status 0.
    static bool ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const QString& folder = QString(),
        const BackupToolSettings& tool = {});

    // Extracts a database and then its "-wal" and "-shm" companions into the
    // backup root (0.5 s apart); answers the names extracted (empty when the
    // database was not), std::nullopt for an empty path.
    static std::optional<QStringList> ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const BackupToolSettings& tool = {});

    // The name, inside the device's backup folder, of the file that holds P;
    // a null string on failure or when the tool answers anything but a backup
    // file name ("<40 hex>" or "<2 hex>/<40 hex>").
    static QString GetBackupPathFromReleativePathForDeviceIDWithPasswordFromDomain(
        const QString& path, const QString& deviceID, const std::optional<QString>& password,
        const QString& domain, const BackupToolSettings& tool = {});

    // The options of a tool run on the backup of `deviceID`: the password and,
    // for a backup its device encrypted, the password's key from `keys`
    // (derived there at most once per backup and password).
    static BackupToolRunner::Options toolOptions(const QString& deviceID,
                                                 const std::optional<QString>& password,
                                                 BackupKeyCache& keys);

    // The tool's argument lists for these runs.
    static QStringList passwordTestArguments(const QString& path, const QString& deviceID,
                                             const QString& domain);
    static QStringList singleExtractionArguments(const QString& path, const QString& deviceID,
                                                 const QString& domain);
    static QStringList fileNameArguments(const QString& path, const QString& deviceID,
                                         const QString& domain);
};
