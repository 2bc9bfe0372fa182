// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedAfcConnection.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Clock.h"
#include "SafePath.h"

namespace {

// Opens `relative` below the folder `root` refers to. The kernel refuses
// (EXDEV) a path whose "..", absolute or relative symbolic links would lead
// out of that folder, in the same call that opens it, so no component can be
// swapped for a link between a check and the use.
int openBeneath(int root, const QByteArray& relative, int flags, mode_t mode = 0)
{
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd = -1;
    do {
        fd = syscall(SYS_openat2, root, relative.constData(), &how, sizeof how);
    } while (fd < 0 && errno == EINTR);
    return static_cast<int>(fd);
}

bool leadsOut(int error) { return error == EXDEV || error == ELOOP; }

// The kernel's confinement refuses every absolute link, even one that points
// back into the tree (a device's own links are often absolute): such a path is
// judged by where it resolves to, a link that leads nowhere yet refused.
bool resolvesInside(const QString& full, const QString& root)
{
    return SafePath::isInside(root, full);
}

} // namespace

struct SimulatedAfcConnection::OpenFile {
    QString devicePath;
    std::unique_ptr<QFile> file;
    qint64 readErrorAt = -1;
};

SimulatedAfcConnection::SimulatedAfcConnection(const QString& root, std::shared_ptr<std::atomic<bool>> present,
                                               const QVariantMap& simulation)
    : m_root(QDir::cleanPath(root)), m_present(std::move(present))
{
    QDir().mkpath(m_root);
    m_canonicalRoot = QFileInfo(m_root).canonicalFilePath();
    m_rootFd = ::open(QFile::encodeName(m_root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_rootFd >= 0) {
        // Kernels before 5.6 have no openat2: the root's canonical path is
        // compared instead.
        const int probe = openBeneath(m_rootFd, QByteArrayLiteral("."), O_PATH);
        m_beneath = probe >= 0;
        if (probe >= 0)
            ::close(probe);
    }
    const QVariantMap extra = simulation.value(QStringLiteral("ExtraDirectoryEntries")).toMap();
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        m_extraEntries.insert(normalise(it.key()), it.value().toStringList());
    const QVariantMap errors = simulation.value(QStringLiteral("ReadErrors")).toMap();
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        m_readErrors.insert(normalise(it.key()), it.value().toLongLong());
    const QString hold = simulation.value(QStringLiteral("ListingHoldFile")).toString();
    if (!hold.isEmpty())
        m_listingHoldFile = QFileInfo(m_root).dir().filePath(hold);
}

void SimulatedAfcConnection::waitWhileListingsAreHeld() const
{
    // Outside the lock: the other calls go on while a listing is held.
    while (!m_listingHoldFile.isEmpty() && connected() && QFileInfo::exists(m_listingHoldFile))
        Clock::sleepFor(Clock::Milliseconds(100));
}

SimulatedAfcConnection::~SimulatedAfcConnection()
{
    m_files.clear();
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

QString SimulatedAfcConnection::normalise(const QString& devicePath)
{
    QStringList parts;
    for (const QString& part : devicePath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
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

QByteArray SimulatedAfcConnection::relative(const QString& normalisedPath)
{
    return normalisedPath == QLatin1String("/") ? QByteArrayLiteral(".")
                                                : QFile::encodeName(normalisedPath.mid(1));
}

QString SimulatedAfcConnection::local(const QString& devicePath) const
{
    const QString path = normalise(devicePath);
    const QString full = path == QLatin1String("/") ? m_root : m_root + path;
    // A symlink inside the tree must not lead out of it.
    if (m_beneath) {
        const int fd = openBeneath(m_rootFd, relative(path), O_PATH);
        if (fd >= 0) {
            ::close(fd);
            return full;
        }
        return leadsOut(errno) && !resolvesInside(full, m_root) ? QString() : full;
    }
    const QString canonical = QFileInfo(full).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != m_canonicalRoot
        && !canonical.startsWith(m_canonicalRoot + QLatin1Char('/')))
        return {};
    return full;
}

int SimulatedAfcConnection::fileInfo(const QString& path, KeyValues* info)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    struct stat st {};
    if (m_beneath) {
        const QByteArray name = relative(normalise(path));
        const int fd = openBeneath(m_rootFd, name, O_PATH | O_NOFOLLOW);
        if (fd < 0)
            return AfcResult::kNotFound;
        const bool stated = fstat(fd, &st) == 0;
        ::close(fd);
        if (!stated)
            return AfcResult::kNotFound;
        // A link that leads out of the tree is not there, as before.
        if (S_ISLNK(st.st_mode)) {
            const int target = openBeneath(m_rootFd, name, O_PATH);
            if (target >= 0)
                ::close(target);
            else if (leadsOut(errno) && !resolvesInside(m_root + normalise(path), m_root))
                return AfcResult::kNotFound;
        }
    } else {
        const QString full = local(path);
        if (full.isEmpty() || lstat(QFile::encodeName(full).constData(), &st) != 0)
            return AfcResult::kNotFound;
    }
    const char* format = S_ISDIR(st.st_mode) ? "S_IFDIR" : S_ISLNK(st.st_mode) ? "S_IFLNK" : "S_IFREG";
    const qint64 mtimeNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    info->clear();
    info->append({QStringLiteral("st_size"), QString::number(static_cast<qint64>(st.st_size))});
    info->append({QStringLiteral("st_blocks"), QString::number(static_cast<qint64>(st.st_blocks))});
    info->append({QStringLiteral("st_nlink"), QString::number(static_cast<qint64>(st.st_nlink))});
    info->append({QStringLiteral("st_ifmt"), QString::fromLatin1(format)});
    info->append({QStringLiteral("st_mtime"), QString::number(mtimeNs)});
    info->append({QStringLiteral("st_birthtime"), QString::number(mtimeNs)});
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::fileRefOpen(const QString& path, AfcFileMode mode, uint64_t* ref)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    auto open = std::make_unique<OpenFile>();
    open->devicePath = normalise(path);
    const bool reading = mode == AfcFileMode::ReadOnly;
    if (m_beneath) {
        const int fd = openBeneath(m_rootFd, relative(open->devicePath),
                                   reading ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0) {
            const int error = errno;
            if (error == EISDIR)
                return AfcResult::kIsDirectory;
            if (error == ENOENT || error == ENOTDIR)
                return AfcResult::kNotFound;
            return AfcResult::kPermissionDenied;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return AfcResult::kIsDirectory;
        }
        open->file = std::make_unique<QFile>();
        if (!open->file->open(fd, reading ? QIODevice::ReadOnly : QIODevice::WriteOnly,
                              QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return AfcResult::kPermissionDenied;
        }
    } else {
        const QString full = local(path);
        if (full.isEmpty())
            return AfcResult::kPermissionDenied;
        const QFileInfo item(full);
        if (item.isDir())
            return AfcResult::kIsDirectory;
        open->file = std::make_unique<QFile>(full);
        if (reading && !item.exists())
            return AfcResult::kNotFound;
        if (!reading && !QFileInfo(item.path()).isDir())
            return AfcResult::kNotFound;
        if (!open->file->open(reading ? QIODevice::ReadOnly
                                      : QIODevice::WriteOnly | QIODevice::Truncate))
            return AfcResult::kPermissionDenied;
    }
    if (reading)
        open->readErrorAt = m_readErrors.value(open->devicePath, -1);
    *ref = m_nextRef++;
    m_files.emplace(*ref, std::move(open));
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::fileRefRead(uint64_t ref, char* data, uint32_t length, uint32_t* read)
{
    std::lock_guard lock(m_mutex);
    *read = 0;
    if (!connected())
        return AfcResult::kNotConnected;
    auto it = m_files.find(ref);
    if (it == m_files.end() || !it->second->file->isReadable())
        return AfcResult::kInvalidArgument;
    OpenFile& open = *it->second;
    // A read that would reach the injected error's offset fails whole.
    if (open.readErrorAt >= 0 && open.file->pos() + qint64(length) > open.readErrorAt)
        return AfcResult::kReadError;
    const qint64 got = open.file->read(data, length);
    if (got < 0)
        return AfcResult::kReadError;
    *read = static_cast<uint32_t>(got);
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::fileRefCopyToDescriptor(uint64_t ref, int descriptor, uint32_t length,
                                                    uint32_t* copied)
{
    std::lock_guard lock(m_mutex);
    *copied = 0;
    if (!connected())
        return AfcResult::kNotConnected;
    auto it = m_files.find(ref);
    if (it == m_files.end() || !it->second->file->isReadable())
        return AfcResult::kInvalidArgument;
    OpenFile& open = *it->second;
    if (open.readErrorAt >= 0 && open.file->pos() + qint64(length) > open.readErrorAt)
        return AfcResult::kReadError;
    // The file's own offset stays where QFile keeps it; the copy names it.
    loff_t from = open.file->pos();
    const ssize_t got =
        ::copy_file_range(open.file->handle(), &from, descriptor, nullptr, length, 0);
    if (got < 0) {
        const int error = errno;
        // File systems that cannot copy between each other: the caller reads.
        if (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
            return AfcResult::kNotSupported;
        return AfcResult::kReadError;
    }
    if (got > 0 && !open.file->seek(from))
        return AfcResult::kIoError;
    *copied = static_cast<uint32_t>(got);
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::fileRefWrite(uint64_t ref, const char* data, uint32_t length, uint32_t* written)
{
    std::lock_guard lock(m_mutex);
    *written = 0;
    if (!connected())
        return AfcResult::kNotConnected;
    auto it = m_files.find(ref);
    if (it == m_files.end() || !it->second->file->isWritable())
        return AfcResult::kInvalidArgument;
    const qint64 put = it->second->file->write(data, length);
    if (put < 0)
        return AfcResult::kWriteError;
    *written = static_cast<uint32_t>(put);
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::fileRefSeek(uint64_t ref, uint64_t offset)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    auto it = m_files.find(ref);
    if (it == m_files.end())
        return AfcResult::kInvalidArgument;
    return it->second->file->seek(static_cast<qint64>(offset)) ? AfcResult::kSuccess : AfcResult::kIoError;
}

int SimulatedAfcConnection::fileRefClose(uint64_t ref)
{
    std::lock_guard lock(m_mutex);
    auto it = m_files.find(ref);
    if (it == m_files.end())
        return AfcResult::kInvalidArgument;
    it->second->file->close();
    m_files.erase(it);
    return connected() ? AfcResult::kSuccess : AfcResult::kNotConnected;
}

int SimulatedAfcConnection::directoryRead(const QString& path, QStringList* entries)
{
    waitWhileListingsAreHeld();
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    const QString full = local(path);
    if (full.isEmpty())
        return AfcResult::kPermissionDenied;
    const QFileInfo item(full);
    if (!item.exists())
        return AfcResult::kNotFound;
    if (!item.isDir())
        return AfcResult::kInvalidArgument;
    *entries = QStringList{QStringLiteral("."), QStringLiteral("..")};
    *entries += QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
    *entries += m_extraEntries.value(normalise(path));
    return AfcResult::kSuccess;
}

int SimulatedAfcConnection::directoryCreate(const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    const QString full = local(path);
    if (full.isEmpty())
        return AfcResult::kPermissionDenied;
    const QFileInfo item(full);
    if (item.exists())
        return AfcResult::kExists;
    if (!QFileInfo(item.path()).isDir())
        return AfcResult::kNotFound;
    return QDir().mkdir(full) ? AfcResult::kSuccess : AfcResult::kIoError;
}

int SimulatedAfcConnection::removePath(const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    const QString full = local(path);
    if (full.isEmpty() || full == m_root)
        return AfcResult::kPermissionDenied;
    const QFileInfo item(full);
    if (!item.exists() && !item.isSymLink())
        return AfcResult::kNotFound;
    if (item.isDir() && !item.isSymLink()) {
        if (!QDir(full).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            return AfcResult::kDirectoryNotEmpty;
        return QDir().rmdir(full) ? AfcResult::kSuccess : AfcResult::kIoError;
    }
    return QFile::remove(full) ? AfcResult::kSuccess : AfcResult::kIoError;
}

int SimulatedAfcConnection::renamePath(const QString& from, const QString& to)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return AfcResult::kNotConnected;
    const QString source = local(from);
    const QString target = local(to);
    if (source.isEmpty() || target.isEmpty() || source == m_root)
        return AfcResult::kPermissionDenied;
    if (!QFileInfo::exists(source))
        return AfcResult::kNotFound;
    if (!QFileInfo(QFileInfo(target).path()).isDir())
        return AfcResult::kNotFound;
    // The device renames as rename(2) does: an existing file target is replaced.
    return ::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0
               ? AfcResult::kSuccess
               : AfcResult::kIoError;
}
