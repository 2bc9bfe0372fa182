// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFileBatch.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "DescriptorWrite.h"
#include "Log.h"

namespace {

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

} // namespace

AtomicFileBatch::~AtomicFileBatch() { abandon(); }

bool AtomicFileBatch::write(const QString& target, const QByteArray& data, QString* error)
{
    // The common case of an export of thousands of small files: one create,
    // one write and one rename each, without a look at the names first. The
    // create refuses a name that is taken (O_EXCL), so the temporary name
    // needs no check of its own.
    const QString folder = QFileInfo(target).path();
    QString temporary;
    QByteArray nativeTemporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temporary = folder + QStringLiteral("/.orvane-")
            + QString::number(QRandomGenerator::global()->generate64(), 36)
            + QStringLiteral(".tmp");
        nativeTemporary = native(temporary);
        fd = ::open(nativeTemporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(
                error,
                QStringLiteral("cannot create %1: %2").arg(temporary, qt_error_string(errno)));
    }
    if (fd < 0)
        return fail(error, QStringLiteral("no free temporary name beside %1").arg(target));
    const bool written = writeAllToDescriptor(fd, data.constData(), data.size());
    const int code = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(nativeTemporary.constData());
        return fail(error,
                    QStringLiteral("cannot write %1: %2")
                        .arg(temporary, qt_error_string(written ? errno : code)));
    }
    if (target.isEmpty() || target.endsWith(QLatin1Char('/'))) {
        ::unlink(nativeTemporary.constData());
        return fail(error, QStringLiteral("no file name in \"%1\"").arg(target));
    }
    // A new name (the usual case) is taken in one step that never replaces;
    // a name that is taken goes the careful way, which keeps the old file.
    if (::renameat2(AT_FDCWD, nativeTemporary.constData(), AT_FDCWD, native(target).constData(),
                    RENAME_NOREPLACE)
        == 0) {
        m_placed.push_back({target, QString()});
        return true;
    }
    m_temporaries.append(temporary);
    return place(temporary, target, error);
}

bool AtomicFileBatch::write(const QString& target, const AtomicFile::Producer& produce,
                            QString* error)
{
    const QString temporary = AtomicFile::temporaryPathFor(target);
    if (!AtomicFile::writeNewFile(temporary, produce, false, error))
        return false;
    m_temporaries.append(temporary);
    return place(temporary, target, error);
}

QString AtomicFileBatch::temporaryPathFor(const QString& target)
{
    const QString temporary = AtomicFile::temporaryPathFor(target);
    m_temporaries.append(temporary);
    return temporary;
}

bool AtomicFileBatch::place(const QString& temporaryPath, const QString& target, QString* error)
{
    m_temporaries.removeAll(temporaryPath);
    const QByteArray from = native(temporaryPath);
    const QByteArray to = native(target);
    auto giveUp = [&](const QString& why) {
        ::unlink(from.constData());
        return fail(error, why);
    };
    struct stat info;
    if (::lstat(from.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return giveUp(QStringLiteral("no complete file at %1").arg(temporaryPath));
    if (target.isEmpty() || target.endsWith(QLatin1Char('/')))
        return giveUp(QStringLiteral("no file name in \"%1\"").arg(target));
    Placed placed{target, QString()};
    if (::lstat(to.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return giveUp(QStringLiteral("cannot replace the folder %1").arg(target));
        placed.replaced = AtomicFile::temporaryPathFor(target);
        if (::rename(to.constData(), native(placed.replaced).constData()) != 0)
            return giveUp(
                QStringLiteral("cannot set aside %1: %2").arg(target, qt_error_string(errno)));
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        const int code = errno;
        if (!placed.replaced.isEmpty())
            ::rename(native(placed.replaced).constData(), to.constData());
        return giveUp(QStringLiteral("cannot rename to %1: %2").arg(target, qt_error_string(code)));
    }
    m_placed.push_back(placed);
    return true;
}

bool AtomicFileBatch::commit(QString* error)
{
    // A few files are synced one by one. Many files (an export of thousands
    // of contacts or pages) are synced with one syncfs per file system: a
    // flush per file made such an export take tens of seconds on a disk,
    // and syncfs writes the files' data and names (their folders) at once.
    constexpr qsizetype kSyncEachBelow = 16;
    if (qsizetype(m_placed.size()) < kSyncEachBelow) {
        QStringList folders;
        for (const Placed& placed : m_placed) {
            if (!AtomicFile::syncPath(placed.target, error))
                return false;
            const QString folder = QFileInfo(placed.target).path();
            if (!folders.contains(folder))
                folders.append(folder);
        }
        for (const QString& folder : std::as_const(folders)) {
            if (!AtomicFile::syncPath(folder, error))
                return false;
        }
    } else {
        QList<dev_t> synced;
        for (const Placed& placed : m_placed) {
            struct stat info;
            const QByteArray target = native(placed.target);
            if (::stat(target.constData(), &info) != 0)
                return fail(error,
                            QStringLiteral("cannot find %1: %2")
                                .arg(placed.target, qt_error_string(errno)));
            if (synced.contains(info.st_dev))
                continue;
            const int fd = ::open(target.constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return fail(error,
                            QStringLiteral("cannot open %1: %2")
                                .arg(placed.target, qt_error_string(errno)));
            const bool ok = ::syncfs(fd) == 0;
            const int code = errno;
            ::close(fd);
            if (!ok)
                return fail(error,
                            QStringLiteral("cannot write %1 to the disk: %2")
                                .arg(placed.target, qt_error_string(code)));
            synced.append(info.st_dev);
        }
    }
    for (const Placed& placed : m_placed) {
        if (!placed.replaced.isEmpty())
            ::unlink(native(placed.replaced).constData());
    }
    for (const QString& temporary : std::as_const(m_temporaries))
        ::unlink(native(temporary).constData());
    m_placed.clear();
    m_temporaries.clear();
    return true;
}

void AtomicFileBatch::abandon()
{
    for (const QString& temporary : std::as_const(m_temporaries))
        ::unlink(native(temporary).constData());
    m_temporaries.clear();
    // Newest first: a target placed twice gets its first version back before
    // the file that version replaced.
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        const QByteArray target = native(it->target);
        if (it->replaced.isEmpty()) {
            ::unlink(target.constData());
        } else if (::rename(native(it->replaced).constData(), target.constData()) != 0) {
            qCWarning(lcOrvane) << "Could not put back" << it->target << "kept as" << it->replaced;
        }
    }
    m_placed.clear();
}

QStringList AtomicFileBatch::placedFiles() const
{
    QStringList files;
    for (const Placed& placed : m_placed)
        files.append(placed.target);
    return files;
}
