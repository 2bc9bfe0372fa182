// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <taglib/tbytevector.h>

#include <QString>

// Reads an artwork image whole for the tag writers, downloading it first when
// the path is a web address. Blocking; worker threads.
class QELImageData {
public:
    // Larger images are refused: a cover is a few hundred kilobytes.
    static constexpr qint64 kMaxImageBytes = 32 * 1024 * 1024;
    // How long a download may take before it is given up (nominal, through Clock).
    static constexpr int kDownloadTimeoutMs = 10000;

    // The whole file at `path` (a local file, or an address beginning with
    // "http" in any case, which is downloaded into the program's temporary
    // folder); empty when nothing could be read, the file is empty or too
    // large, or the download failed or took too long.
    static TagLib::ByteVector imageDataFromImageAtPath(const QString& path);
};
