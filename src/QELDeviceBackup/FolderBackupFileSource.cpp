#include "FolderBackupFileSource.h"

#include <algorithm>

#include <sys/stat.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "BackupPathRules.h"
#include "Locations.h"
#include "Log.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "SafePath.h"

namespace {

const QString kHomeDomain = QStringLiteral("HomeDomain");

// A regular file once symlinks are resolved: a FIFO or a device node would
// block or never end when copied.
bool isRegularFile(const QString& path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

FolderBackupFileSource::FolderBackupFileSource(const QString& folder)
    : m_folder(QDir::cleanPath(QDir(folder).absolutePath()))
{
}

QString FolderBackupFileSource::fileInside(const QString& relativePath) const
{
    if (!BackupPathRules::isSafeRelativePath(relativePath))
        return {};
    const QString path = m_folder + QLatin1Char('/') + relativePath;
    if (!SafePath::isInside(m_folder, path))
        return {};
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty() || !isRegularFile(resolved))
        return {};
    return resolved;
}

QString FolderBackupFileSource::copyWithCompanions(const QString& relativePath) const
{
    const QString source = fileInside(relativePath);
    if (source.isEmpty())
        return {};
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("folder-file"));
    if (scratch.isEmpty())
        return {};
    const QString target =
        scratch + QLatin1Char('/') + BackupPathRules::lastComponent(relativePath);
    if (!QFile::copy(source, target)) {
        qCWarning(lcOrvane) << "Could not copy" << source << "to" << target;
        QDir(scratch).removeRecursively();
        return {};
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString companion = fileInside(relativePath + suffix);
        if (!companion.isEmpty() && QFile::copy(companion, target + suffix))
            QFile::setPermissions(target + suffix, QFile::ReadOwner | QFile::WriteOwner);
    }
    return target;
}

QString FolderBackupFileSource::GetPathToDataOfType(int type)
{
    // Types 4 and 15 have no entry in the file-name table (a backup's index
    // would find other apps' files of that name); a folder of copies holds
    // one device's files, so their path's last component names them here.
    QString name = QELDeviceBackup::fileNameForDataType(type);
    if (name.isEmpty()) {
        const std::optional<QELDataTypeSearchReferenceElement> element =
            QELDeviceBackup::relativePathElementForDataType(type);
        if (!element)
            return {};
        name = BackupPathRules::lastComponent(element->relativeDevicePath());
    }
    return copyWithCompanions(name);
}

QString FolderBackupFileSource::GetPathForDeviceFileNameInDomain(const QString& path,
                                                                 const QString& domain)
{
    Q_UNUSED(domain)
    if (!BackupPathRules::isSafeRelativePath(path))
        return {};
    if (!fileInside(path).isEmpty())
        return copyWithCompanions(path);
    const QString name = BackupPathRules::lastComponent(path);
    return name == path ? QString() : copyWithCompanions(name);
}

QList<QELDeviceBackupListingItem> FolderBackupFileSource::GetAllFilesInDomain(const QString& domain)
{
    const QString inDomain = domain.isNull() ? kHomeDomain : domain;
    QStringList paths;
    const QDir root(m_folder);
    // Symlinked folders are not entered; symlinked files count when they stay inside.
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relativePath = root.relativeFilePath(it.next());
        if (!fileInside(relativePath).isEmpty())
            paths.append(relativePath);
    }
    std::sort(paths.begin(), paths.end());
    QList<QELDeviceBackupListingItem> items;
    for (const QString& relativePath : paths) {
        QELDeviceBackupListingItem item;
        item.setRelativePath(relativePath);
        item.setBackupFile(QELDeviceBackupBrowser::fileIdentifier(inDomain, relativePath));
        item.setDomain(inDomain);
        items.append(item);
    }
    return items;
}
