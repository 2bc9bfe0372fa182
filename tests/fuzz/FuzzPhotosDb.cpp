// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the device's Photos.sqlite, over a device whose folders are
// empty: read into the image store, then every album list and album asked
// for as the photos view asks; a file that cannot be read leaves the store
// empty.
#include <QTemporaryDir>

#include "FuzzSupport.h"
#include "QELDeviceImagePhotosDbReader.h"
#include "QELDeviceInterface.h"

namespace {

QELDeviceInterface* emptyDevice()
{
    static QTemporaryDir* root = new QTemporaryDir();
    static std::unique_ptr<QELDeviceInterface> device =
        QELDeviceInterface::createOverFolder(root->path());
    return device.get();
}

void askAlbums(const QELDeviceImagePhotosDbReader& reader, const QList<AlbumRecord>& albums)
{
    for (const AlbumRecord& album : albums)
        (void)reader.getAssetsForAlbumWithId(album.id);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    (void)emptyDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("Photos.sqlite"), FuzzSupport::bytes(data, size));
    std::unique_ptr<QELDeviceImagePhotosDbReader> reader = QELDeviceImagePhotosDbReader::create(
        scratch.path(), QStringLiteral("Photos.sqlite"), QStringLiteral("photos-fuzz.db"));
    if (!reader)
        FuzzSupport::fail("no image store could be made");
    reader->setReferenceTime(QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC));
    reader->setDeviceInterface(emptyDevice());
    if (!reader->readImageDatabase())
        return 0;
    if (!reader->getPhotoLibrary().isEmpty())
        FuzzSupport::parsed();
    askAlbums(*reader, reader->getPhotoLibrary());
    askAlbums(*reader, reader->getAlbumNames());
    askAlbums(*reader, reader->getFacesNames());
    askAlbums(*reader, reader->getEventNames());
    askAlbums(*reader, reader->getStreamNames());
    (void)reader->isLibraryEmpty();
    return 0;
}
