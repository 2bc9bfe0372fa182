#include "BackupFolderCare.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    while (::flock(m_fd, LOCK_SH) != 0 && errno == EINTR) {
    }
}

BackupFolderCare::~BackupFolderCare()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void BackupFolderCare::removeFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir())
        QFile::remove(path);
    else
        QDir(path).removeRecursively();
}

int BackupFolderCare::tidy(const QString& rootPath, const QString& udid)
{
    if (udid.isEmpty() || udid.contains(QLatin1Char('/')))
        return 0;
    const QDir root(rootPath);
    const QString newPrefix = QLatin1Char('.') + udid + QStringLiteral("-new-");
    const QString oldPrefix = QLatin1Char('.') + udid + QStringLiteral("-old-");
    const QStringList leftovers =
        root.entryList({newPrefix + QLatin1Char('*'), oldPrefix + QLatin1Char('*')},
                       QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
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
