// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicLibraryHostServices.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUrl>

#include "Locations.h"
#include "QELTagLib.h"

FolderMediaLibraryHost::Services musicLibraryHostServices()
{
    FolderMediaLibraryHost::Services services;
    services.embedArtwork = [](const QString& file, const QByteArray& image) {
        // The writers take the cover as an image file.
        const QImage decoded = QImage::fromData(image);
        if (decoded.isNull())
            return false;
        const QString scratch = Locations::makeScratchFolder(QStringLiteral("cover"));
        if (scratch.isEmpty())
            return false;
        const QString path = scratch + QStringLiteral("/cover.png");
        const bool embedded =
            decoded.save(path, "PNG") && QELTagLib().addArtwokImageToFileAtPath(file, path);
        QFile::remove(path);
        QDir().rmdir(scratch);
        return embedded;
    };
    services.fileHasArtwork = [](const QString& file) {
        return QELTagLib().loadTagsFromFileAtPath(file).ArtworkState()
            == QELTagMap::kArtworkEmbedded;
    };
    // A transfer ends without opening a window: the library is the user's
    // music folder, which the desktop's players watch; the copy-complete
    // sheet offers to show it.
    return services;
}
