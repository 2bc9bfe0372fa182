// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBookViewingCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Locations.h"
#include "Log.h"
#include "QELBookDetails.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"
#include "ThreadCheck.h"

namespace QELBookViewingCopy {

namespace {

std::optional<qint64> deviceSizeOf(QELDeviceInterface& device, const QString& path)
{
    const std::optional<QVariantMap> info = device.getFileInfo(path);
    if (!info)
        return std::nullopt;
    for (const char* key : {"st_size", "NSFileSize"}) {
        bool ok = false;
        const qint64 size = info->value(QLatin1String(key)).toLongLong(&ok);
        if (ok && info->contains(QLatin1String(key)))
            return size;
    }
    return std::nullopt;
}

} // namespace

QString folder()
{
    const QString temporary = Locations::temporaryFolder();
    return temporary.isEmpty() ? QString() : temporary + QStringLiteral("/pdf");
}

QString localPathOf(const QELBookDetails& book)
{
    const QString pdfFolder = folder();
    const QString id = SafePath::fileName(book.persistentID(), book.fileFallbackText());
    if (pdfFolder.isEmpty() || id.isEmpty())
        return {};
    // The viewer shows the file's name as the document's: the book's title,
    // in a folder of its ID so that two books of one title keep their own.
    QString title = SafePath::fileName(book.name(), id);
    if (title.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        title.chop(4);
    return pdfFolder + QLatin1Char('/') + id + QLatin1Char('/') + title + QStringLiteral(".pdf");
}

QString copyForViewing(QELDeviceInterface& device, const QELBookDetails& book)
{
    assertNotOnGuiThread();
    const QString local = localPathOf(book);
    if (local.isEmpty() || book.path().isEmpty() || !QDir().mkpath(QFileInfo(local).path()))
        return {};
    const QFileInfo there(local);
    if (there.exists() || there.isSymLink()) {
        const std::optional<qint64> size = deviceSizeOf(device, book.path());
        if (size && there.isFile() && !there.isSymLink() && there.size() == *size)
            return local;
        if (!QFile::remove(local)) {
            qCWarning(lcOrvane) << "A stale copy of a book could not be removed:" << local;
            return {};
        }
    }
    if (!device.copyFileFromDeviceAtToLocalPath(book.path(), local)) {
        qCWarning(lcOrvane) << "The book could not be copied for viewing:" << book.path();
        return {};
    }
    return local;
}

} // namespace QELBookViewingCopy
