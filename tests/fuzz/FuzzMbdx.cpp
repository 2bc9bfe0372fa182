// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as Manifest.mbdx beside a sound Manifest.mbdb: the index is read
// or refused.
#include "BackupFixtures.h"
#include "FuzzSupport.h"
#include "QELDeviceBackupBrowser.h"

namespace {
// The manifest the index points into.
QByteArray manifest()
{
    static const QByteArray bytes =
        MbdbBuilder()
            .record(QByteArray("HomeDomain"), QByteArray("Library/SMS/sms.db"), 0x81A4, 4096, 2)
            .record(QByteArray("CameraRollDomain"), QByteArray("Media/DCIM"), 0x41ED)
            .manifest();
    return bytes;
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
    const QString mbdb = scratch.write(QStringLiteral("Manifest.mbdb"), manifest());
    const QString mbdx =
        scratch.write(QStringLiteral("Manifest.mbdx"), FuzzSupport::bytes(data, size));
    const auto records = QELDeviceBackupBrowser::readIndexFiles(mbdx, mbdb);
    if (records && !records->isEmpty())
        FuzzSupport::parsed();
    return 0;
}
