#include "SimulatedBackup.h"

#include <algorithm>
#include <optional>

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUuid>

#include "BackupCipher.h"
#include "BackupEncryption.h"
#include "BackupManifest.h"
#include "BackupPathRules.h"
#include "MbdbWriter.h"
#include "Plist.h"
#include "QELDeviceBackupBrowser.h"
#include "SafePath.h"
#include "SimulatedDevice.h"
#include "ToolOutput.h"

namespace {

struct SourceItem {
    QString domain;
    QString relativePath; // empty for the domain's own folder
    QString sourcePath;
    bool directory = false;
};

uint32_t unixTime(const QDateTime& time)
{
    return time.isValid() ? static_cast<uint32_t>(std::max<qint64>(0, time.toSecsSinceEpoch())) : 0;
}

// Every domain folder and the folders and files below it, in a fixed order.
// Symbolic links and names that could not be stored safely are left out.
std::vector<SourceItem> collectSource(const QString& sourceRoot, int* skipped)
{
    std::vector<SourceItem> items;
    const QFileInfoList domains =
        QDir(sourceRoot)
            .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& domainInfo : domains) {
        const QString domain = domainInfo.fileName();
        if (domainInfo.isSymLink() || domain.contains(QLatin1Char(','))
            || domain.contains(QLatin1Char('\n'))) {
            ++*skipped;
            continue;
        }
        items.push_back({domain, QString(), domainInfo.filePath(), true});
        QDirIterator it(domainInfo.filePath(),
                        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        std::vector<SourceItem> below;
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            const QString relative = QDir(domainInfo.filePath()).relativeFilePath(info.filePath());
            if (info.isSymLink() || (!info.isDir() && !info.isFile())
                || !BackupPathRules::isSafeRelativePath(relative)) {
                ++*skipped;
                continue;
            }
            below.push_back({domain, relative, info.filePath(), info.isDir()});
        }
        std::sort(below.begin(), below.end(), [](const SourceItem& a, const SourceItem& b) {
            return a.relativePath < b.relativePath;
        });
        items.insert(items.end(), below.begin(), below.end());
    }
    return items;
}

bool copyPlain(const QString& source, const QString& target, QByteArray* sha1, QString* error)
{
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot copy %1 into the backup.").arg(source);
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha1);
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            *error = QStringLiteral("Cannot copy %1 into the backup.").arg(source);
            return false;
        }
        hash.addData(chunk);
    }
    if (!out.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    *sha1 = hash.result();
    return true;
}

// Removes a replaced backup folder; a symbolic link in its place is removed
// itself, never followed.
void removeOldBackup(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir())
        QFile::remove(path);
    else
        QDir(path).removeRecursively();
}

} // namespace

int backUpSimulatedDevice(const SimulatedDevice& device, const QString& udid,
                          const QString& backupRoot)
{
    if (device.backupLocked()) {
        ToolOutput::out(
            QStringLiteral("Backup failed: Error Domain=MBErrorDomain/208 \"The device is locked "
                           "with a passcode.\" Unlock the device and try again."));
        return 1;
    }
    if (!QDir().mkpath(backupRoot)) {
        ToolOutput::out(
            QStringLiteral("Backup failed: cannot create the backup folder %1.").arg(backupRoot));
        return 1;
    }
    QTemporaryDir staging(backupRoot + QStringLiteral("/.") + udid + QStringLiteral("-new-XXXXXX"));
    if (!staging.isValid()) {
        ToolOutput::out(
            QStringLiteral("Backup failed: cannot create a folder in %1.").arg(backupRoot));
        return 1;
    }
    const QString target = staging.path();
    std::optional<BackupCipher> cipher;
    if (const std::optional<QString> password = device.backupPassword())
        cipher = BackupCipher::create(*password);

    int skipped = 0;
    const std::vector<SourceItem> items = collectSource(device.backupSource(), &skipped);
    if (skipped > 0)
        ToolOutput::error(QStringLiteral("Left out %1 entries of the device that cannot be backed "
                                         "up (links or unsafe names).")
                              .arg(skipped));

    MbdbWriter manifest;
    int fileCount = 0;
    for (const SourceItem& item : items) {
        const QFileInfo info(item.sourcePath);
        const QString fileID =
            QELDeviceBackupBrowser::fileIdentifier(item.domain, item.relativePath);
        MbdbWriter::Record record;
        record.domain = item.domain.toUtf8();
        record.path = item.relativePath.toUtf8();
        // The encryption key stays absent: it is kept in the stored file's header.
        record.mode = item.directory ? 0x4000 | 0755 : 0x8000 | 0644;
        record.userID = 501; // the device's "mobile" user
        record.groupID = 501;
        record.modified = unixTime(info.lastModified());
        record.accessed = unixTime(info.lastRead());
        record.created =
            unixTime(info.birthTime().isValid() ? info.birthTime() : info.lastModified());
        record.size = item.directory ? 0 : static_cast<uint64_t>(info.size());
        record.protectionClass = cipher ? 3 : 0;
        if (!item.directory) {
            QByteArray sha1;
            QString error;
            const QString stored = target + QLatin1Char('/') + fileID;
            const bool ok = cipher
                ? cipher->encryptFile(item.sourcePath, stored, fileID, &sha1, &error)
                : copyPlain(item.sourcePath, stored, &sha1, &error);
            if (!ok) {
                ToolOutput::out(QStringLiteral("Backup failed: %1").arg(error));
                return 1;
            }
            record.dataHash = sha1;
            ++fileCount;
        }
        if (!manifest.add(record)) {
            ToolOutput::out(
                QStringLiteral("Backup failed: the name %1 is too long for the manifest.")
                    .arg(item.relativePath));
            return 1;
        }
    }
    const QByteArray manifestBytes = manifest.manifest();
    const QByteArray indexBytes = manifest.index(MbdbWriter::IndexOrder::ByIdentifier);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVariantMap lockdown;
    for (const char* key : {"DeviceName", "ProductType", "ProductVersion", "UniqueDeviceID",
                            "BuildVersion", "SerialNumber"}) {
        if (device.values.contains(QString::fromLatin1(key)))
            lockdown.insert(QString::fromLatin1(key),
                            device.values.value(QString::fromLatin1(key)));
    }
    QVariantMap manifestPlist{
        {QStringLiteral("IsEncrypted"), bool(cipher)},
        {QStringLiteral("Lockdown"), lockdown},
        {QStringLiteral("Date"), now},
        {QStringLiteral("Version"), QStringLiteral("9.1")},
    };
    if (cipher)
        manifestPlist.insert(BackupEncryption::kDescriptionKey, cipher->description());
    const QVariantMap status{
        {QStringLiteral("BackupState"), QStringLiteral("new")},
        {QStringLiteral("Date"), now},
        {QStringLiteral("IsFullBackup"), true},
        {QStringLiteral("SnapshotState"), QStringLiteral("finished")},
        {QStringLiteral("UUID"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
        {QStringLiteral("Version"), QStringLiteral("2.4")},
    };

    QSaveFile mbdb(target + QStringLiteral("/Manifest.mbdb"));
    QSaveFile mbdx(target + QStringLiteral("/Manifest.mbdx"));
    const bool written = mbdb.open(QIODevice::WriteOnly)
        && mbdb.write(manifestBytes) == manifestBytes.size() && mbdb.commit()
        && mbdx.open(QIODevice::WriteOnly) && mbdx.write(indexBytes) == indexBytes.size()
        && mbdx.commit()
        && Plist::writeFile(target + QStringLiteral("/Manifest.plist"), manifestPlist)
        && Plist::writeFile(target + QStringLiteral("/Status.plist"), status);
    if (!written) {
        ToolOutput::out(
            QStringLiteral("Backup failed: cannot write the manifests into %1.").arg(target));
        return 1;
    }

    // The application's Info.plist of the previous backup stays with the device.
    const QString finalFolder = backupRoot + QLatin1Char('/') + udid;
    const QString oldInfo = finalFolder + QStringLiteral("/Info.plist");
    if (QFileInfo(oldInfo).isFile() && !QFileInfo(oldInfo).isSymLink())
        QFile::copy(oldInfo, target + QStringLiteral("/Info.plist"));

    QString displaced;
    if (QFileInfo(finalFolder).exists() || QFileInfo(finalFolder).isSymLink()) {
        QTemporaryDir placeholder(backupRoot + QStringLiteral("/.") + udid
                                  + QStringLiteral("-old-XXXXXX"));
        displaced = placeholder.path();
        placeholder.remove();
        if (displaced.isEmpty() || !QDir().rename(finalFolder, displaced)) {
            ToolOutput::out(
                QStringLiteral("Backup failed: cannot replace the previous backup in %1.")
                    .arg(finalFolder));
            return 1;
        }
    }
    if (!QDir().rename(target, finalFolder)) {
        if (!displaced.isEmpty())
            QDir().rename(displaced, finalFolder);
        ToolOutput::out(
            QStringLiteral("Backup failed: cannot move the new backup to %1.").arg(finalFolder));
        return 1;
    }
    staging.setAutoRemove(false);
    chmod(QFile::encodeName(finalFolder).constData(), 0700);
    if (!displaced.isEmpty())
        removeOldBackup(displaced);
    ToolOutput::out(
        QStringLiteral("Backed up %1 files of %2%3.")
            .arg(fileCount)
            .arg(device.value("DeviceName"), cipher ? QStringLiteral(" (encrypted)") : QString()));
    return 0;
}

int restoreSimulatedDevice(const SimulatedDevice& device, const QString& backupFolder,
                           const std::optional<QString>& password)
{
    QString error;
    const std::optional<OpenedBackup> backup =
        BackupEncryption::open(backupFolder, password, true, &error);
    if (!backup) {
        ToolOutput::out(QStringLiteral("Restore failed: %1").arg(error));
        return 1;
    }
    const QString destination = device.backupSource();
    if (!QDir().mkpath(destination)) {
        ToolOutput::out(QStringLiteral("Restore failed: cannot create %1.").arg(destination));
        return 1;
    }
    const QString destinationRoot = QFileInfo(destination).canonicalFilePath();
    int restored = 0;
    for (const BackupManifestEntry& entry : backup->manifest.entries()) {
        if (entry.kind != BackupManifestEntry::Kind::File)
            continue;
        // The manifest's names were checked when it was read; the folders on
        // the way must also stay inside the device (no link may lead out).
        const QString target =
            destination + QLatin1Char('/') + entry.domain + QLatin1Char('/') + entry.relativePath;
        const QString parent = QFileInfo(target).path();
        // Judged before anything is made: a link on the way must not let
        // even an empty folder appear outside the device.
        const auto outside = [&] {
            ToolOutput::out(
                QStringLiteral("Restore failed: %1 would be written outside the device.")
                    .arg(target));
            return 1;
        };
        if (!SafePath::isInside(destinationRoot, parent))
            return outside();
        if (!QDir().mkpath(parent)) {
            ToolOutput::out(QStringLiteral("Restore failed: cannot create %1.").arg(parent));
            return 1;
        }
        const QString canonicalParent = QFileInfo(parent).canonicalFilePath();
        struct stat info {};
        const bool targetIsOther =
            lstat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode);
        if (!(canonicalParent == destinationRoot
              || canonicalParent.startsWith(destinationRoot + QLatin1Char('/')))
            || targetIsOther)
            return outside();
        if (!backup->copyContent(entry, target, &error)) {
            ToolOutput::out(QStringLiteral("Restore failed: %1").arg(error));
            return 1;
        }
        ++restored;
    }
    ToolOutput::out(
        QStringLiteral("Restored %1 files to %2.").arg(restored).arg(device.value("DeviceName")));
    return 0;
}
