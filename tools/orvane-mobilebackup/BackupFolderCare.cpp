#include "BackupFolderCare.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "ParallelFor.h"
#include "Plist.h"
#include "ToolOutput.h"

BackupFolderCare::BackupFolderCare(const QString& backupRoot, const QString& udid)
{
    m_fd = ::open(QFile::encodeName(backupRoot).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_removed = tidy(backupRoot, udid);
        ::fsync(m_fd);
    }
    // From here on this run shares the folder; a run that works here leaves
    // its staging folders alone. A tidying run holds the lock only briefly.
    while (::flock(m_fd, LOCK_SH) != 0 && errno == EINTR) {}
}

BackupFolderCare::~BackupFolderCare()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {

// Where the file system discards the blocks of a removed file on the spot
// (ext4 mounted with "discard" and no journal does), one removal waits for
// the disk: a backup of 10,000 files took seconds alone to remove. Several
// removals at once let the disk work through them together.
constexpr int kRemovingThreads = 32;
// Below this many files a folder is emptied without extra threads.
constexpr size_t kFilesPerThread = 64;

void removeNamesIn(int folder, const std::vector<std::string>& names)
{
    const int threads =
        static_cast<int>(std::min<size_t>(kRemovingThreads, names.size() / kFilesPerThread));
    parallelFor(names.size(), threads, [&](size_t i) {
        ::unlinkat(folder, names[i].c_str(), 0);
        return true;
    });
}

// Empties the open folder `folder`: files and links by name, through its
// descriptor (no path is built, nothing is looked up but what the listing
// leaves unknown), folders below one after the other. Links are removed, not
// followed.
void emptyFolder(int folder)
{
    const int listing = ::dup(folder);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    std::vector<std::string> files;
    std::vector<std::string> folders;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder =
                ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
        }
        (isFolder ? folders : files).emplace_back(name);
    }
    ::closedir(dir);
    removeNamesIn(folder, files);
    for (const std::string& name : folders) {
        const int below =
            ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (below >= 0) {
            emptyFolder(below);
            ::close(below);
        }
        ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    }
}

} // namespace

void BackupFolderCare::removeFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        // A link or a file in the folder's place goes by itself.
        if (errno == ENOTDIR || errno == ELOOP)
            ::unlink(name.constData());
        return;
    }
    emptyFolder(folder);
    ::close(folder);
    ::rmdir(name.constData());
}

QString BackupFolderCare::unusedName(const QString& folder, const QString& prefix)
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = prefix;
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(62)]);
        const QString path = folder + QLatin1Char('/') + name;
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT)
            return path;
    }
    return {};
}

bool BackupFolderCare::holdsFinishedBackup(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || info.isSymLink())
        return false;
    const QString status = Plist::readFile(folder + QStringLiteral("/Status.plist"))
                               .toMap()
                               .value(QStringLiteral("SnapshotState"))
                               .toString();
    return status == QLatin1String("finished")
        && (QFileInfo(folder + QStringLiteral("/Manifest.mbdb")).isFile()
            || QFileInfo(folder + QStringLiteral("/Manifest.db")).isFile());
}

namespace {

// Whether a moved-aside previous backup is worth putting back: what a run
// moves aside is a whole backup, but a folder of an older run may have been
// emptied part-way.
bool holdsABackup(const QString& folder)
{
    const QFileInfo info(folder);
    return info.isDir() && !info.isSymLink()
        && (QFileInfo(folder + QStringLiteral("/Manifest.mbdb")).isFile()
            || QFileInfo(folder + QStringLiteral("/Manifest.db")).isFile());
}

} // namespace

int BackupFolderCare::tidy(const QString& rootPath, const QString& udid)
{
    if (udid.isEmpty() || udid.contains(QLatin1Char('/')))
        return 0;
    const QDir root(rootPath);
    const QString newPrefix = QLatin1Char('.') + udid + QStringLiteral("-new-");
    const QString oldPrefix = QLatin1Char('.') + udid + QStringLiteral("-old-");
    const QString snapshotPrefix = QLatin1Char('.') + udid + QStringLiteral("-snap-");
    QStringList leftovers;
    // The names a run makes: the prefix and six characters of a temporary
    // name. Anything else is not ours to remove.
    for (const QString& name : root.entryList(
             {newPrefix + QLatin1Char('*'), oldPrefix + QLatin1Char('*'),
              snapshotPrefix + QLatin1Char('*')},
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const qsizetype prefix =
            name.startsWith(snapshotPrefix) ? snapshotPrefix.size() : newPrefix.size();
        if (name.size() == prefix + 6)
            leftovers.append(name);
    }
    const QString backup = root.filePath(udid);
    // A snapshot is there only while a real device's backup is made in place
    // and not yet finished: the run was stopped, and what is under the
    // device's name is neither the previous backup nor a new one.
    for (const QString& name : leftovers) {
        const QFileInfo snapshot(root.filePath(name));
        if (!name.startsWith(snapshotPrefix) || !snapshot.isDir() || snapshot.isSymLink())
            continue;
        const QFileInfo changed(backup);
        const QString aside = unusedName(rootPath, oldPrefix);
        if ((changed.exists() || changed.isSymLink())
            && (aside.isEmpty() || !QDir().rename(backup, aside)))
            break;
        if (!QDir().rename(snapshot.filePath(), backup)) {
            if (!aside.isEmpty())
                QDir().rename(aside, backup);
            break;
        }
        leftovers.removeOne(name);
        if (!aside.isEmpty())
            leftovers.append(QFileInfo(aside).fileName());
        ToolOutput::error(QStringLiteral("Put back the previous backup of %1 in place of the one "
                                         "a run cut short had left changed.")
                              .arg(udid));
        break;
    }
    const QFileInfo backupInfo(backup);
    if (!backupInfo.exists() && !backupInfo.isSymLink()) {
        // A run stopped while neither backup was under the device's name.
        // The new one is whole once it is finished (it is moved in only
        // then) and is the newer; else the previous one, moved aside whole.
        QString keep;
        for (const QString& name : leftovers) {
            if (name.startsWith(newPrefix) && holdsFinishedBackup(root.filePath(name))) {
                keep = name;
                break;
            }
        }
        for (const QString& name : leftovers) {
            if (keep.isEmpty() && name.startsWith(oldPrefix) && holdsABackup(root.filePath(name)))
                keep = name;
        }
        if (!keep.isEmpty() && QDir().rename(root.filePath(keep), backup)) {
            leftovers.removeOne(keep);
            ToolOutput::error(QStringLiteral("Put back the %1 backup of %2, which a run cut "
                                             "short had left beside its place.")
                                  .arg(keep.startsWith(newPrefix) ? QStringLiteral("new")
                                                                  : QStringLiteral("previous"),
                                       udid));
        }
    }
    for (const QString& name : leftovers)
        removeFolder(root.filePath(name));
    return static_cast<int>(leftovers.size());
}

void backupKillPoint(const char* point)
{
    static const QByteArray wanted = qgetenv("ORVANE_BACKUP_KILL_AT");
    if (!wanted.isEmpty() && wanted == point)
        ::raise(SIGKILL);
}

bool backupExchangeNames(const QString& from, const QString& to)
{
    static const bool refused = !qgetenv("ORVANE_BACKUP_NO_EXCHANGE").isEmpty();
    if (refused) {
        errno = EINVAL;
        return false;
    }
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                       QFile::encodeName(to).constData(), RENAME_EXCHANGE)
        == 0;
}

bool backupRename(const QString& from, const QString& to, const char* step)
{
    static const QList<QByteArray> failing = qgetenv("ORVANE_BACKUP_FAIL_RENAME").split(',');
    if (failing.contains(QByteArray(step))) {
        errno = EIO;
        return false;
    }
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
