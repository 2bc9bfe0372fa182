// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessagesAttachmentFiles.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "AtomicFile.h"
#include "BackupFileSource.h"
#include "CopyFailure.h"
#include "Log.h"
#include "SafePath.h"
#include "TextEscaping.h"

namespace MessagesAttachmentFiles {

namespace {

// How many " (n)" names are tried before giving up on a folder.
constexpr int kMostNumbers = 10000;

enum class Put { Done, Taken, Failed };

// Copies into a new file made with O_EXCL, removed again when the copy fails.
Put copyNoReplace(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        CopyFailures::note(CopyFailure::UnreadableEntry);
        return Put::Failed;
    }
    bool taken = false;
    QString why;
    const bool written = AtomicFile::writeNewFile(
        to,
        [&source](QIODevice& out, QString* error) {
            constexpr qint64 kBlock = 4 * 1024 * 1024;
            while (!source.atEnd()) {
                if (CopyFailures::cancelRequested()) {
                    CopyFailures::note(CopyFailure::Cancelled);
                    *error = QStringLiteral("cancelled");
                    return false;
                }
                const QByteArray block = source.read(kBlock);
                if (block.isEmpty() || out.write(block) != block.size()) {
                    *error = out.errorString();
                    return false;
                }
            }
            return true;
        },
        false, &why);
    if (written)
        return Put::Done;
    // Only a name that was there first is "taken"; writeNewFile removed its own file.
    taken = QFileInfo(to).exists() || QFileInfo(to).isSymLink();
    return taken ? Put::Taken : Put::Failed;
}

Put moveNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return Put::Done;
    if (errno == EEXIST)
        return Put::Taken;
    // Another file system (or none with an exclusive rename): a copy, then
    // the source goes.
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS) {
        const Put copied = copyNoReplace(from, to);
        if (copied == Put::Done)
            QFile::remove(from);
        return copied;
    }
    CopyFailures::noteErrno(errno);
    return Put::Failed;
}

QString numberedName(const QString& name, int number)
{
    if (number == 0)
        return name;
    const QString extension = extensionOf(name);
    const QString stem = extension.isEmpty() ? name : name.left(name.size() - extension.size() - 1);
    return extension.isEmpty() ? QStringLiteral("%1 (%2)").arg(stem).arg(number)
                               : QStringLiteral("%1 (%2).%3").arg(stem).arg(number).arg(extension);
}

} // namespace

QString safeName(const QString& deviceName)
{
    return SafePath::fileName(deviceName, QStringLiteral("attachment"));
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.indexOf(QLatin1Char('/'), dot) >= 0)
        return {};
    return name.mid(dot + 1);
}

bool sameContent(const QString& a, const QString& b)
{
    QFile left(a);
    QFile right(b);
    if (!left.open(QIODevice::ReadOnly) || !right.open(QIODevice::ReadOnly)
        || left.size() != right.size())
        return false;
    constexpr qint64 kBlock = 1 << 20;
    while (!left.atEnd()) {
        const QByteArray x = left.read(kBlock);
        const QByteArray y = right.read(kBlock);
        if (x.isEmpty() || x != y)
            return false;
    }
    return true;
}

QString place(const QString& localFile, const QString& folder, const QString& name, Placing placing)
{
    if (localFile.isEmpty() || name.isEmpty() || !SafePath::isPlainName(name)
        || !QFileInfo(localFile).isFile())
        return {};
    // A page puts all its files into one folder: it is made once, not once
    // per file, and made again should it have gone meanwhile.
    thread_local QString made;
    if (made != folder) {
        if (!QDir().mkpath(folder))
            return {};
        made = folder;
    } else if (!QFileInfo(folder).isDir()) {
        made.clear();
        if (!QDir().mkpath(folder))
            return {};
        made = folder;
    }
    const QDir target(folder);
    for (int number = 0; number < kMostNumbers; ++number) {
        const QString candidate = numberedName(name, number);
        const QString path = target.filePath(candidate);
        const QFileInfo existing(path);
        if (existing.exists() || existing.isSymLink()) {
            // The file itself (a second part of one message), or the same
            // picture put there by another message or an earlier copy.
            if (existing.canonicalFilePath() == QFileInfo(localFile).canonicalFilePath())
                return candidate;
            if (existing.isFile() && !existing.isSymLink() && sameContent(localFile, path)) {
                if (placing == Placing::Move)
                    QFile::remove(localFile);
                return candidate;
            }
            continue;
        }
        // Neither a move nor a copy replaces a file that appeared meanwhile,
        // and a copy that fails leaves nothing: a full disk must not fill the
        // folder with empty files that the next number then counts as taken.
        const Put put = placing == Placing::Move ? moveNoReplace(localFile, path)
                                                 : copyNoReplace(localFile, path);
        if (put == Put::Done)
            return candidate;
        if (put == Put::Taken)
            continue;
        qCWarning(lcOrvane).noquote() << "Messages: an attachment could not be put into" << folder;
        return {};
    }
    return {};
}

QString fileUrlAttribute(const QString& path)
{
    return TextEscaping::htmlAttribute(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

QString relativeUrlAttribute(const QString& name)
{
    return TextEscaping::htmlAttribute(QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

QString htmlTextWithLineBreaks(const QString& text)
{
    QString escaped = TextEscaping::htmlText(text);
    // The mark a message's text keeps where an attachment sat.
    escaped.remove(QChar(0xFFFC));
    if (!escaped.contains(QLatin1Char('\n')) && !escaped.contains(QLatin1Char('\r')))
        return escaped;
    escaped.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    return escaped;
}

QString lookUp(BackupFileSource* source, const QString& relativePath, const QString& domain)
{
    if (!source || relativePath.isEmpty())
        return {};
    const QString path = source->GetPathForDeviceFileNameInDomain(relativePath, domain);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

} // namespace MessagesAttachmentFiles
