// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "QELDeviceImageArtworkDBReader.h"

// The reader of the older photo database of iPods with photos, a local copy
// of "/Photos/Photo Database"; its thumbnails lie in the .ithmb files under
// the device folder "/Photos". It reads as the artwork database does.
class QELDeviceImagePhotosBinaryReader : public QELDeviceImageArtworkDBReader {
public:
    // The reader of "<directoryContent>/<databaseFileName>", or none when its
    // store could not be set up.
    static std::unique_ptr<QELDeviceImagePhotosBinaryReader> create(
        const QString& directoryContent,
        const QString& databaseFileName = QStringLiteral("Photo Database"),
        const QString& storeName = QStringLiteral("Photos.DB"));

private:
    using QELDeviceImageArtworkDBReader::QELDeviceImageArtworkDBReader;
};
