// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Unpacks a gzip-compressed cpio archive ("newc" or "odc" format) into a
// folder, in-process. Only folders and regular files are made; an entry whose
// name is absolute, holds "..", or would otherwise leave the folder is
// skipped, as are links and device files.
class CpioArchiveExtractor {
public:
    // False when the archive is damaged (cut short, a bad header) or the
    // target folder cannot be made; `error` then says why. `skipped`, when
    // given, counts the refused entries; `failed` the entries that could not
    // be written (the rest are unpacked all the same).
    static bool extract(const QString& archivePath, const QString& targetFolder, QString* error = nullptr,
                        int* skipped = nullptr, int* failed = nullptr);
};
