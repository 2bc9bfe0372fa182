#include "Locations.h"

#include "Log.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QMutex g_keptMutex;
QSet<QString>& keptNames()
{
    static QSet<QString> names;
    return names;
}

QString fromEnvironment(const char* variable, const QString& fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}

// Makes `path` a private folder of ours, or refuses it.
bool ensurePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (lstat(native.constData(), &info) != 0) {
        if (!QDir().mkpath(QFileInfo(path).path()))
            return false;
        if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (lstat(native.constData(), &info) != 0)
            return false;
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        qCWarning(lcOrvane) << "Refusing temporary folder that is not a plain folder:" << path;
        return false;
    }
    if (info.st_uid != geteuid()) {
        qCWarning(lcOrvane) << "Refusing temporary folder owned by another user:" << path;
        return false;
    }
    if ((info.st_mode & 0777) != 0700 && chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

namespace Locations {

QString dataHome() { return fromEnvironment("XDG_DATA_HOME", QStringLiteral(".local/share")); }

QString cacheHome() { return fromEnvironment("XDG_CACHE_HOME", QStringLiteral(".cache")); }

QString temporaryFolder()
{
    const QString parent = cacheHome() + QStringLiteral("/Orvane");
    const QString path = parent + QStringLiteral("/orvane");
    if (!QDir().mkpath(parent) || !ensurePrivateFolder(path))
        return {};
    return path;
}

void keepInTemporaryFolder(const QString& name)
{
    QMutexLocker lock(&g_keptMutex);
    keptNames().insert(name);
}

void forgetKeptInTemporaryFolder(const QString& name)
{
    QMutexLocker lock(&g_keptMutex);
    keptNames().remove(name);
}

bool emptyTemporaryFolder(const QStringList& keep)
{
    const QString path = temporaryFolder();
    if (path.isEmpty())
        return false;
    QSet<QString> kept(keep.cbegin(), keep.cend());
    {
        QMutexLocker lock(&g_keptMutex);
        kept.unite(keptNames());
    }
    bool allRemoved = true;
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (kept.contains(entry.fileName()))
            continue;
        bool removed;
        if (entry.isSymLink() || !entry.isDir())
            removed = QFile::remove(entry.filePath());
        else
            removed = QDir(entry.filePath()).removeRecursively();
        if (!removed) {
            qCWarning(lcOrvane) << "Could not remove from the temporary folder:" << entry.filePath();
            allRemoved = false;
        }
    }
    return allRemoved;
}

QString makeScratchFolder(const QString& prefix)
{
    const QString root = temporaryFolder();
    if (root.isEmpty())
        return {};
    QTemporaryDir dir(root + QLatin1Char('/') + prefix + QStringLiteral("-XXXXXX"));
    if (!dir.isValid())
        return {};
    dir.setAutoRemove(false);
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
    return dir.path();
}

QString backupRoot() { return dataHome() + QStringLiteral("/Orvane/MobileSync/Backup"); }

QString savedPreferencesFolder(const QString& udid)
{
    return dataHome() + QStringLiteral("/Orvane/saved-preferences/") + udid;
}

} // namespace Locations
