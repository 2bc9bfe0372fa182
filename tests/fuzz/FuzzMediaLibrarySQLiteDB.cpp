// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as MediaLibrary.sqlitedb: the reader fills its store or fails.
#include "FuzzSupport.h"
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("MediaLibrary.sqlitedb"), FuzzSupport::bytes(data, size));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<
        QELMediaLibraryMediaLibrarySQLiteDBReader>(scratch.path());
    if (!reader)
        FuzzSupport::fail("no media store could be made");
    reader->setFilePath(QStringLiteral("MediaLibrary.sqlitedb"));
    if (reader->readMediaLibrary())
        reader->addLibraryTypes();
    reader->close();
    return 0;
}
