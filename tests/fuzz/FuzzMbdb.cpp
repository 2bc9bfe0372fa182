// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an old backup's Manifest.mbdb, read both ways the program
// reads it: the browser's domain table and the manifest.
#include "BackupManifest.h"
#include "FuzzSupport.h"
#include "QELDeviceBackupBrowser.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QString path =
        scratch.write(QStringLiteral("Manifest.mbdb"), FuzzSupport::bytes(data, size));
    if (!QELDeviceBackupBrowser::readManifestFile(path).isEmpty())
        FuzzSupport::parsed();
    QString error;
    if (!BackupManifest::load(scratch.path(), &error) && error.isEmpty())
        FuzzSupport::fail("a manifest was refused without a reason");
    return 0;
}
