#include "QELDeviceBackupBrowser.h"

#include "MbdbFormat.h"
#include "QELBinaryFileHandle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QtEndian>

#include <sys/stat.h>

namespace {

// What identifies one version of a file: a new backup replaces the manifest
// (new inode) or rewrites it (new size or time).
struct FileStamp {
    bool exists = false;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path)
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

QString folderKey(const QString& folder) { return QDir::cleanPath(QDir(folder).absolutePath()); }

struct ManifestCacheEntry {
    FileStamp manifest;
    QELDeviceBackupBrowser::DomainTable table;
};

struct IndexCacheEntry {
    FileStamp index;
    FileStamp manifest;
    QELDeviceBackupBrowser::RecordTable table;
};

QMutex g_cacheMutex;
QHash<QString, ManifestCacheEntry>& manifestCache()
{
    static QHash<QString, ManifestCacheEntry> cache;
    return cache;
}
QHash<QString, IndexCacheEntry>& indexCache()
{
    static QHash<QString, IndexCacheEntry> cache;
    return cache;
}

QELDeviceBackupBrowser::DomainTable readManifest(const QString& path)
{
    QELDeviceBackupBrowser::DomainTable table;
    QELBinaryFileHandle file(path);
    if (!file.isOpen() || !MbdbFormat::readHeader(file))
        return table;
    MbdbRecord record;
    while (MbdbFormat::readRecord(file, &record) == MbdbFormat::ReadResult::Record) {
        if (!record.domain || !record.path)
            continue;
        table[*record.domain].insert(*record.path, QELDeviceBackupBrowser::_hashString(*record.domain + QLatin1Char('-') + *record.path));
    }
    file.closeFile();
    return table;
}

// The index-side string: "n/a" for an absent one, std::nullopt when the field
// runs past the end of the manifest.
std::optional<QString> readIndexString(QELBinaryFileHandle& file)
{
    bool truncated = false;
    const std::optional<QByteArray> bytes = MbdbFormat::readField(file, &truncated);
    if (truncated)
        return std::nullopt;
    if (!bytes)
        return QStringLiteral("n/a");
    return MbdbFormat::decodeString(bytes).value_or(QStringLiteral("n/a"));
}

std::optional<QELDeviceBackupBrowser::RecordTable> readIndex(const QString& indexPath, const QString& manifestPath)
{
    QELBinaryFileHandle index(indexPath);
    QELBinaryFileHandle manifest(manifestPath);
    if (index.bytesLeft() < 10 || index.readStringOfLength(4) != QLatin1String("mbdx") || index.readUInt16() != 2)
        return std::nullopt;
    if (manifest.bytesLeft() < static_cast<uint64_t>(MbdbFormat::kHeaderSize) || manifest.readStringOfLength(4) != QLatin1String("mbdb"))
        return std::nullopt;
    manifest.skipBytes(2);
    const QByteArray countBytes = index.readDataOfLength(4);
    const uint32_t count = qFromBigEndian<uint32_t>(countBytes.constData());

    QELDeviceBackupBrowser::RecordTable table;
    constexpr int kEntrySize = 26;
    // A count larger than the file holds reads the whole entries there are.
    for (uint32_t i = 0; i < count && index.bytesLeft() >= static_cast<uint64_t>(kEntrySize); ++i) {
        const QByteArray entry = index.readDataOfLength(kEntrySize);
        const auto* bytes = reinterpret_cast<const uchar*>(entry.constData());
        QELBackupFileRecord record;
        record.setBackupPath(QString::fromLatin1(entry.left(20).toHex()));
        record.setOffset(qFromBigEndian<int32_t>(bytes + 20));
        record.setMode(qFromBigEndian<uint16_t>(bytes + 24));

        // An offset outside the manifest names no record.
        const qint64 position = qint64(record.offset()) + MbdbFormat::kHeaderSize;
        if (record.offset() < 0 || static_cast<uint64_t>(position) >= manifest.size())
            continue;
        manifest.setPosition(static_cast<uint64_t>(position));
        const std::optional<QString> domain = readIndexString(manifest);
        const std::optional<QString> path = domain ? readIndexString(manifest) : std::nullopt;
        if (!path)
            continue;
        record.setDomain(*domain);
        record.setSourcePath(*path);

        if (!(record.mode() & 0x8000) || record.sourcePath().startsWith(QLatin1Char('/')))
            continue;
        const QString name = record.sourcePath().section(QLatin1Char('/'), -1);
        if (!table.contains(name))
            table.insert(name, record);
    }
    index.closeFile();
    manifest.closeFile();
    return table;
}

QString readFieldAsText(QELBinaryFileHandle& file, bool data)
{
    bool truncated = false;
    const std::optional<QByteArray> bytes = MbdbFormat::readField(file, &truncated);
    if (!bytes)
        return {};
    if (data)
        return QStringLiteral("");
    return MbdbFormat::decodeString(bytes).value_or(QString());
}

} // namespace

QString QELDeviceBackupBrowser::_hashString(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper());
}

QString QELDeviceBackupBrowser::fileIdentifier(const QString& domain, const QString& relativePath)
{
    return _hashString(domain + QLatin1Char('-') + relativePath).toLower();
}

QString QELDeviceBackupBrowser::_readStringFromFileHandle(QELBinaryFileHandle& file) { return readFieldAsText(file, false); }

QString QELDeviceBackupBrowser::_readDataHashFromFileHandle(QELBinaryFileHandle& file) { return readFieldAsText(file, true); }

QString QELDeviceBackupBrowser::_getStringFromFileHandle(QELBinaryFileHandle& file)
{
    return readIndexString(file).value_or(QStringLiteral("n/a"));
}

QELDeviceBackupBrowser::DomainTable QELDeviceBackupBrowser::ReadMBDBForBackUpSetAtPath(const QString& folder)
{
    const QString key = folderKey(folder);
    const QString path = key + QStringLiteral("/Manifest.mbdb");
    const FileStamp stamp = stampOf(path);
    {
        QMutexLocker lock(&g_cacheMutex);
        const auto found = manifestCache().constFind(key);
        if (found != manifestCache().constEnd() && found->manifest == stamp)
            return found->table;
    }
    ManifestCacheEntry entry{stamp, readManifest(path)};
    QMutexLocker lock(&g_cacheMutex);
    manifestCache().insert(key, entry);
    return entry.table;
}

std::optional<QELDeviceBackupBrowser::RecordTable> QELDeviceBackupBrowser::ReadMBDBWithMBDXForBackUpSetAtPath(const QString& folder)
{
    const QString key = folderKey(folder);
    const QString indexPath = key + QStringLiteral("/Manifest.mbdx");
    const QString manifestPath = key + QStringLiteral("/Manifest.mbdb");
    const FileStamp indexStamp = stampOf(indexPath);
    const FileStamp manifestStamp = stampOf(manifestPath);
    {
        QMutexLocker lock(&g_cacheMutex);
        const auto found = indexCache().constFind(key);
        if (found != indexCache().constEnd() && found->index == indexStamp && found->manifest == manifestStamp)
            return found->table;
    }
    const std::optional<RecordTable> table = readIndex(indexPath, manifestPath);
    QMutexLocker lock(&g_cacheMutex);
    indexCache().insert(key, IndexCacheEntry{indexStamp, manifestStamp, table.value_or(RecordTable())});
    return table;
}

QELDeviceBackupBrowser::DomainTable QELDeviceBackupBrowser::backUpContentListing(const QString& folder)
{
    QMutexLocker lock(&g_cacheMutex);
    return manifestCache().value(folderKey(folder)).table;
}

void QELDeviceBackupBrowser::clearManifestCaches()
{
    QMutexLocker lock(&g_cacheMutex);
    manifestCache().clear();
    indexCache().clear();
}
