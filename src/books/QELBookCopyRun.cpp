// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBookCopyRun.h"

#include <QDir>
#include <QFileInfo>

#include "Log.h"
#include "QELBookDetails.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

QString QELBookCopyRun::deviceExtensionOf(const QString& devicePath)
{
    const QString suffix = QFileInfo(devicePath).suffix();
    if (suffix.isEmpty() || suffix.size() > 16)
        return {};
    for (const QChar c : suffix) {
        if (c.unicode() >= 128 || !c.isLetterOrNumber())
            return {};
    }
    return suffix;
}

QELBookCopyRun::Outcome QELBookCopyRun::copyBook(QELDeviceInterface& device,
                                                 SafePath::UniqueNamer& namer,
                                                 const QELBookDetails& book,
                                                 const QString& fileExtension,
                                                 const QString& folderExtension, QString* target)
{
    if (book.path().isEmpty()) {
        qCInfo(lcOrvane) << "A book without a file on the device is not copied:" << book.name();
        return Outcome::Failed;
    }
    const bool folderBook = device.isDirectoryAtPath(book.path());
    const QString path = namer.claimPath(
        book.fileText(), folderBook ? folderExtension : fileExtension, book.fileFallbackText());
    if (path.isEmpty() || !QDir().mkpath(folder) || !SafePath::isInside(folder, path))
        return Outcome::Failed;
    *target = path;
    const QFileInfo there(path);
    const bool existed = there.exists() || there.isSymLink();
    if (folderBook) {
        // A folder of an earlier run stays; only what it lacks is copied.
        if (existed && (!there.isDir() || there.isSymLink()))
            return Outcome::Kept;
        const bool whole = device.copyDirectoryFromDeviceAtToLocalPath(book.path(), path, &cancel);
        if (cancel)
            return Outcome::Cancelled;
        if (!whole)
            return Outcome::Failed;
        return existed ? Outcome::Kept : Outcome::Copied;
    }
    if (existed) {
        qCInfo(lcOrvane) << "Kept the book file of an earlier copy:" << path;
        return Outcome::Kept;
    }
    if (device.copyFileFromDeviceAtToLocalPath(book.path(), path, &cancel))
        return Outcome::Copied;
    return cancel ? Outcome::Cancelled : Outcome::Failed;
}
