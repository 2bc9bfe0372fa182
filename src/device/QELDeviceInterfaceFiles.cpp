// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations of QELDeviceInterface: over the file service (AFC) for
// iOS devices, through the file system below the mount point for disk-mode iPods.
#include <cerrno>
#include <cstdio>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringDecoder>

#include "AfcConnection.h"
#include "AtomicFile.h"
#include "CopyByteMeter.h"
#include "CopyFailure.h"
#include "DescriptorWrite.h"
#include "Log.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace {

constexpr qint64 kBlockSize = 4 * 1024 * 1024; // every block transfer: 4 MiB
constexpr int kMaxFolderDepth = 64;

// "/a/./b/../c" and "a/c" -> "/a/c"; ".." never leads above the root.
QString normalisedDevicePath(const QString& path)
{
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString joinDevicePath(const QString& folder, const QString& name)
{
    const QString base = normalisedDevicePath(folder);
    return base == QLatin1String("/") ? base + name : base + QLatin1Char('/') + name;
}

bool allDigits(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool localExists(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The block buffer of the calling thread, made once and reused by every copy
// it runs; never zero-filled, since every byte used was read first.
char* blockBuffer()
{
    thread_local const std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    return buffer.get();
}

// Whether copy_file_range failed only because these files cannot be copied
// inside the kernel (other file systems, an old kernel): then read and write.
bool kernelCopyUnavailable(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Every write of a copy passes here, so that a failure notes its reason
// (a full disk above all) and a test can make the disk fill up.
bool writeBlock(int fd, const char* data, qint64 size)
{
    int injected = 0;
    if (CopyFailures::injectedWriteFailure(size, &injected)) {
        errno = injected;
        CopyFailures::noteErrno(injected);
        return false;
    }
    if (writeAllToDescriptor(fd, data, size))
        return true;
    CopyFailures::noteErrno(errno);
    return false;
}

// The time of a device file's information ("st_mtime", nanoseconds since 1970).
QDateTime afcModificationTime(AfcConnection& connection, const QString& devicePath)
{
    AfcConnection::KeyValues info;
    if (connection.fileInfo(devicePath, &info) != AfcResult::kSuccess)
        return {};
    for (const auto& [key, value] : info) {
        if (key != QLatin1String("st_mtime"))
            continue;
        bool ok = false;
        const qint64 nanoseconds = value.toLongLong(&ok);
        if (ok && nanoseconds > 0)
            return QDateTime::fromMSecsSinceEpoch(nanoseconds / 1000000, Qt::UTC);
    }
    return {};
}

timespec timespecOf(const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    timespec time{};
    time.tv_sec = static_cast<time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    time.tv_nsec = static_cast<long>(((ms % 1000) + 1000) % 1000) * 1000000L;
    return time;
}

// Gives the finished file its name unless that name is taken. Network shares
// and some FUSE file systems have no exclusive rename (EINVAL): there the name
// is checked first, and a file that appears between the check and the rename
// is the only case left to chance.
bool renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    struct stat existing {};
    if (::lstat(to.constData(), &existing) == 0 || errno != ENOENT)
        return false;
    return ::rename(from.constData(), to.constData()) == 0;
}

// The file a copy writes: unnamed (O_TMPFILE) in the target's folder, so a
// copy cut short, even by a kill, leaves nothing behind, and given its name
// only once the whole file is there; a named temporary beside the target where
// the file system has no unnamed files. The name is never taken from a file
// that appeared meanwhile.
class PartFile {
public:
    explicit PartFile(const QString& target)
        : m_target(QFile::encodeName(target))
    {
        const qsizetype slash = m_target.lastIndexOf('/');
        const QByteArray folder = slash > 0 ? m_target.left(slash)
            : slash == 0                    ? QByteArray("/")
                                            : QByteArray(".");
        // 0666 less the umask, as cp makes its copies: others who may read
        // the user's files (a media server) can read these too.
        m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_named = m_target + ".part-XXXXXX";
            m_fd = mkostemp(m_named.data(), O_CLOEXEC);
            if (m_fd < 0) {
                CopyFailures::noteErrno(errno);
                m_named.clear();
            } else {
                ::fchmod(m_fd, AtomicFile::newFileMode());
            }
        }
    }
    ~PartFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_named.isEmpty())
            ::unlink(m_named.constData());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // The modification time the file gets; none keeps the time of the copy.
    void setModified(const QDateTime& modified) { m_modified = modified; }

    bool commit()
    {
        if (m_fd < 0)
            return false;
        if (m_modified.isValid()) {
            const timespec times[2] = {{0, UTIME_OMIT}, timespecOf(m_modified)};
            ::futimens(m_fd, times);
        }
        bool named = false;
        if (m_named.isEmpty()) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            named = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, m_target.constData(),
                             AT_SYMLINK_FOLLOW)
                == 0;
        } else if (renameNoReplace(m_named, m_target)) {
            named = true;
            m_named.clear();
        }
        if (!named)
            CopyFailures::noteErrno(errno);
        // A write error some file systems report only now is a failed copy.
        const bool closed = ::close(m_fd) == 0;
        if (!closed)
            CopyFailures::noteErrno(errno);
        m_fd = -1;
        if (named && !closed)
            ::unlink(m_target.constData());
        return named && closed;
    }

private:
    QByteArray m_target;
    QByteArray m_named;
    QDateTime m_modified;
    int m_fd = -1;
};

QString uniqueSuffix() { return QString::number(QRandomGenerator::global()->generate64(), 36); }

} // namespace

QELDeviceInterface::EntryType QELDeviceInterface::entryTypeAtPath(const QString& path) const
{
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return EntryType::Missing;
        AfcConnection::KeyValues info;
        const QString devicePath = normalisedDevicePath(path);
        if (noteAfc(connection->fileInfo(devicePath, &info), "fileInfo", devicePath, true)
            != AfcResult::kSuccess)
            return EntryType::Missing;
        for (const auto& [key, value] : info) {
            if (key == QLatin1String("st_ifmt"))
                return value == QLatin1String("S_IFDIR") ? EntryType::Directory : EntryType::File;
        }
        // The device did not say: a folder is what it can list.
        QStringList entries;
        return connection->directoryRead(devicePath, &entries) == AfcResult::kSuccess
            ? EntryType::Directory
            : EntryType::File;
    }
    if (!diskMode())
        return EntryType::Missing;
    // A link counts as what it leads to; a dangling one is still an entry.
    const QByteArray full = QFile::encodeName(fullStandardDevicePathWithPath(path));
    struct stat info {};
    if (stat(full.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? EntryType::Directory : EntryType::File;
    return lstat(full.constData(), &info) == 0 ? EntryType::File : EntryType::Missing;
}

int QELDeviceInterface::noteAfc(int code, const char* operation, const QString& path,
                                bool notFoundIsAnswer) const
{
    if (code == AfcResult::kSuccess || (notFoundIsAnswer && code == AfcResult::kNotFound))
        return code;
    qCWarning(lcOrvane).nospace() << "The device's file service answered " << code << " to "
                                  << operation << " of " << path;
    std::lock_guard lock(m_afcErrorMutex);
    m_lastAfcError = AfcError{code, QString::fromLatin1(operation), path};
    return code;
}

QELDeviceInterface::AfcError QELDeviceInterface::lastAfcError() const
{
    std::lock_guard lock(m_afcErrorMutex);
    return m_lastAfcError;
}

void QELDeviceInterface::clearLastAfcError()
{
    std::lock_guard lock(m_afcErrorMutex);
    m_lastAfcError = AfcError{};
}

QString QELDeviceInterface::fullStandardDevicePathWithPath(const QString& path) const
{
    QString base = standardDeviceBasePath();
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString relative = normalisedDevicePath(path);
    const QString full = relative == QLatin1String("/") ? base : base + relative;
    // A symlink on the volume may point anywhere on the computer: a path that
    // leaves the volume is no device path, and every call on it fails.
    if (base.isEmpty() || !SafePath::isInside(base, full)) {
        qCWarning(lcOrvane).noquote() << "Refusing a device path that leaves the volume:" << path;
        return QString();
    }
    return full;
}

void QELDeviceInterface::setCancelFileOperation(bool cancel)
{
    m_cancelFileOperation.store(cancel);
    // Cancels the copies running now; a copy started later is not affected.
    if (cancel)
        ++m_cancelGeneration;
}

bool QELDeviceInterface::fileExistsAtPath(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        AfcConnection::KeyValues info;
        const QString devicePath = normalisedDevicePath(path);
        return noteAfc(connection->fileInfo(devicePath, &info), "fileInfo", devicePath, true)
            == AfcResult::kSuccess;
    }
    return diskMode() && localExists(fullStandardDevicePathWithPath(path));
}

std::optional<QVariantMap> QELDeviceInterface::getFileInfo(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return std::nullopt;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        AfcConnection::KeyValues pairs;
        if (!connection
            || noteAfc(connection->fileInfo(normalisedDevicePath(path), &pairs), "fileInfo",
                       normalisedDevicePath(path), true)
                != AfcResult::kSuccess)
            return std::nullopt;
        QVariantMap record;
        for (const auto& [key, value] : pairs) {
            if (key.isEmpty())
                break;
            bool ok = true;
            const qint64 number = value.isEmpty() ? 0 : value.toLongLong(&ok);
            record.insert(key, allDigits(value) && ok ? QVariant(number) : QVariant(value));
        }
        record.insert(QStringLiteral("path"), path);
        return record;
    }
    if (!diskMode())
        return std::nullopt;
    const QFileInfo info(fullStandardDevicePathWithPath(path));
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QVariantMap attributes;
    attributes.insert(QStringLiteral("NSFileSize"),
                      info.isSymLink() ? QVariant(qint64(0)) : QVariant(info.size()));
    attributes.insert(QStringLiteral("NSFileType"),
                      info.isSymLink()   ? QStringLiteral("NSFileTypeSymbolicLink")
                          : info.isDir() ? QStringLiteral("NSFileTypeDirectory")
                                         : QStringLiteral("NSFileTypeRegular"));
    attributes.insert(QStringLiteral("NSFileModificationDate"), info.lastModified().toUTC());
    const QDateTime created = info.birthTime();
    if (created.isValid())
        attributes.insert(QStringLiteral("NSFileCreationDate"), created.toUTC());
    attributes.insert(QStringLiteral("NSFilePosixPermissions"), qint64(info.permissions()));
    return attributes;
}

std::optional<qint64> QELDeviceInterface::fileSizeAtPath(const QString& path) const
{
    const std::optional<QVariantMap> info = getFileInfo(path);
    if (!info || info->value(QStringLiteral("st_ifmt")) == QLatin1String("S_IFDIR")
        || info->value(QStringLiteral("NSFileType")) == QLatin1String("NSFileTypeDirectory"))
        return std::nullopt;
    QVariant size = info->value(QStringLiteral("st_size"));
    if (!size.isValid())
        size = info->value(QStringLiteral("NSFileSize"));
    bool ok = false;
    const qint64 bytes = size.toLongLong(&ok);
    if (!size.isValid() || !ok || bytes < 0)
        return std::nullopt;
    return bytes;
}

bool QELDeviceInterface::isDirectoryAtPath(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        // The item's type from its information; a listing only when the
        // device does not say.
        AfcConnection::KeyValues info;
        if (noteAfc(connection->fileInfo(normalisedDevicePath(path), &info), "fileInfo",
                    normalisedDevicePath(path), true)
            != AfcResult::kSuccess)
            return false;
        for (const auto& [key, value] : info) {
            if (key == QLatin1String("st_ifmt"))
                return value == QLatin1String("S_IFDIR");
        }
        QStringList entries;
        return noteAfc(connection->directoryRead(normalisedDevicePath(path), &entries),
                       "directoryRead", normalisedDevicePath(path))
            == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    const QFileInfo info(fullStandardDevicePathWithPath(path));
    return info.isDir();
}

bool QELDeviceInterface::makeDir(const QString& path) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->directoryCreate(normalisedDevicePath(path)), "directoryCreate",
                       normalisedDevicePath(path))
            == AfcResult::kSuccess;
    }
    const QString full = diskMode() ? fullStandardDevicePathWithPath(path) : QString();
    return !full.isEmpty() && QDir().mkpath(full);
}

std::optional<QStringList> QELDeviceInterface::directoryContents(const QString& path,
                                                                 int* refused) const
{
    assertNotOnGuiThread();
    if (path.isNull() || !isDirectoryAtPath(path))
        return std::nullopt;
    QStringList names;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection
            || noteAfc(connection->directoryRead(normalisedDevicePath(path), &names),
                       "directoryRead", normalisedDevicePath(path))
                != AfcResult::kSuccess)
            return std::nullopt;
    } else {
        if (!diskMode())
            return std::nullopt;
        const QString full = fullStandardDevicePathWithPath(path);
        if (full.isEmpty())
            return std::nullopt;
        // Read with readdir rather than QDir, which silently leaves out a
        // name that is not UTF-8: such an entry cannot be named again, and a
        // folder copy must learn that it was left behind.
        DIR* folder = ::opendir(QFile::encodeName(full).constData());
        if (!folder)
            return std::nullopt;
        while (const dirent* entry = ::readdir(folder)) {
            const QByteArray raw(entry->d_name);
            if (raw == "." || raw == "..")
                continue;
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString name = utf8(raw);
            if (utf8.hasError()) {
                qCWarning(lcOrvane)
                    << "Ignoring a directory entry whose name is not UTF-8 in" << path;
                if (refused)
                    ++*refused;
                continue;
            }
            names.append(name);
        }
        ::closedir(folder);
        names.sort();
    }
    QStringList result;
    result.reserve(names.size());
    for (const QString& name : std::as_const(names)) {
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        // No file system holds such a name: it can only lead elsewhere.
        if (!SafePath::isPlainName(name)) {
            qCWarning(lcOrvane) << "Ignoring a directory entry that is not a plain name:" << name
                                << "in" << path;
            if (refused)
                ++*refused;
            continue;
        }
        result.append(name);
    }
    return result;
}

std::optional<QByteArray> QELDeviceInterface::getDataContentsAtPathStartingAtPostisionForLength(
    const QString& path, quint64 offset, quint32 length) const
{
    assertNotOnGuiThread();
    if (path.isNull())
        return std::nullopt;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return std::nullopt;
        uint64_t ref = 0;
        const QString devicePath = normalisedDevicePath(path);
        if (noteAfc(connection->fileRefOpen(devicePath, AfcFileMode::ReadOnly, &ref), "fileRefOpen",
                    devicePath)
            != AfcResult::kSuccess)
            return std::nullopt;
        std::optional<QByteArray> answer;
        if (noteAfc(connection->fileRefSeek(ref, offset), "fileRefSeek", devicePath)
            == AfcResult::kSuccess) {
            QByteArray data;
            data.reserve(static_cast<qsizetype>(length));
            char* buffer = blockBuffer();
            bool failed = false;
            while (static_cast<quint32>(data.size()) < length) {
                const uint32_t wanted =
                    static_cast<uint32_t>(std::min<qint64>(length - data.size(), kBlockSize));
                uint32_t got = 0;
                if (noteAfc(connection->fileRefRead(ref, buffer, wanted, &got), "fileRefRead",
                            devicePath)
                        != AfcResult::kSuccess
                    || got == 0) {
                    failed = true;
                    break;
                }
                data.append(buffer, static_cast<qsizetype>(got));
            }
            if (!failed)
                answer = data;
        }
        connection->fileRefClose(ref);
        return answer;
    }
    if (!diskMode())
        return std::nullopt;
    QFile file(fullStandardDevicePathWithPath(path));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (offset > static_cast<quint64>(std::numeric_limits<qint64>::max())
        || !file.seek(static_cast<qint64>(offset)))
        return std::nullopt;
    QByteArray data = file.read(length);
    if (data.isNull())
        data = QByteArray("");
    return data;
}

bool QELDeviceInterface::copyFileFromDeviceAtToLocalPath(const QString& devicePath,
                                                         const QString& localPath,
                                                         const std::atomic<bool>* cancel,
                                                         const QDateTime& modified)
{
    assertNotOnGuiThread();
    if (devicePath.isNull() || localPath.isEmpty() || localExists(localPath))
        return false;
    const QString parent = QFileInfo(localPath).absolutePath();
    if (!QDir().mkpath(parent)) {
        CopyFailures::noteErrno(errno);
        return false;
    }
    return copyFileToNewLocalPath(devicePath, localPath, cancel, modified);
}

bool QELDeviceInterface::copyFileToNewLocalPath(const QString& devicePath, const QString& localPath,
                                                const std::atomic<bool>* cancel,
                                                const QDateTime& modified)
{
    m_cancelFileOperation.store(false);
    const quint64 cancelGeneration = m_cancelGeneration.load();

    if (connectedDeviceOperatingSystem() == 1) {
        sendCommunicating(true, devicePath);
        const auto connection = afc();
        const bool copied = connection
            && copyFileFromAfc(*connection, devicePath, localPath, cancel, cancelGeneration,
                               modified);
        sendCommunicating(false, devicePath);
        return copied;
    }
    if (!diskMode())
        return false;

    const int source =
        ::open(QFile::encodeName(fullStandardDevicePathWithPath(devicePath)).constData(),
               O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        CopyFailures::note(errno == ENOENT ? CopyFailure::MissingOnDevice : CopyFailure::Failed);
        return false;
    }
    const auto closeSource = qScopeGuard([source] { ::close(source); });
    struct stat info {};
    if (fstat(source, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    PartFile target(localPath);
    if (!target.isOpen())
        return false;
    target.setModified(modified.isValid()
                           ? modified
                           : QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000
                                                                + info.st_mtim.tv_nsec / 1000000,
                                                            Qt::UTC));
    bool kernelCopy = !CopyFailures::writeFailureInjected();
    for (;;) {
        if ((cancel && cancel->load()) || m_cancelGeneration.load() != cancelGeneration
            || m_quitting.load()) {
            CopyFailures::note(CopyFailure::Cancelled);
            return false;
        }
        if (kernelCopy) {
            // Both files are local: the kernel copies (or shares) the blocks.
            const ssize_t got = ::copy_file_range(source, nullptr, target.descriptor(), nullptr,
                                                  static_cast<size_t>(kBlockSize), 0);
            if (got == 0)
                break;
            if (got > 0) {
                CopyByteMeter::noteBytes(got);
                continue;
            }
            if (errno == EINTR)
                continue;
            if (!kernelCopyUnavailable(errno)) {
                CopyFailures::noteErrno(errno);
                return false;
            }
            kernelCopy = false;
        }
        char* buffer = blockBuffer();
        const ssize_t got = ::read(source, buffer, static_cast<size_t>(kBlockSize));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            CopyFailures::note(CopyFailure::Failed);
            return false;
        }
        if (got == 0)
            break;
        if (!writeBlock(target.descriptor(), buffer, got))
            return false;
        CopyByteMeter::noteBytes(got);
    }
    return target.commit();
}

bool QELDeviceInterface::copyFileFromAfc(AfcConnection& connection, const QString& devicePath,
                                         const QString& localPath, const std::atomic<bool>* cancel,
                                         quint64 cancelGeneration, const QDateTime& modified)
{
    uint64_t ref = 0;
    const QString source = normalisedDevicePath(devicePath);
    const int opened =
        noteAfc(connection.fileRefOpen(source, AfcFileMode::ReadOnly, &ref), "fileRefOpen", source);
    if (opened != AfcResult::kSuccess) {
        CopyFailures::note(opened == AfcResult::kNotFound ? CopyFailure::MissingOnDevice
                                                          : CopyFailure::Failed);
        return false;
    }
    // The bytes go to a file without a name in the target's folder, which
    // becomes the target only once the whole file has arrived.
    PartFile target(localPath);
    if (!target.isOpen()) {
        connection.fileRefClose(ref);
        return false;
    }
    target.setModified(modified.isValid() ? modified : afcModificationTime(connection, source));
    char* buffer = blockBuffer();
    bool kernelCopy = !CopyFailures::writeFailureInjected();
    bool complete = false;
    for (;;) {
        if ((cancel && cancel->load()) || m_cancelGeneration.load() != cancelGeneration
            || m_quitting.load()) {
            CopyFailures::note(CopyFailure::Cancelled);
            break;
        }
        uint32_t got = 0;
        if (kernelCopy) {
            // A service whose files are local copies them inside the kernel.
            const int code = connection.fileRefCopyToDescriptor(
                ref, target.descriptor(), static_cast<uint32_t>(kBlockSize), &got);
            if (code == AfcResult::kNotSupported) {
                kernelCopy = false;
                continue;
            }
            // Noted as the read it stands for.
            if (noteAfc(code, "fileRefRead", source) != AfcResult::kSuccess) {
                // The kernel's copy writes too: a full disk shows in errno.
                CopyFailures::note(errno == ENOSPC || errno == EDQUOT ? CopyFailure::DiskFull
                                                                      : CopyFailure::Failed);
                break;
            }
            if (got == 0) {
                complete = true;
                break;
            }
            CopyByteMeter::noteBytes(got);
            continue;
        }
        if (noteAfc(connection.fileRefRead(ref, buffer, static_cast<uint32_t>(kBlockSize), &got),
                    "fileRefRead", source)
            != AfcResult::kSuccess) {
            CopyFailures::note(CopyFailure::Failed);
            break;
        }
        if (got > 0 && !writeBlock(target.descriptor(), buffer, static_cast<qint64>(got)))
            break;
        CopyByteMeter::noteBytes(got);
        if (got < kBlockSize) {
            complete = true;
            break;
        }
    }
    connection.fileRefClose(ref);
    return complete && target.commit();
}

bool QELDeviceInterface::copyDirectoryFromDeviceAtToLocalPath(const QString& devicePath,
                                                              const QString& localPath,
                                                              const std::atomic<bool>* cancel)
{
    assertNotOnGuiThread();
    if (devicePath.isNull() || localPath.isEmpty() || !isDirectoryAtPath(devicePath))
        return false;
    if (!QDir().mkpath(localPath))
        return false;
    return copyDirectoryWorker(devicePath, QFileInfo(localPath).absoluteFilePath(), cancel, 0);
}

bool QELDeviceInterface::copyDirectoryWorker(const QString& devicePath, const QString& localPath,
                                             const std::atomic<bool>* cancel, int depth)
{
    if (depth > kMaxFolderDepth) {
        qCWarning(lcOrvane) << "Folder nesting too deep, not copied:" << devicePath;
        return false;
    }
    int refused = 0;
    const std::optional<QStringList> entries = directoryContents(devicePath, &refused);
    if (!entries)
        return false;
    // An entry the device listed but that cannot be copied (a name that would
    // leave the folder) makes the copy incomplete, and the caller must say so.
    bool allCopied = refused == 0;
    for (const QString& name : *entries) {
        if (cancel && cancel->load())
            return false;
        // directoryContents only answers plain names; checked again here
        // because this name becomes a local path.
        if (!SafePath::isPlainName(name)) {
            allCopied = false;
            continue;
        }
        const QString deviceChild = joinDevicePath(devicePath, name);
        const QString localChild = localPath + QLatin1Char('/') + name;
        // One question to the device per entry, and one local lstat.
        const EntryType type = entryTypeAtPath(deviceChild);
        if (type == EntryType::Missing) {
            // Listed, yet not found by its name: a name that is not valid
            // UTF-8 reads back as another name. It was not copied.
            qCWarning(lcOrvane) << "A listed entry could not be found to copy:" << deviceChild;
            allCopied = false;
            continue;
        }
        struct stat existing {};
        const bool present = lstat(QFile::encodeName(localChild).constData(), &existing) == 0;
        if (type == EntryType::Directory) {
            if (present ? !S_ISDIR(existing.st_mode) : !QDir().mkdir(localChild)) {
                allCopied = false;
                continue;
            }
            if (!copyDirectoryWorker(deviceChild, localChild, cancel, depth + 1))
                allCopied = false;
        } else {
            // A file already present locally is kept, as the single copy does.
            if (present)
                continue;
            if (!copyFileToNewLocalPath(deviceChild, localChild, cancel))
                allCopied = false;
        }
    }
    return allCopied;
}

bool QELDeviceInterface::copyLocalFileAtToDevicePath(const QString& localPath,
                                                     const QString& devicePath,
                                                     const std::atomic<bool>* cancel)
{
    assertNotOnGuiThread();
    if (localPath.isEmpty() || devicePath.isNull() || fileExistsAtPath(devicePath))
        return false;
    QFile source(localPath);
    if (!QFileInfo(localPath).isFile() || !source.open(QIODevice::ReadOnly)) {
        CopyFailures::note(CopyFailure::Failed);
        return false;
    }
    auto cancelled = [cancel] {
        if (!cancel || !cancel->load())
            return false;
        CopyFailures::note(CopyFailure::Cancelled);
        return true;
    };
    const QString target = normalisedDevicePath(devicePath);
    const QString temporary = target + QStringLiteral(".orvane-upload-") + uniqueSuffix();

    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        if (!connection)
            return false;
        uint64_t ref = 0;
        if (noteAfc(connection->fileRefOpen(temporary, AfcFileMode::WriteOnly, &ref), "fileRefOpen",
                    temporary)
            != AfcResult::kSuccess)
            return false;
        char* buffer = blockBuffer();
        bool written = true;
        for (;;) {
            if (cancelled()) {
                written = false;
                break;
            }
            const qint64 got = source.read(buffer, kBlockSize);
            if (got < 0) {
                written = false;
                break;
            }
            if (got == 0)
                break;
            qint64 sent = 0;
            while (sent < got) {
                uint32_t put = 0;
                if (noteAfc(connection->fileRefWrite(ref, buffer + sent,
                                                     static_cast<uint32_t>(got - sent), &put),
                            "fileRefWrite", temporary)
                        != AfcResult::kSuccess
                    || put == 0) {
                    written = false;
                    break;
                }
                sent += put;
            }
            if (!written)
                break;
            CopyByteMeter::noteBytes(sent);
        }
        const bool closed = noteAfc(connection->fileRefClose(ref), "fileRefClose", temporary)
            == AfcResult::kSuccess;
        // The upload becomes the target only when complete, and never replaces
        // a file that appeared meanwhile.
        if (written && closed && !fileExistsAtPath(target)
            && noteAfc(connection->renamePath(temporary, target), "renamePath", target)
                == AfcResult::kSuccess)
            return true;
        connection->removePath(temporary);
        return false;
    }
    if (!diskMode())
        return false;
    const QString fullTarget = fullStandardDevicePathWithPath(target);
    const QString fullTemporary = fullStandardDevicePathWithPath(temporary);
    const QByteArray nativeTemporary = QFile::encodeName(fullTemporary);
    const int out = fullTemporary.isEmpty()
        ? -1
        : ::open(nativeTemporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        CopyFailures::noteErrno(errno);
        return false;
    }
    char* buffer = blockBuffer();
    bool written = true;
    for (;;) {
        const qint64 got = cancelled() ? -1 : source.read(buffer, kBlockSize);
        if (got < 0 || (got > 0 && !writeBlock(out, buffer, got))) {
            written = false;
            break;
        }
        if (got == 0)
            break;
        CopyByteMeter::noteBytes(got);
    }
    if (written) {
        // The file on the volume keeps the date of the user's file.
        struct stat from {};
        if (::fstat(source.handle(), &from) == 0) {
            const timespec times[2] = {{0, UTIME_OMIT}, from.st_mtim};
            ::futimens(out, times);
        }
    }
    if (::close(out) != 0 && written) {
        CopyFailures::noteErrno(errno);
        written = false;
    }
    if (written && !localExists(fullTarget) && QFile::rename(fullTemporary, fullTarget))
        return true;
    ::unlink(nativeTemporary.constData());
    return false;
}

bool QELDeviceInterface::deletePath(const QString& path)
{
    assertNotOnGuiThread();
    if (path.isNull() || !fileExistsAtPath(path))
        return false;
    const QString target = normalisedDevicePath(path);
    if (target == QLatin1String("/"))
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->removePath(target), "removePath", target) == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    const QString full = fullStandardDevicePathWithPath(target);
    if (full.isEmpty())
        return false;
    const QFileInfo info(full);
    // A folder goes only when it is empty, as on the device's own file service.
    if (info.isDir() && !info.isSymLink())
        return QDir().rmdir(full);
    return QFile::remove(full);
}

bool QELDeviceInterface::renamePath(const QString& from, const QString& to)
{
    assertNotOnGuiThread();
    if (from.isNull() || to.isNull() || !fileExistsAtPath(from))
        return false;
    const QString source = normalisedDevicePath(from);
    const QString target = normalisedDevicePath(to);
    if (source == QLatin1String("/") || target == QLatin1String("/"))
        return false;
    if (connectedDeviceOperatingSystem() == 1) {
        const auto connection = afc();
        return connection
            && noteAfc(connection->renamePath(source, target), "renamePath", source)
            == AfcResult::kSuccess;
    }
    if (!diskMode())
        return false;
    return std::rename(QFile::encodeName(fullStandardDevicePathWithPath(source)).constData(),
                       QFile::encodeName(fullStandardDevicePathWithPath(target)).constData())
        == 0;
}
