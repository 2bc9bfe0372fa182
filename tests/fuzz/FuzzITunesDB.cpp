// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an iPod's iTunesDB: the reader fills its store or fails
// with a reason; never a crash, a hang or a read past the file.
#include "FuzzSupport.h"
#include "QELMediaLibraryITunesDBReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("iTunesDB"), FuzzSupport::bytes(data, size));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibraryITunesDBReader>(
        scratch.path());
    if (!reader)
        FuzzSupport::fail("no media store could be made");
    if (reader->readMediaLibrary()) {
        FuzzSupport::parsed();
        reader->addLibraryTypes();
    }
    reader->close();
    return 0;
}
