// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPodFramework.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtEndian>

#include <mutex>

struct IPodFramework::Private {
    Options options;
    mutable std::mutex mutex;
};

namespace {

QString clean(const QString& path)
{
    QString cleaned = QDir::cleanPath(path);
    while (cleaned.size() > 1 && cleaned.endsWith(QLatin1Char('/')))
        cleaned.chop(1);
    return cleaned;
}

bool isRemovableMountPoint(const QString& root)
{
    return root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/"))
           || root.startsWith(QLatin1String("/mnt/"));
}

// The file-system UUID of a block device, from /dev/disk/by-uuid.
QString uuidOfDevice(const QString& device)
{
    if (device.isEmpty())
        return {};
    const QString target = QFileInfo(device).canonicalFilePath();
    QDirIterator it(QStringLiteral("/dev/disk/by-uuid"), QDir::System | QDir::Files);
    while (it.hasNext()) {
        it.next();
        if (QFileInfo(it.filePath()).canonicalFilePath() == target)
            return it.fileName();
    }
    return {};
}

} // namespace

IPodFramework::IPodFramework() : IPodFramework(Options()) {}

IPodFramework::IPodFramework(Options options) : d(std::make_unique<Private>())
{
    d->options = std::move(options);
}

IPodFramework::~IPodFramework() = default;

void IPodFramework::addExtraVolume(const QString& folder)
{
    std::lock_guard lock(d->mutex);
    d->options.extraVolumes.append(clean(folder));
}

void IPodFramework::removeExtraVolume(const QString& folder)
{
    std::lock_guard lock(d->mutex);
    d->options.extraVolumes.removeAll(clean(folder));
}

QStringList IPodFramework::mountedRemovableVolumes() const
{
    QStringList volumes;
    Options options;
    {
        std::lock_guard lock(d->mutex);
        options = d->options;
    }
    if (options.mountedVolumes) {
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
            if (volume.isValid() && volume.isReady() && isRemovableMountPoint(volume.rootPath()))
                volumes.append(clean(volume.rootPath()));
        }
    }
    QStringList extra = options.extraVolumes;
    if (options.environmentVolumes)
        extra += qEnvironmentVariable("ORVANE_EXTRA_VOLUMES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : std::as_const(extra)) {
        const QString path = clean(folder);
        if (QFileInfo(path).isDir() && !volumes.contains(path))
            volumes.append(path);
    }
    return volumes;
}

bool IPodFramework::copyConnected(QList<IPodHandle>* iPods) const
{
    iPods->clear();
    for (const QString& volume : mountedRemovableVolumes()) {
        if (!QFileInfo(volume + QStringLiteral("/iPod_Control")).isDir())
            continue;
        if (QFileInfo::exists(volume + QStringLiteral("/iPod_Control/iTunes/iTunesSD")))
            continue;
        // A folder that is not a mount point of its own (an extra volume) has
        // no device; its path identifies it.
        const QStorageInfo storage(volume);
        const bool mountPoint = storage.isValid() && clean(storage.rootPath()) == volume;
        iPods->append({volume, mountPoint ? QString::fromUtf8(storage.device()) : QString()});
    }
    return true;
}

bool IPodFramework::acquireLock(const IPodHandle& iPod) const
{
    const QFileInfo info(iPod.volume);
    return info.isDir() && info.isReadable();
}

bool IPodFramework::copyMountpoint(const IPodHandle& iPod, QString* mountPoint) const
{
    if (!mountedRemovableVolumes().contains(iPod.volume))
        return false;
    *mountPoint = iPod.volume;
    return true;
}

uint32_t IPodFramework::getUniqueID(const IPodHandle& iPod) const
{
    QString identity = uuidOfDevice(iPod.device);
    if (identity.isEmpty())
        identity = iPod.device + QLatin1Char('|') + QFileInfo(iPod.volume).canonicalFilePath();
    const QByteArray digest = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1);
    return qFromBigEndian<quint32>(digest.constData());
}

uint32_t IPodFramework::volumeUniqueID(const QString& volume) const
{
    const QString path = clean(volume);
    const QStorageInfo storage(path);
    const bool mountPoint = storage.isValid() && clean(storage.rootPath()) == path;
    return getUniqueID({path, mountPoint ? QString::fromUtf8(storage.device()) : QString()});
}

QString IPodFramework::copyName(const IPodHandle& iPod) const
{
    const QStorageInfo storage(iPod.volume);
    if (storage.isValid() && clean(storage.rootPath()) == iPod.volume && !storage.name().isEmpty())
        return storage.name();
    return QFileInfo(iPod.volume).fileName();
}
