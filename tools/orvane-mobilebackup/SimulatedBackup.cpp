#include "SimulatedBackup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUuid>

#include "BackupCipher.h"
#include "BackupEncryption.h"
#include "BackupFolderCare.h"
#include "BackupManifest.h"
#include "BackupPathRules.h"
#include "DescriptorWrite.h"
#include "MbdbWriter.h"
#include "ParallelFor.h"
#include "Plist.h"
#include "QELDeviceBackupBrowser.h"
#include "SafePath.h"
#include "Sha1Digest.h"
#include "SimulatedDevice.h"
#include "ToolOutput.h"

namespace {

// What one statx call tells of an item; times in whole seconds since 1970.
struct ItemStat {
    bool ok = false;
    mode_t mode = 0;
    uint64_t size = 0;
    uint32_t modified = 0;
    uint32_t accessed = 0;
    uint32_t created = 0;
};

uint32_t unixSeconds(const struct statx_timestamp& time)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(time.tv_sec, 0, UINT32_MAX));
}

// One statx per item, link not followed; the times stay in UTC seconds (a
// QDateTime in local time looks up the time zone on every conversion).
ItemStat statItem(const QString& path)
{
    ItemStat item;
    struct statx st {};
    if (statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW,
              STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME, &st)
        != 0)
        return item;
    item.ok = true;
    item.mode = st.stx_mode;
    item.size = st.stx_size;
    item.modified = unixSeconds(st.stx_mtime);
    item.accessed = unixSeconds(st.stx_atime);
    item.created = (st.stx_mask & STATX_BTIME) ? unixSeconds(st.stx_btime) : item.modified;
    return item;
}

struct SourceItem {
    QString domain;
    QString relativePath; // empty for the domain's own folder
    QString sourcePath;
    bool directory = false;
    ItemStat stat;
};

// Every domain folder and the folders and files below it, in a fixed order.
// Symbolic links and names that could not be stored safely are left out.
std::vector<SourceItem> collectSource(const QString& sourceRoot, int* skipped)
{
    std::vector<SourceItem> items;
    const QStringList domains =
        QDir(sourceRoot)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                       QDir::Name);
    const int linkedDomains = static_cast<int>(
        QDir(sourceRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size()
        - domains.size());
    *skipped += linkedDomains;
    for (const QString& domain : domains) {
        const QString domainPath = QDir(sourceRoot).filePath(domain);
        const ItemStat domainStat = statItem(domainPath);
        if (!domainStat.ok || !S_ISDIR(domainStat.mode) || domain.contains(QLatin1Char(','))
            || domain.contains(QLatin1Char('\n'))) {
            ++*skipped;
            continue;
        }
        items.push_back({domain, QString(), domainPath, true, domainStat});
        QDirIterator it(domainPath,
                        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        std::vector<SourceItem> below;
        const QDir domainFolder(domainPath);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = domainFolder.relativeFilePath(path);
            const ItemStat stat = statItem(path);
            if (!stat.ok || (!S_ISDIR(stat.mode) && !S_ISREG(stat.mode))
                || !BackupPathRules::isSafeRelativePath(relative)) {
                ++*skipped;
                continue;
            }
            below.push_back({domain, relative, path, S_ISDIR(stat.mode), stat});
        }
        std::sort(below.begin(), below.end(), [](const SourceItem& a, const SourceItem& b) {
            return a.relativePath < b.relativePath;
        });
        items.insert(items.end(), below.begin(), below.end());
    }
    return items;
}

// Copies one file into the staging folder and hashes it on the way. Nothing
// is flushed here: the staging folder becomes the backup only after one flush
// of the whole folder, so a run cut short never leaves a backup with a
// partial file, only a staging folder.
bool copyPlain(const QString& source, const QString& target, QByteArray* sha1, QString* error)
{
    constexpr qint64 kBlock = 1 << 20;
    thread_local const std::unique_ptr<char[]> buffer(new char[kBlock]);
    const QByteArray targetName = QFile::encodeName(target);
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    const int out =
        in < 0 ? -1 : ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const auto closeBoth = qScopeGuard([in, out] {
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ::close(out);
    });
    if (in < 0 || out < 0) {
        *error = QStringLiteral("Cannot copy %1 into the backup.").arg(source);
        return false;
    }
    Sha1Digest hash;
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), static_cast<size_t>(kBlock));
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            break;
        if (got < 0 || !writeAllToDescriptor(out, buffer.get(), got)) {
            ::unlink(targetName.constData());
            *error = QStringLiteral("Cannot copy %1 into the backup.").arg(source);
            return false;
        }
        hash.addData(buffer.get(), got);
    }
    // Starts the file on its way to the disk without waiting for it, so that
    // the disk writes while the next files are read and hashed; the flush of
    // the whole folder below still makes the backup durable.
    ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
    *sha1 = hash.result();
    if (sha1->isEmpty()) {
        ::unlink(targetName.constData());
        *error = QStringLiteral("Cannot hash %1.").arg(source);
        return false;
    }
    return true;
}

// How many files are copied at once: reading from the page cache, hashing
// and writing into it keep a core each busy.
constexpr int kCopyingThreads = 4;

bool writeUnflushed(const QString& path, const QByteArray& bytes)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAllToDescriptor(fd, bytes.constData(), bytes.size());
    return ::close(fd) == 0 && written;
}

// Flushes the staging folder's files and names to the disk at once (one
// syncfs of its file system in place of a flush per file), so that the backup
// it becomes is whole even after a power cut.
bool flushFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = ::syncfs(fd) == 0;
    return ::close(fd) == 0 && flushed;
}

// Makes a rename inside `folder` durable.
void flushNames(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

    // The files are copied by several threads at once (reading, hashing and
    // writing each one); the manifest then takes them in the fixed order.
    std::vector<QByteArray> hashes(items.size());
    std::vector<QString> errors(items.size());
    const bool copied = parallelFor(items.size(), kCopyingThreads, [&](size_t i) {
        const SourceItem& item = items[i];
        if (item.directory)
            return true;
        const QString fileID =
            QELDeviceBackupBrowser::fileIdentifier(item.domain, item.relativePath);
        const QString stored = target + QLatin1Char('/') + fileID;
        return cipher ? cipher->encryptFile(item.sourcePath, stored, fileID, &hashes[i], &errors[i])
                      : copyPlain(item.sourcePath, stored, &hashes[i], &errors[i]);
    });
    if (!copied) {
        const auto failed = std::find_if(errors.begin(), errors.end(),
                                         [](const QString& error) { return !error.isEmpty(); });
        ToolOutput::out(
            QStringLiteral("Backup failed: %1")
                .arg(failed != errors.end() ? *failed : QStringLiteral("cannot copy a file.")));
        return 1;
    }

    MbdbWriter manifest;
    int fileCount = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const SourceItem& item = items[i];
        MbdbWriter::Record record;
        record.domain = item.domain.toUtf8();
        record.path = item.relativePath.toUtf8();
        // The encryption key stays absent: it is kept in the stored file's header.
        record.mode = item.directory ? 0x4000 | 0755 : 0x8000 | 0644;
        record.userID = 501; // the device's "mobile" user
        record.groupID = 501;
        record.modified = item.stat.modified;
        record.accessed = item.stat.accessed;
        record.created = item.stat.created;
        record.size = item.directory ? 0 : item.stat.size;
        record.protectionClass = cipher ? 3 : 0;
        if (!item.directory) {
            record.dataHash = hashes[i];
            ++fileCount;
        }
        if (!manifest.add(record)) {
            ToolOutput::out(
                QStringLiteral("Backup failed: the name %1 is too long for the manifest.")
                    .arg(item.relativePath));
            return 1;
        }
    }
    backupKillPoint("files");
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

    const bool written = writeUnflushed(target + QStringLiteral("/Manifest.mbdb"), manifestBytes)
        && writeUnflushed(target + QStringLiteral("/Manifest.mbdx"), indexBytes)
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

    backupKillPoint("manifests");
    if (!flushFolder(target)) {
        ToolOutput::out(QStringLiteral("Backup failed: cannot write %1 to the disk.").arg(target));
        return 1;
    }
    chmod(QFile::encodeName(target).constData(), 0700);
    backupKillPoint("flushed");

    // The new backup takes the old one's place in one step where the file
    // system can exchange two names. Elsewhere the old one is moved aside
    // whole, the new one moved in, and only then is the old one removed: at
    // every moment one of them is whole, under the device's name or under a
    // name that the next run's tidy-up puts back.
    const bool replacing = QFileInfo(finalFolder).exists() || QFileInfo(finalFolder).isSymLink();
    bool exchanged = false;
    if (replacing) {
        exchanged = backupExchangeNames(target, finalFolder);
        if (!exchanged && errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            ToolOutput::error(QStringLiteral("Cannot exchange the new backup with the previous "
                                             "one (%1); moving the previous one aside instead.")
                                  .arg(QString::fromLocal8Bit(strerror(errno))));
    }
    QString displaced = exchanged ? target : QString();
    if (replacing && !exchanged) {
        displaced = BackupFolderCare::unusedName(
            backupRoot, QStringLiteral(".") + udid + QStringLiteral("-old-"));
        if (displaced.isEmpty() || !backupRename(finalFolder, displaced, "aside")) {
            ToolOutput::out(
                QStringLiteral("Backup failed: cannot replace the previous backup in %1.")
                    .arg(finalFolder));
            return 1;
        }
        backupKillPoint("displaced");
    }
    if (!exchanged && !backupRename(target, finalFolder, "final")) {
        const QString reason = QString::fromLocal8Bit(strerror(errno));
        if (!displaced.isEmpty() && !backupRename(displaced, finalFolder, "back")) {
            // Both backups are whole beside the device's name; the next run
            // of the tool puts one of them back. Neither may be removed now.
            staging.setAutoRemove(false);
            ToolOutput::out(QStringLiteral("Backup failed: cannot move the new backup to %1 (%2), "
                                           "nor the previous one back; the next run of the "
                                           "tool puts a whole backup back.")
                                .arg(finalFolder, reason));
            return 1;
        }
        ToolOutput::out(QStringLiteral("Backup failed: cannot move the new backup to %1 (%2); "
                                       "the previous backup is kept.")
                            .arg(finalFolder, reason));
        return 1;
    }
    // The staging path now holds the previous backup, or nothing: it is
    // removed below without following a link.
    staging.setAutoRemove(false);
    flushNames(backupRoot);
    backupKillPoint("replaced");
    if (!displaced.isEmpty())
        BackupFolderCare::removeFolder(displaced);
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
        BackupEncryption::open(backupFolder, password, {}, true, &error);
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
