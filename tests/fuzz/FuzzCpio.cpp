// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the file relay's archive (read through gzip, which passes
// plain bytes through): unpacked inside the target folder or refused, and
// nothing written outside it.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "CpioArchiveExtractor.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::Scratch scratch;
    const QString archive =
        scratch.write(QStringLiteral("archive.cpio"), FuzzSupport::bytes(data, size));
    const QString target = scratch.filePath(QStringLiteral("target"));
    QString error;
    int skipped = 0;
    int failed = 0;
    const bool extracted =
        CpioArchiveExtractor::extract(archive, target, &error, &skipped, &failed);
    if (!extracted && error.isEmpty())
        FuzzSupport::fail("an archive was refused without a reason");
    if (extracted && QFileInfo::exists(target))
        FuzzSupport::parsed();
    // Only the archive and the target folder may be in the scratch folder.
    const QStringList entries =
        QDir(scratch.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry != QStringLiteral("archive.cpio") && entry != QStringLiteral("target"))
            FuzzSupport::fail("the archive wrote outside its target folder");
    return 0;
}
