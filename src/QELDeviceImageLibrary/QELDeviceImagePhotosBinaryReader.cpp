// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceImagePhotosBinaryReader.h"

std::unique_ptr<QELDeviceImagePhotosBinaryReader> QELDeviceImagePhotosBinaryReader::create(
    const QString& directoryContent, const QString& databaseFileName, const QString& storeName)
{
    std::unique_ptr<QELDeviceImagePhotosBinaryReader> reader(
        new QELDeviceImagePhotosBinaryReader(directoryContent, databaseFileName, storeName));
    if (!reader->store())
        return nullptr;
    return reader;
}
