#include "BackupReading.h"

#include "BackupEncryption.h"
#include "BackupPathRules.h"
#include "ToolOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

QString deviceFolder(const ToolCommandLine& line, const QString& backupRoot) { return backupRoot + QLatin1Char('/') + line.device; }

// The file of `relativePath` in `domain`, or a reason it cannot be read.
std::optional<BackupManifestEntry> findFile(const OpenedBackup& backup, const ToolCommandLine& line)
{
    if (!BackupPathRules::isSafeRelativePath(line.relativePath)) {
        ToolOutput::error(QStringLiteral("\"%1\" is not a path within a backup domain.").arg(line.relativePath));
        return std::nullopt;
    }
    std::optional<BackupManifestEntry> entry = backup.manifest.find(line.domain, line.relativePath);
    if (!entry) {
        ToolOutput::error(QStringLiteral("The backup holds no %1 in %2.").arg(line.relativePath, line.domain));
        return std::nullopt;
    }
    if (entry->kind != BackupManifestEntry::Kind::File) {
        ToolOutput::error(QStringLiteral("%1 in %2 is not a file.").arg(line.relativePath, line.domain));
        return std::nullopt;
    }
    return entry;
}

// Where an extracted file goes: the backup root, or ORVANE_EXTRACT_TO.
QString extractionFolder(const QString& backupRoot, QString* error)
{
    if (!qEnvironmentVariableIsSet("ORVANE_EXTRACT_TO")) {
        if (!QDir().mkpath(backupRoot)) {
            *error = QStringLiteral("Cannot create the backup folder %1.").arg(backupRoot);
            return {};
        }
        return backupRoot;
    }
    const QString folder = qEnvironmentVariable("ORVANE_EXTRACT_TO");
    struct stat info {};
    if (!QDir::isAbsolutePath(folder) || lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("ORVANE_EXTRACT_TO must name an existing folder (not a link): %1").arg(folder);
        return {};
    }
    return QDir::cleanPath(folder);
}

} // namespace

namespace BackupReading {

int list(const ToolCommandLine& line, const QString& backupRoot)
{
    QString error;
    bool wrongPassword = false;
    const std::optional<OpenedBackup> backup = BackupEncryption::open(deviceFolder(line, backupRoot), line.password, line.passwordKey, false, &error, &wrongPassword);
    if (!backup) {
        ToolOutput::error(error);
        return BackupEncryption::failureStatus(wrongPassword);
    }
    if (backup->manifest.refusedEntryCount() > 0)
        ToolOutput::error(QStringLiteral("Left out %1 entries of the manifest whose names could lead outside the backup.").arg(backup->manifest.refusedEntryCount()));
    QByteArray text;
    for (const BackupManifestEntry& entry : backup->manifest.entries()) {
        if (entry.kind != BackupManifestEntry::Kind::File)
            continue;
        const QStringList fields{
            entry.backupFile,
            QString::number(entry.mode, 8),
            QString::number(entry.size),
            QString::number(entry.userID),
            QString::number(entry.groupID),
            QString::number(entry.modified),
            QString::number(entry.accessed),
            QString::number(entry.created),
            QString::number(entry.protectionClass),
            QStringLiteral("file"),
            QString::fromLatin1(entry.dataHash.toHex()),
            entry.domain,
            entry.relativePath,
        };
        text += fields.join(QLatin1Char(',')).toUtf8() + '\n';
        if (text.size() > (1 << 20)) {
            ToolOutput::raw(text);
            text.clear();
        }
    }
    ToolOutput::raw(text);
    return 0;
}

int fileName(const ToolCommandLine& line, const QString& backupRoot)
{
    QString error;
    bool wrongPassword = false;
    const std::optional<OpenedBackup> backup = BackupEncryption::open(deviceFolder(line, backupRoot), line.password, line.passwordKey, false, &error, &wrongPassword);
    if (!backup) {
        ToolOutput::error(error);
        return BackupEncryption::failureStatus(wrongPassword);
    }
    const std::optional<BackupManifestEntry> entry = findFile(*backup, line);
    if (!entry)
        return 1;
    struct stat info {};
    if (lstat(QFile::encodeName(backup->manifest.storedFilePath(*entry)).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        ToolOutput::error(QStringLiteral("The backup lacks the stored file %1 of %2.").arg(entry->backupFile, entry->relativePath));
        return 1;
    }
    ToolOutput::out(entry->backupFile);
    return 0;
}

int extract(const ToolCommandLine& line, const QString& backupRoot)
{
    const QString name = BackupPathRules::lastComponent(line.relativePath);
    if (!BackupPathRules::isPlainFileName(name) || !BackupPathRules::isSafeRelativePath(line.relativePath)) {
        ToolOutput::error(QStringLiteral("\"%1\" is not a path within a backup domain.").arg(line.relativePath));
        return 1;
    }
    QString error;
    bool wrongPassword = false;
    const std::optional<OpenedBackup> backup = BackupEncryption::open(deviceFolder(line, backupRoot), line.password, line.passwordKey, true, &error, &wrongPassword);
    if (!backup) {
        ToolOutput::error(error);
        return BackupEncryption::failureStatus(wrongPassword);
    }
    const std::optional<BackupManifestEntry> entry = findFile(*backup, line);
    if (!entry)
        return 1;
    const QString folder = extractionFolder(backupRoot, &error);
    if (folder.isEmpty()) {
        ToolOutput::error(error);
        return 1;
    }
    const QString target = folder + QLatin1Char('/') + name;
    struct stat info {};
    if (lstat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        ToolOutput::error(QStringLiteral("Will not replace %1, which is not a plain file.").arg(target));
        return 1;
    }
    if (!backup->copyContent(*entry, target, &error)) {
        ToolOutput::error(error);
        return 1;
    }
    ToolOutput::out(QStringLiteral("Extracted %1 to %2").arg(line.relativePath, target));
    return 0;
}

} // namespace BackupReading
