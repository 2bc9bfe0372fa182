// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Turns an iTunesCDB (an iTunesDB whose body after the mhbd header is one zlib
// stream) into a plain iTunesDB file.
class QELMediaLibraryITunesCDBConvertor {
public:
    // The most bytes an iTunesCDB body may inflate to.
    static constexpr qsizetype kInflateLimit = qsizetype(512) * 1024 * 1024;

    // Converts `cdbPath` into a separate file, `targetPath` (by default
    // convertedPathFor(cdbPath)), written under a temporary name and renamed,
    // so a device's own iTunesDB beside the iTunesCDB is never touched. True
    // when the target was written.
    static bool ConvertITunesCDBToITunesDB(const QString& cdbPath, const QString& targetPath = QString());
    // Where the conversion of `cdbPath` goes: "iTunesDB.fromCDB" beside it.
    static QString convertedPathFor(const QString& cdbPath);

    // Inflates one zlib stream; none when it is damaged or would pass `limit`.
    static std::optional<QByteArray> inflate(const QByteArray& stream, qsizetype limit = kInflateLimit);
};
