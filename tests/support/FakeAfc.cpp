#include "FakeAfc.h"

#include "FakeDevice.h"
#include "FakeWire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

namespace {

constexpr char kMagic[] = "CFA6LPAA";
constexpr quint64 kHeaderSize = 40;
constexpr quint64 kMaxPacket = 64ull << 20;
constexpr quint64 kMaxRead = 16ull << 20;

enum Operation : quint64 {
    OpStatus = 0x01,
    OpData = 0x02,
    OpReadDir = 0x03,
    OpRemovePath = 0x08,
    OpMakeDir = 0x09,
    OpGetFileInfo = 0x0A,
    OpGetDeviceInfo = 0x0B,
    OpFileOpen = 0x0D,
    OpFileOpenResult = 0x0E,
    OpFileRead = 0x0F,
    OpFileWrite = 0x10,
    OpFileSeek = 0x11,
    OpFileTell = 0x12,
    OpFileTellResult = 0x13,
    OpFileClose = 0x14,
    OpRenamePath = 0x18,
};

// AFC status codes (afc_error_t).
enum Status : quint64 {
    Success = 0,
    UnknownError = 1,
    UnknownPacketType = 6,
    InvalidArg = 7,
    ObjectNotFound = 8,
    ObjectIsDir = 9,
    PermDenied = 10,
    ObjectExists = 16,
    NoSpaceLeft = 18,
    IoError = 20,
    DirNotEmpty = 33,
};

quint64 statusOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ObjectNotFound;
    case EISDIR:
        return ObjectIsDir;
    case EACCES:
    case EPERM:
    case EROFS:
        return PermDenied;
    case EEXIST:
        return ObjectExists;
    case ENOTEMPTY:
        return DirNotEmpty;
    case ENOSPC:
        return NoSpaceLeft;
    default:
        return IoError;
    }
}

// The NUL-terminated strings of a request, in order.
QList<QByteArray> strings(const QByteArray& bytes)
{
    QList<QByteArray> out;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\0', start);
        if (end < 0)
            end = bytes.size();
        out.append(bytes.mid(start, end - start));
        start = end + 1;
    }
    return out;
}

void appendString(QByteArray& out, const QString& text)
{
    out.append(text.toUtf8());
    out.append('\0');
}

} // namespace

FakeAfc::FakeAfc(FakeDevice& device, FakeProtocolLog& log)
    : m_device(device)
    , m_log(log)
    , m_root(QDir(device.afcRoot()).absolutePath())
{
}

FakeAfc::~FakeAfc()
{
    for (const auto& [handle, fd] : m_files)
        ::close(fd);
}

void FakeAfc::serve(int fd)
{
    for (;;) {
        char header[kHeaderSize];
        if (!FakeWire::readExact(fd, header, sizeof(header)))
            return;
        const quint64 entire = FakeWire::le64(header + 8);
        const quint64 thisLength = FakeWire::le64(header + 16);
        const quint64 packet = FakeWire::le64(header + 24);
        const quint64 operation = FakeWire::le64(header + 32);
        if (std::memcmp(header, kMagic, 8) != 0 || thisLength < kHeaderSize || entire < thisLength
            || entire > kMaxPacket) {
            m_log.fail(QStringLiteral("afc: bad packet header (entire %1, this %2)").arg(entire).arg(thisLength));
            return;
        }
        // Parameters and payload arrive as one stream; the handlers split them.
        QByteArray body(static_cast<qsizetype>(entire - kHeaderSize), Qt::Uninitialized);
        if (!FakeWire::readExact(fd, body.data(), static_cast<size_t>(body.size())))
            return;
        if (!handle(fd, packet, operation, body))
            return;
    }
}

bool FakeAfc::send(int fd, quint64 packet, quint64 operation, const QByteArray& params, const QByteArray& payload)
{
    QByteArray out(kMagic, 8);
    FakeWire::appendLe64(out, kHeaderSize + params.size() + payload.size());
    FakeWire::appendLe64(out, kHeaderSize + params.size());
    FakeWire::appendLe64(out, packet);
    FakeWire::appendLe64(out, operation);
    out.append(params);
    return FakeWire::writeAll(fd, out) && FakeWire::writeAll(fd, payload);
}

bool FakeAfc::sendStatus(int fd, quint64 packet, quint64 code)
{
    QByteArray params;
    FakeWire::appendLe64(params, code);
    return send(fd, packet, OpStatus, params);
}

bool FakeAfc::resolve(const QByteArray& raw, Resolved* out) const
{
    QStringList parts;
    for (const QString& part : QString::fromUtf8(raw).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    out->devicePath = QLatin1Char('/') + parts.join(QLatin1Char('/'));
    out->localPath = parts.isEmpty() ? m_root : m_root + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    // The nearest existing folder must lie inside the served folder.
    const QString root = QFileInfo(m_root).canonicalFilePath();
    QString probe = out->localPath;
    while (!QFileInfo::exists(probe) && probe.size() > m_root.size())
        probe = QFileInfo(probe).absolutePath();
    const QString canonical = QFileInfo(probe).canonicalFilePath();
    return canonical == root || canonical.startsWith(root + QLatin1Char('/'));
}

QByteArray FakeAfc::fileInfo(const Resolved& path, quint64* status) const
{
    struct stat st{};
    if (::lstat(path.localPath.toLocal8Bit().constData(), &st) != 0) {
        *status = statusOf(errno);
        return {};
    }
    const char* type = S_ISDIR(st.st_mode) ? "S_IFDIR" : S_ISLNK(st.st_mode) ? "S_IFLNK" : "S_IFREG";
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    QByteArray out;
    appendString(out, QStringLiteral("st_size"));
    appendString(out, QString::number(qint64(st.st_size)));
    appendString(out, QStringLiteral("st_blocks"));
    appendString(out, QString::number(qint64(st.st_blocks)));
    appendString(out, QStringLiteral("st_nlink"));
    appendString(out, QString::number(qint64(st.st_nlink)));
    appendString(out, QStringLiteral("st_ifmt"));
    appendString(out, QString::fromLatin1(type));
    appendString(out, QStringLiteral("st_mtime"));
    appendString(out, QString::number(mtime));
    appendString(out, QStringLiteral("st_birthtime"));
    appendString(out, QString::number(mtime));
    if (S_ISLNK(st.st_mode)) {
        appendString(out, QStringLiteral("LinkTarget"));
        appendString(out, QFileInfo(path.localPath).symLinkTarget());
    }
    for (const auto& [key, value] : m_device.extraFileInfo(path.devicePath)) {
        appendString(out, key);
        appendString(out, value);
    }
    *status = Success;
    return out;
}

QByteArray FakeAfc::directory(const Resolved& path, quint64* status) const
{
    const QFileInfo info(path.localPath);
    if (!info.exists()) {
        *status = ObjectNotFound;
        return {};
    }
    if (!info.isDir()) {
        *status = ObjectNotFound;
        return {};
    }
    QByteArray out;
    appendString(out, QStringLiteral("."));
    appendString(out, QStringLiteral(".."));
    const QStringList names = QDir(path.localPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                                 | QDir::NoDotAndDotDot,
                                                             QDir::Name);
    for (const QString& name : names)
        appendString(out, name);
    for (const QString& name : m_device.extraDirectoryEntries(path.devicePath))
        appendString(out, name);
    *status = Success;
    return out;
}

bool FakeAfc::handle(int fd, quint64 packet, quint64 operation, const QByteArray& params)
{
    auto u64 = [&params](int index) { return FakeWire::le64(params.constData() + 8 * index); };
    auto needs = [&](qsizetype bytes) {
        if (params.size() >= bytes)
            return true;
        m_log.fail(QStringLiteral("afc: operation 0x%1 with %2 bytes of parameters").arg(operation, 0, 16).arg(params.size()));
        return false;
    };
    auto withPath = [&](const QByteArray& raw, Resolved* resolved) -> quint64 {
        if (raw.isEmpty())
            return InvalidArg;
        return resolve(raw, resolved) ? Success : PermDenied;
    };

    switch (operation) {
    case OpGetFileInfo:
    case OpReadDir: {
        Resolved path;
        quint64 status = withPath(strings(params).value(0), &path);
        QByteArray data;
        if (status == Success)
            data = operation == OpGetFileInfo ? fileInfo(path, &status) : directory(path, &status);
        return status == Success ? send(fd, packet, OpData, {}, data) : sendStatus(fd, packet, status);
    }
    case OpGetDeviceInfo: {
        struct statvfs fs{};
        ::statvfs(m_root.toLocal8Bit().constData(), &fs);
        QByteArray data;
        appendString(data, QStringLiteral("Model"));
        appendString(data, m_device.value(QStringLiteral("ProductType")).toString());
        appendString(data, QStringLiteral("FSTotalBytes"));
        appendString(data, QString::number(quint64(fs.f_blocks) * fs.f_frsize));
        appendString(data, QStringLiteral("FSFreeBytes"));
        appendString(data, QString::number(quint64(fs.f_bavail) * fs.f_frsize));
        appendString(data, QStringLiteral("FSBlockSize"));
        appendString(data, QString::number(quint64(fs.f_bsize)));
        return send(fd, packet, OpData, {}, data);
    }
    case OpMakeDir:
    case OpRemovePath: {
        Resolved path;
        quint64 status = withPath(strings(params).value(0), &path);
        if (status == Success && path.devicePath == QLatin1String("/"))
            status = PermDenied;
        if (status == Success) {
            const QByteArray local = path.localPath.toLocal8Bit();
            if (operation == OpMakeDir) {
                // AFC makes the missing parents too, and an existing folder is fine.
                const QFileInfo info(path.localPath);
                if (info.exists() && !info.isDir())
                    status = ObjectExists;
                else if (!QDir().mkpath(path.localPath))
                    status = PermDenied;
            } else {
                struct stat st{};
                if (::lstat(local.constData(), &st) != 0)
                    status = statusOf(errno);
                else if ((S_ISDIR(st.st_mode) ? ::rmdir(local.constData()) : ::unlink(local.constData())) != 0)
                    status = statusOf(errno);
            }
        }
        return sendStatus(fd, packet, status);
    }
    case OpRenamePath: {
        const QList<QByteArray> names = strings(params);
        Resolved from, to;
        quint64 status = withPath(names.value(0), &from);
        if (status == Success)
            status = withPath(names.value(1), &to);
        if (status == Success && ::rename(from.localPath.toLocal8Bit().constData(), to.localPath.toLocal8Bit().constData()) != 0)
            status = statusOf(errno);
        return sendStatus(fd, packet, status);
    }
    case OpFileOpen: {
        if (!needs(9))
            return false;
        const quint64 mode = u64(0);
        Resolved path;
        quint64 status = withPath(strings(params.mid(8)).value(0), &path);
        static const int kFlags[] = {0, O_RDONLY, O_RDWR | O_CREAT, O_WRONLY | O_CREAT | O_TRUNC, O_RDWR | O_CREAT | O_TRUNC,
                                     O_WRONLY | O_APPEND | O_CREAT, O_RDWR | O_APPEND | O_CREAT};
        if (status == Success && (mode < 1 || mode > 6))
            status = InvalidArg;
        if (status == Success && QFileInfo(path.localPath).isDir())
            status = ObjectIsDir;
        if (status != Success)
            return sendStatus(fd, packet, status);
        const int local = ::open(path.localPath.toLocal8Bit().constData(), kFlags[mode] | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (local < 0)
            return sendStatus(fd, packet, statusOf(errno));
        const quint64 handle = m_nextHandle++;
        m_files[handle] = local;
        QByteArray reply;
        FakeWire::appendLe64(reply, handle);
        return send(fd, packet, OpFileOpenResult, reply);
    }
    case OpFileRead: {
        if (!needs(16))
            return false;
        const auto file = m_files.find(u64(0));
        if (file == m_files.end())
            return sendStatus(fd, packet, InvalidArg);
        QByteArray data(static_cast<qsizetype>(std::min(u64(1), kMaxRead)), Qt::Uninitialized);
        const ssize_t n = ::read(file->second, data.data(), static_cast<size_t>(data.size()));
        if (n < 0)
            return sendStatus(fd, packet, statusOf(errno));
        data.truncate(n);
        return send(fd, packet, OpData, {}, data);
    }
    case OpFileWrite: {
        if (!needs(8))
            return false;
        const auto file = m_files.find(u64(0));
        if (file == m_files.end())
            return sendStatus(fd, packet, InvalidArg);
        const QByteArray data = params.mid(8);
        const ssize_t n = ::write(file->second, data.constData(), static_cast<size_t>(data.size()));
        if (n != data.size())
            return sendStatus(fd, packet, n < 0 ? statusOf(errno) : NoSpaceLeft);
        return sendStatus(fd, packet, Success);
    }
    case OpFileSeek: {
        if (!needs(24))
            return false;
        const auto file = m_files.find(u64(0));
        const quint64 whence = u64(1);
        if (file == m_files.end() || whence > 2)
            return sendStatus(fd, packet, InvalidArg);
        const int how = whence == 0 ? SEEK_SET : whence == 1 ? SEEK_CUR : SEEK_END;
        if (::lseek(file->second, static_cast<off_t>(static_cast<qint64>(u64(2))), how) < 0)
            return sendStatus(fd, packet, statusOf(errno));
        return sendStatus(fd, packet, Success);
    }
    case OpFileTell: {
        if (!needs(8))
            return false;
        const auto file = m_files.find(u64(0));
        if (file == m_files.end())
            return sendStatus(fd, packet, InvalidArg);
        QByteArray reply;
        FakeWire::appendLe64(reply, static_cast<quint64>(::lseek(file->second, 0, SEEK_CUR)));
        return send(fd, packet, OpFileTellResult, reply);
    }
    case OpFileClose: {
        if (!needs(8))
            return false;
        const auto file = m_files.find(u64(0));
        if (file == m_files.end())
            return sendStatus(fd, packet, InvalidArg);
        ::close(file->second);
        m_files.erase(file);
        return sendStatus(fd, packet, Success);
    }
    default:
        m_log.fail(QStringLiteral("afc: unknown operation 0x%1").arg(operation, 0, 16));
        return sendStatus(fd, packet, UnknownPacketType);
    }
}
