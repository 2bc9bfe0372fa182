#include "BackupManifestCache.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QMutexLocker>

namespace {

QString folderKey(const QString& folder) { return QDir::cleanPath(QDir(folder).absolutePath()); }

} // namespace

BackupManifestCache::FileStamp BackupManifestCache::stampOf(const QString& path)
{
    struct stat info {};
    FileStamp stamp;
    if (stat(QFile::encodeName(path).constData(), &info) == 0) {
        stamp.exists = true;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    return stamp;
}

BackupManifestCache::DomainTable BackupManifestCache::ReadMBDBForBackUpSetAtPath(
    const QString& folder)
{
    const QString key = folderKey(folder);
    const QString path = key + QStringLiteral("/Manifest.mbdb");
    const FileStamp stamp = stampOf(path);
    {
        QMutexLocker lock(&m_mutex);
        const auto found = m_manifests.constFind(key);
        if (found != m_manifests.constEnd() && found->manifest == stamp)
            return found->table;
    }
    const ManifestEntry entry{stamp, QELDeviceBackupBrowser::readManifestFile(path)};
    QMutexLocker lock(&m_mutex);
    m_manifests.insert(key, entry);
    return entry.table;
}

std::optional<BackupManifestCache::RecordTable> BackupManifestCache::
    ReadMBDBWithMBDXForBackUpSetAtPath(const QString& folder)
{
    const QString key = folderKey(folder);
    const QString indexPath = key + QStringLiteral("/Manifest.mbdx");
    const QString manifestPath = key + QStringLiteral("/Manifest.mbdb");
    const FileStamp indexStamp = stampOf(indexPath);
    const FileStamp manifestStamp = stampOf(manifestPath);
    {
        QMutexLocker lock(&m_mutex);
        const auto found = m_indexes.constFind(key);
        if (found != m_indexes.constEnd() && found->index == indexStamp
            && found->manifest == manifestStamp)
            return found->table;
    }
    const std::optional<RecordTable> table =
        QELDeviceBackupBrowser::readIndexFiles(indexPath, manifestPath);
    QMutexLocker lock(&m_mutex);
    m_indexes.insert(key, IndexEntry{indexStamp, manifestStamp, table.value_or(RecordTable())});
    return table;
}

BackupManifestCache::DomainTable BackupManifestCache::backUpContentListing(
    const QString& folder) const
{
    QMutexLocker lock(&m_mutex);
    return m_manifests.value(folderKey(folder)).table;
}
