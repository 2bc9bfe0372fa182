// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

bool writeNewFile(const QString& path, const Producer& produce, bool sync, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: a file or a link that appeared at this name is never written through.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(error, reason(QStringLiteral("cannot create"), path, errno));
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ::unlink(native.constData());
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, out.errorString()));
    }
    QString why;
    bool ok = produce ? produce(out, &why) : true;
    if (ok && !out.flush())
        ok = false;
    if (ok && out.error() != QFileDevice::NoError) {
        why = out.errorString();
        ok = false;
    }
    if (ok && sync && ::fsync(fd) != 0) {
        why = qt_error_string(errno);
        ok = false;
    }
    out.close();
    if (!ok) {
        ::unlink(native.constData());
        return fail(error,
                    QStringLiteral("cannot write %1: %2")
                        .arg(path, why.isEmpty() ? QStringLiteral("write failed") : why));
    }
    return true;
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

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    return writeFileAtomically(
        path,
        [&data](QIODevice& out, QString* why) {
            if (out.write(data) == data.size())
                return true;
            *why = out.errorString();
            return false;
        },
        error);
}

bool writeFileAtomically(const QString& path, const AtomicFile::Producer& produce, QString* error)
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
    if (!writeNewFile(temporary, produce, true, error))
        return false;
    const QByteArray nativeTemporary = QFile::encodeName(temporary);
    // A replaced file keeps who may read it.
    if (exists && S_ISREG(existing.st_mode))
        ::chmod(nativeTemporary.constData(), existing.st_mode & 07777);
    if (::rename(nativeTemporary.constData(), native.constData()) != 0) {
        const int code = errno;
        ::unlink(nativeTemporary.constData());
        return fail(error, reason(QStringLiteral("cannot rename to"), path, code));
    }
    // The rename itself lasts only once the folder is on disk.
    return syncPath(QFileInfo(path).path(), error);
}
