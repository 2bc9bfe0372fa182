// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFileBatch.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

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

bool AtomicFileBatch::write(const QString& target, const QByteArray& data, QString* error,
                            const QDateTime& modified)
{
    return write(
        target,
        [&data](QIODevice& out, QString* why) {
            if (out.write(data) == data.size())
                return true;
            *why = out.errorString();
            return false;
        },
        error, modified);
}

bool AtomicFileBatch::write(const QString& target, const AtomicFile::Producer& produce,
                            QString* error, const QDateTime& modified)
{
    const QString temporary = AtomicFile::temporaryPathFor(target);
    if (!AtomicFile::writeNewFile(temporary, produce, false, error, modified))
        return false;
    // The common case of an export of thousands of small files is a name not
    // taken yet: it is taken in one step that never replaces. A name that is
    // taken goes the careful way, which keeps the old file until the commit.
    if (!target.isEmpty() && !target.endsWith(QLatin1Char('/'))
        && ::renameat2(AT_FDCWD, native(temporary).constData(), AT_FDCWD,
                       native(target).constData(), RENAME_NOREPLACE)
            == 0) {
        m_placed.push_back({target, QString()});
        return true;
    }
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
