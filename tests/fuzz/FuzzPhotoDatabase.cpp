// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an iPod's "Photo Database": the reader fills its store with
// photos and albums, or fails with a reason; the photos view's album queries
// then answer without a crash.
#include "FuzzSupport.h"
#include "QELDeviceImagePhotosBinaryReader.h"
#include "QELImageStore.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("Photo Database"), FuzzSupport::bytes(data, size));
    auto reader = QELDeviceImagePhotosBinaryReader::create(scratch.path());
    if (!reader)
        FuzzSupport::fail("no image store could be made");
    reader->setLibraryDirectoryOnDevice(QStringLiteral("/Photos"));
    const bool read = reader->readImageDatabase();
    if (read != reader->failureReason().isEmpty())
        FuzzSupport::fail("a read's result and its reason disagree");
    QList<AlbumRecord> albums = reader->getPhotoLibrary();
    albums += reader->getEventNames();
    albums += reader->getFacesNames();
    albums += reader->getAlbumNames();
    if (read && !albums.isEmpty())
        FuzzSupport::parsed();
    for (const AlbumRecord& album : albums)
        for (const ImageDetailPtr& image : reader->getAssetsForAlbumWithId(album.id))
            if (!image->hasRawFormat())
                FuzzSupport::fail("an album lists a size that is no raw picture");
    reader->isLibraryEmpty();
    reader->close();
    return 0;
}
