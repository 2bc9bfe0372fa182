// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "CopyFailure.h"

namespace AtomicFile {

namespace {

QString reason(const QString& what, const QString& path, int code)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, qt_error_string(code));
}

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

timespec timespecOf(const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    const qint64 seconds = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    timespec time{};
    time.tv_sec = static_cast<time_t>(seconds);
    time.tv_nsec = static_cast<long>(ms - seconds * 1000) * 1000000L;
    return time;
}

// A failed write leaves its errno behind; a full disk must be told as such.
void noteWriteFailure(int code)
{
    CopyFailures::note(code == ENOSPC || code == EDQUOT ? CopyFailure::DiskFull
                                                        : CopyFailure::Failed);
}

} // namespace

QString temporaryPathFor(const QString& target)
{
    // Random rather than derived from the target's name: a name of 255 bytes
    // leaves no room for a suffix.
    const QString folder = QFileInfo(target).path();
    for (;;) {
        const QString path = folder + QStringLiteral("/.orvane-")
            + QString::number(QRandomGenerator::global()->generate64(), 36)
            + QStringLiteral(".tmp");
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            return path;
    }
}

bool writeNewFile(const QString& path, const Producer& produce, bool sync, QString* error,
                  const QDateTime& modified)
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: a file or a link that appeared at this name is never written through.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        CopyFailures::noteErrno(code);
        return fail(error, reason(QStringLiteral("cannot create"), path, code));
    }
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ::unlink(native.constData());
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, out.errorString()));
    }
    QString why;
    errno = 0;
    bool ok = produce ? produce(out, &why) : true;
    int code = errno;
    if (ok && !out.flush()) {
        code = errno;
        ok = false;
    }
    if (ok && out.error() != QFileDevice::NoError) {
        code = errno;
        why = out.errorString();
        ok = false;
    }
    int injected = 0;
    if (ok && CopyFailures::injectedWriteFailure(out.size(), &injected)) {
        code = injected;
        why = qt_error_string(injected);
        ok = false;
    }
    if (ok && sync && ::fsync(fd) != 0) {
        code = errno;
        why = qt_error_string(code);
        ok = false;
    }
    if (ok && modified.isValid()) {
        const timespec times[2] = {{0, UTIME_OMIT}, timespecOf(modified)};
        ::futimens(fd, times);
    }
    out.close();
    if (!ok) {
        noteWriteFailure(code);
        ::unlink(native.constData());
        return fail(error,
                    QStringLiteral("cannot write %1: %2")
                        .arg(path, why.isEmpty() ? QStringLiteral("write failed") : why));
    }
    return true;
}

unsigned newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:"))
                continue;
            bool ok = false;
            const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok)
                return 0666u & ~mask;
        }
    }
    return 0644u; // the common umask, when the kernel does not tell
}

bool setModificationTime(const QString& path, const QDateTime& modified)
{
    if (!modified.isValid())
        return true;
    const timespec times[2] = {{0, UTIME_OMIT}, timespecOf(modified)};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

bool syncPath(const QString& path, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, reason(QStringLiteral("cannot open"), path, errno));
    const bool synced = ::fsync(fd) == 0;
    const int code = errno;
    ::close(fd);
    return synced || fail(error, reason(QStringLiteral("cannot sync"), path, code));
}

} // namespace AtomicFile

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error,
                         const QDateTime& modified)
{
    return writeFileAtomically(
        path,
        [&data](QIODevice& out, QString* why) {
            if (out.write(data) == data.size())
                return true;
            *why = out.errorString();
            return false;
        },
        error, modified);
}

bool writeFileAtomically(const QString& path, const AtomicFile::Producer& produce, QString* error,
                         const QDateTime& modified)
{
    using namespace AtomicFile;
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return fail(error, QStringLiteral("no file name in \"%1\"").arg(path));
    const QByteArray native = QFile::encodeName(path);
    struct stat existing;
    const bool exists = ::lstat(native.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(error, QStringLiteral("cannot replace the folder %1").arg(path));

    const QString temporary = temporaryPathFor(path);
    if (!writeNewFile(temporary, produce, true, error, modified))
        return false;
    const QByteArray nativeTemporary = QFile::encodeName(temporary);
    // A replaced file keeps who may read it.
    if (exists && S_ISREG(existing.st_mode))
        ::chmod(nativeTemporary.constData(), existing.st_mode & 07777);
    if (::rename(nativeTemporary.constData(), native.constData()) != 0) {
        const int code = errno;
        CopyFailures::noteErrno(code);
        ::unlink(nativeTemporary.constData());
        return fail(error, reason(QStringLiteral("cannot rename to"), path, code));
    }
    // The rename itself lasts only once the folder is on disk.
    return syncPath(QFileInfo(path).path(), error);
}
