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

#include "ParallelFor.h"
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

int BackupFolderCare::tidy(const QString& rootPath, const QString& udid)
{
    if (udid.isEmpty() || udid.contains(QLatin1Char('/')))
        return 0;
    const QDir root(rootPath);
    const QString newPrefix = QLatin1Char('.') + udid + QStringLiteral("-new-");
    const QString oldPrefix = QLatin1Char('.') + udid + QStringLiteral("-old-");
    const QStringList leftovers = root.entryList(
        {newPrefix + QLatin1Char('*'), oldPrefix + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString backup = root.filePath(udid);
    const QFileInfo backupInfo(backup);
    bool missing = !backupInfo.exists() && !backupInfo.isSymLink();
    int removed = 0;
    for (const QString& name : leftovers) {
        // The names a run makes: the prefix and six characters of a
        // temporary name. Anything else is not ours to remove.
        if (name.size() != newPrefix.size() + 6)
            continue;
        const QString path = root.filePath(name);
        const QFileInfo info(path);
        // A run killed after it moved the previous backup aside and before it
        // moved the new one in: the previous backup is still whole.
        if (missing && name.startsWith(oldPrefix) && info.isDir() && !info.isSymLink()) {
            if (QDir().rename(path, backup)) {
                missing = false;
                ToolOutput::error(QStringLiteral("Put back the previous backup of %1, which a run "
                                                 "cut short had moved aside.")
                                      .arg(udid));
                continue;
            }
        }
        removeFolder(path);
        ++removed;
    }
    return removed;
}

void backupKillPoint(const char* point)
{
    static const QByteArray wanted = qgetenv("ORVANE_BACKUP_KILL_AT");
    if (!wanted.isEmpty() && wanted == point)
        ::raise(SIGKILL);
}

bool backupCanExchangeNames()
{
    static const bool refused = !qgetenv("ORVANE_BACKUP_NO_EXCHANGE").isEmpty();
    return !refused;
}
