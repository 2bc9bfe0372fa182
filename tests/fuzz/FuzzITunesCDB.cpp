// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a compressed iTunesCDB: the conversion to an iTunesDB
// succeeds or fails, within its inflate limit.
#include "FuzzSupport.h"
#include "QELMediaLibraryITunesCDBConvertor.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QString cdb = scratch.write(QStringLiteral("iTunesCDB"), FuzzSupport::bytes(data, size));
    if (QELMediaLibraryITunesCDBConvertor::ConvertITunesCDBToITunesDB(
            cdb, scratch.filePath(QStringLiteral("iTunesDB"))))
        FuzzSupport::parsed();
    return 0;
}
