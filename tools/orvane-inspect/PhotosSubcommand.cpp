// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect photos FOLDER`: the photo library as the photos view reads
// it, FOLDER standing for the device's file system (PhotoData/Photos.sqlite
// with its companions, the DCIM tree, the thumbnail files; or an iPod's
// Photos/Photo Database with its .ithmb files): every image once and every
// album in the order the view lists them. `--export DIR` copies every image
// once, as the photo copy job does for images listed through no album.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "Locations.h"
#include "PhotoVideoRule.h"
#include "QELCopyPhotos.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELDeviceImagePhotosDbReader.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"

namespace {

using InspectJson::text;

QString findDatabase(const QString& folder)
{
    for (const char* candidate : {"PhotoData/Photos.sqlite", "Photos.sqlite"}) {
        const QString path = QDir(folder).filePath(QLatin1String(candidate));
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

// Writes the albums, then the images (which name the albums they are in),
// one at a time; answers the exit code.
int printLibrary(const QELDeviceImageLibraryReader& reader, const QString& readerName)
{
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("albums"));
    QList<AlbumRecord> albums = reader.getPhotoLibrary();
    albums += reader.getStreamNames();
    albums += reader.getEventNames();
    albums += reader.getFacesNames();
    albums += reader.getAlbumNames();

    QHash<qint64, QJsonArray> albumsOfImage;
    for (const AlbumRecord& album : albums) {
        QJsonArray ids;
        for (const ImageDetailPtr& image : reader.getAssetsForAlbumWithId(album.id)) {
            ids.append(InspectJson::id(image->imageID));
            if (image->imageID) {
                QJsonArray& titles = albumsOfImage[*image->imageID];
                if (!titles.contains(QJsonValue(album.title)))
                    titles.append(album.title);
            }
        }
        QJsonObject json;
        json.insert(QStringLiteral("id"), InspectJson::id(album.id));
        json.insert(QStringLiteral("title"), text(album.title));
        json.insert(QStringLiteral("kind"), InspectJson::number(album.kind));
        json.insert(QStringLiteral("imageIDs"), ids);
        out.value(json);
    }
    out.end();

    out.beginArray(QStringLiteral("images"));
    QSet<qint64> listed;
    for (ImageDetailPtr image : reader.store()->images()) {
        if (image->imageID) {
            if (listed.contains(*image->imageID))
                continue;
            listed.insert(*image->imageID);
            // An image stored in several sizes is shown by its full-size file.
            for (const ImageDetailPtr& size : reader.store()->imagesWithID(*image->imageID))
                if (image->fullImagePath.isEmpty() && !size->fullImagePath.isEmpty())
                    image = size;
        }
        QJsonObject json;
        json.insert(QStringLiteral("id"), InspectJson::id(image->imageID));
        json.insert(QStringLiteral("fileName"), text(image->fileName));
        json.insert(QStringLiteral("path"), text(image->fullImagePath));
        json.insert(QStringLiteral("kind"),
                    ImageDetail::isYes(image->isVideo) || PhotoVideoRule::isVideo(image->fileName)
                        ? QStringLiteral("video")
                        : QStringLiteral("photo"));
        json.insert(QStringLiteral("created"), InspectJson::date(image->dateCreated));
        json.insert(
            QStringLiteral("width"),
            InspectJson::number(image->originalWidth ? image->originalWidth : image->width));
        json.insert(
            QStringLiteral("height"),
            InspectJson::number(image->originalHeight ? image->originalHeight : image->height));
        json.insert(QStringLiteral("albums"),
                    image->imageID ? albumsOfImage.value(*image->imageID) : QJsonArray());
        out.value(json);
    }
    out.end();
    out.member(QStringLiteral("reader"), readerName);
    return out.finish();
}

// Copies every image once into the export folder; false when any could
// not be copied (each is named on standard error).
bool exportPhotos(const QELDeviceImageLibraryReader& reader, QELDeviceInterface* device,
                  const QString& folder)
{
    if (!QDir().mkpath(folder)) {
        InspectSubcommands::fail(QStringLiteral("the folder %1 could not be made").arg(folder),
                                 InspectSubcommands::kWriteFailed);
        return false;
    }
    QELCopyPhotos::Run run(folder);
    QSet<qint64> copied;
    bool ok = true;
    for (const ImageDetailPtr& image : reader._getAllAssets()) {
        if (image->imageID) {
            if (copied.contains(*image->imageID))
                continue;
            copied.insert(*image->imageID);
        }
        // Listed through no album: straight into the folder.
        image->setSingleInstanceAlbumName(QString());
        QString path;
        QString error;
        if (QELCopyPhotos::copyPhoto(*image, reader, device, run, nullptr, &path, &error)
            == QELCopyPhotos::CopyResult::Failed) {
            InspectSubcommands::fail(QStringLiteral("photo %1 was not copied: %2")
                                         .arg(image->imageID.value_or(-1))
                                         .arg(error),
                                     InspectSubcommands::kWriteFailed);
            ok = false;
        }
    }
    QString error;
    if (!run.batch().commit(&error)) {
        InspectSubcommands::fail(QStringLiteral("the copies could not be synced: %1").arg(error),
                                 InspectSubcommands::kWriteFailed);
        ok = false;
    }
    return ok;
}

// An iPod's photo database, read as the photos view reads it.
int inspectPhotoDatabase(const InspectRequest& request, const QString& database)
{
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("cannot make a scratch folder in the temporary folder"));
    QFile::copy(database, scratch + QStringLiteral("/Photo Database"));
    int code = InspectSubcommands::kSucceeded;
    {
        std::unique_ptr<QELDeviceInterface> device =
            QELDeviceInterface::createOverFolder(QFileInfo(request.folder).absoluteFilePath());
        std::unique_ptr<QELDeviceImagePhotosBinaryReader> reader =
            QELDeviceImagePhotosBinaryReader::create(scratch, QStringLiteral("Photo Database"),
                                                     QStringLiteral("inspect-photos.db"));
        if (!reader) {
            code = InspectSubcommands::fail(QStringLiteral("the image store could not be set up"));
        } else {
            reader->setDeviceInterface(device.get());
            reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
            if (reader->readImageDatabase()) {
                code = printLibrary(*reader, QStringLiteral("QELDeviceImagePhotosBinaryReader"));
                if (code == InspectSubcommands::kSucceeded && !request.exportFolder.isNull()
                    && !exportPhotos(*reader, device.get(), request.exportFolder))
                    code = InspectSubcommands::kWriteFailed;
            } else
                code = InspectSubcommands::fail(
                    QStringLiteral("%1 cannot be read: %2").arg(database, reader->failureReason()));
            reader->setDeviceInterface(nullptr);
        }
        device->shutdown();
    }
    QDir(scratch).removeRecursively();
    return code;
}

int inspectPhotos(const InspectRequest& request)
{
    const QString photoDatabase =
        QDir(request.folder).filePath(QStringLiteral("Photos/Photo Database"));
    if (QFileInfo(photoDatabase).isFile())
        return inspectPhotoDatabase(request, photoDatabase);
    const QString database = findDatabase(request.folder);
    if (database.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("no Photos.sqlite (PhotoData/Photos.sqlite) in %1").arg(request.input));
    // The reader opens a private copy with its companions, as the view does.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("inspect"));
    if (scratch.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("cannot make a scratch folder in the temporary folder"));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = database + QLatin1String(suffix);
        if (QFileInfo(from).isFile())
            QFile::copy(from, scratch + QStringLiteral("/Photos.sqlite") + QLatin1String(suffix));
    }
    int code = InspectSubcommands::kSucceeded;
    {
        std::unique_ptr<QELDeviceInterface> device =
            QELDeviceInterface::createOverFolder(QFileInfo(request.folder).absoluteFilePath());
        std::unique_ptr<QELDeviceImagePhotosDbReader> reader = QELDeviceImagePhotosDbReader::create(
            scratch, QStringLiteral("/PhotoData/Photos.sqlite"),
            QStringLiteral("inspect-photos.db"));
        if (!reader) {
            code = InspectSubcommands::fail(QStringLiteral("the image store could not be set up"));
        } else {
            reader->setDeviceInterface(device.get());
            const bool read = reader->readImageDatabase();
            if (!reader->databaseWasOpened())
                code = InspectSubcommands::fail(
                    QStringLiteral("%1 is not a photo library that opens").arg(database));
            else if (!read)
                code =
                    InspectSubcommands::fail(QStringLiteral("the image store could not be saved"),
                                             InspectSubcommands::kWriteFailed);
            else
                code = printLibrary(*reader, QStringLiteral("QELDeviceImagePhotosDbReader"));
            if (code == InspectSubcommands::kSucceeded && !request.exportFolder.isNull()
                && !exportPhotos(*reader, device.get(), request.exportFolder))
                code = InspectSubcommands::kWriteFailed;
            reader->setDeviceInterface(nullptr);
        }
        device->shutdown();
    }
    QDir(scratch).removeRecursively();
    return code;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("photos"),
    QStringLiteral("the photo library and its albums (FOLDER: the device's files, "
                   "PhotoData/Photos.sqlite with its companions and the DCIM tree, or "
                   "Photos/Photo Database with its .ithmb files)"),
    InspectSubcommand::Input::FolderOnly,
    true,
    QString(),
    {},
    inspectPhotos,
});

} // namespace
