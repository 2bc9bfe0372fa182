// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a device's ArtworkDB: the reader fills its store, or fails
// with a reason; never a crash, a hang or a read past the file. What it
// stored answers the music view's artwork lookups.
#include "FuzzSupport.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELImageStore.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("ArtworkDB"), FuzzSupport::bytes(data, size));
    auto reader = QELDeviceImageArtworkDBReader::create(scratch.path());
    if (!reader)
        FuzzSupport::fail("no image store could be made");
    reader->setLibraryDirectoryOnDevice(QStringLiteral("/iTunes_Control/Artwork/"));
    const bool read = reader->readImageDatabase();
    if (read != reader->failureReason().isEmpty())
        FuzzSupport::fail("a read's result and its reason disagree");
    if (read && !reader->store()->imageLists().empty())
        FuzzSupport::parsed();
    for (const ImageListPtr& list : reader->store()->imageLists()) {
        const ImageDetailPtr artwork = reader->getImageDetailForId(list->photoID);
        if (artwork
            && !QELDeviceImageArtworkDBReader::preferredCorrelationIDs().contains(
                artwork->mhifReference.value_or(-1)))
            FuzzSupport::fail("artwork of a size that is not an artwork size");
    }
    reader->close();
    return 0;
}
