// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a backup's Manifest.db: the manifest is read or refused
// with a reason.
#include "BackupManifest.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    scratch.write(QStringLiteral("Manifest.db"), FuzzSupport::bytes(data, size));
    QString error;
    const std::optional<BackupManifest> manifest = BackupManifest::load(scratch.path(), &error);
    if (!manifest && error.isEmpty())
        FuzzSupport::fail("a manifest was refused without a reason");
    if (manifest)
        FuzzSupport::parsed();
    return 0;
}
