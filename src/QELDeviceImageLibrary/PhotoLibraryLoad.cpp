// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotoLibraryLoad.h"

#include <QDir>

#include "Locations.h"
#include "Log.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELDeviceImagePhotosDbReader.h"
#include "QELDeviceInterface.h"

namespace {

const QString kBinaryDatabase = QStringLiteral("/Photos/Photo Database");
const QString kPhotosSqlite = QStringLiteral("/PhotoData/Photos.sqlite");

} // namespace

PhotoLibraryLoad::Library PhotoLibraryLoad::libraryOf(QELDeviceInterface* device)
{
    if (!device)
        return Library::None;
    if (device->fileExistsAtPath(kBinaryDatabase))
        return Library::BinaryDatabase;
    if (device->connectedDeviceOperatingSystem() == 1 && device->fileExistsAtPath(kPhotosSqlite))
        return Library::PhotosSqlite;
    return Library::None;
}

void PhotoLibraryLoad::buildOutline(const QELDeviceImageLibraryReader& reader, Result& result)
{
    const QList<QPair<QString, QList<AlbumRecord>>> groups = {
        {QStringLiteral("library"), reader.getPhotoLibrary()},
        {QStringLiteral("streams"), reader.getStreamNames()},
        {QStringLiteral("events"), reader.getEventNames()},
        {QStringLiteral("faces"), reader.getFacesNames()},
        {QStringLiteral("albums"), reader.getAlbumNames()},
    };
    result.headings.clear();
    result.children.clear();
    for (const auto& [key, albums] : groups) {
        if (!albums.isEmpty())
            result.headings.append(key);
        if (!albums.isEmpty() || key == QLatin1String("library"))
            result.children.insert(key, albums);
    }
    result.hasImages = !reader.isLibraryEmpty();
    result.albumImages.clear();
    for (const QString& group : {QStringLiteral("library"), QStringLiteral("streams")})
        for (const AlbumRecord& album : result.children.value(group))
            if (isWholeLibraryAlbum(reader, album))
                result.albumImages.insert(*album.id, reader.getAssetsForAlbumWithId(album.id));
}

bool PhotoLibraryLoad::isWholeLibraryAlbum(const QELDeviceImageLibraryReader& reader,
                                           const AlbumRecord& album)
{
    return album.id
        && (album.kind == 1 || *album.id == reader.cameraAlbumId()
            || *album.id == reader.photoStreamAlbumId());
}

PhotoLibraryLoad::Result PhotoLibraryLoad::load(QELDeviceInterface* device,
                                                QELDeviceImageLibraryEventProtocol* delegate,
                                                const BinaryReaderFactory& binaryReader)
{
    Result result;
    const Library library = libraryOf(device);
    if (library == Library::None)
        return result;
    // A folder of its own per load: a reader of an earlier load may still be
    // in use by a running copy.
    const QString folder = Locations::makeScratchFolder(QStringLiteral("photos"));
    if (folder.isEmpty()) {
        result.error = QStringLiteral("no temporary folder");
        qCWarning(lcOrvane) << "no temporary folder for the photo library";
        return result;
    }
    std::unique_ptr<QELDeviceImageLibraryReader> reader;
    if (library == Library::BinaryDatabase) {
        const QString local = QDir(folder).filePath(QStringLiteral("Photo Database"));
        if (!device->copyFileFromDeviceAtToLocalPath(kBinaryDatabase, local)) {
            result.error = QStringLiteral("the photo database could not be copied");
            qCWarning(lcOrvane) << "the photo database could not be copied from the device";
            return result;
        }
        reader = binaryReader
            ? binaryReader(folder, QStringLiteral("Photo Database"), QStringLiteral("Photos.DB"))
            : QELDeviceImagePhotosBinaryReader::create(folder, QStringLiteral("Photo Database"),
                                                       QStringLiteral("Photos.DB"));
        if (reader)
            reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
    } else {
        const QString local = QDir(folder).filePath(QStringLiteral("Photos.sqlite"));
        if (!device->copyFileFromDeviceAtToLocalPath(kPhotosSqlite, local)) {
            result.error = QStringLiteral("Photos.sqlite could not be copied");
            qCWarning(lcOrvane) << "Photos.sqlite could not be copied from the device";
            return result;
        }
        // Recent rows live in the "-wal" until the device checkpoints it.
        for (const char* suffix : {"-wal", "-shm"}) {
            const QString from = kPhotosSqlite + QLatin1String(suffix);
            if (device->fileExistsAtPath(from)
                && !device->copyFileFromDeviceAtToLocalPath(from, local + QLatin1String(suffix)))
                qCWarning(lcOrvane) << "could not copy" << from << "from the device";
        }
        reader = QELDeviceImagePhotosDbReader::create(folder, kPhotosSqlite,
                                                      QStringLiteral("photos.db"));
    }
    if (!reader) {
        result.error = QStringLiteral("the image store could not be set up");
        return result;
    }
    reader->setDeviceInterface(device);
    reader->setDelegate(delegate);
    const bool read = reader->readImageDatabase();
    reader->setDelegate(nullptr);
    if (!read) {
        result.error = QStringLiteral("the photo library could not be read");
        qCWarning(lcOrvane) << "the photo library could not be read";
        return result;
    }
    if (const auto* photos = dynamic_cast<const QELDeviceImagePhotosDbReader*>(reader.get());
        photos && !photos->readError().isEmpty()) {
        result.error = photos->readError();
        return result;
    }
    result.reader = std::move(reader);
    buildOutline(*result.reader, result);
    return result;
}
