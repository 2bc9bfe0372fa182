// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a zlib stream: inflated within the limit or refused.
#include "FuzzSupport.h"
#include "QELMediaLibraryITunesCDBConvertor.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A small limit keeps a bomb from filling the memory of the run.
    const std::optional<QByteArray> out = QELMediaLibraryITunesCDBConvertor::inflate(
        FuzzSupport::bytes(data, size), 16 * 1024 * 1024);
    if (out && out->size() > 16 * 1024 * 1024)
        FuzzSupport::fail("inflate went past its limit");
    if (out && !out->isEmpty())
        FuzzSupport::parsed();
    return 0;
}
