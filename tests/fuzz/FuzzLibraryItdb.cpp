// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as Library.itdb beside sound Locations.itdb and Dynamic.itdb
// files: the reader fills its store or fails.
#include <QFile>
#include <QTemporaryDir>

#include "FuzzSupport.h"
#include "LibraryItdbFixture.h"
#include "QELMediaLibrarySQLiteReader.h"

namespace {
QByteArray companion(const QString& name)
{
    static const QHash<QString, QByteArray> files = [] {
        QHash<QString, QByteArray> read;
        QTemporaryDir dir;
        LibraryItdbFixture library;
        LibraryItdbFixture::Item item;
        item.pid = 5;
        item.title = QStringLiteral("Title");
        item.location = QStringLiteral("ABCD.mp3");
        library.items = {item};
        if (!library.write(dir.path()))
            FuzzSupport::fail("the sound library files could not be written");
        for (const QString& file :
             {QStringLiteral("Locations.itdb"), QStringLiteral("Dynamic.itdb")}) {
            QFile in(dir.filePath(file));
            if (!in.open(QIODevice::ReadOnly))
                FuzzSupport::fail("a sound library file could not be read");
            read.insert(file, in.readAll());
        }
        return read;
    }();
    return files.value(name);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("Library.itdb"), FuzzSupport::bytes(data, size));
    scratch.write(QStringLiteral("Locations.itdb"), companion(QStringLiteral("Locations.itdb")));
    scratch.write(QStringLiteral("Dynamic.itdb"), companion(QStringLiteral("Dynamic.itdb")));
    auto reader = QELMediaLibraryReader::createWithLibraryDirectory<QELMediaLibrarySQLiteReader>(
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
