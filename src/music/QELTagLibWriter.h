// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "QELTagMap.h"
#include "TagLibSupport.h"

namespace TagLib {
class Tag;
}

// Writes tags into a WAV (its ID3v2 chunk, and the common fields into its
// INFO list), AIFF (its ID3v2 chunk), FLAC or Ogg file (their Xiph comment,
// and the cover as a FLAC picture), each kind known by its extension and
// its first bytes; any other file is refused. In place: the
// façade QELTagLib hands it a copy and puts the copy in place only when the
// write succeeded. Holds nothing. Blocking; worker threads.
class QELTagLibWriter {
public:
    QELTagLibWriter() = default;
    virtual ~QELTagLibWriter() = default;
    QELTagLibWriter(const QELTagLibWriter&) = delete;
    QELTagLibWriter& operator=(const QELTagLibWriter&) = delete;

    // True when the file was opened, the map's present fields applied and
    // the file saved.
    virtual bool writeTagsToFileAtPath(const QString& path, const QELTagMap& map);
    // Only the MP3 and MP4 writers handle artwork: false here, nothing done.
    virtual bool addArtworkToFileAtPath(const QString& path, const QString& imagePath);
    virtual bool removeArtworkFromFileAtPath(const QString& path);

    // The map's present common fields into an open file's tag.
    static void writeCommonTags(TagLib::Tag& tag, const QELTagMap& map);
    // The writer of a kind: MP3 and MP4 have their own, WAV, AIFF, FLAC and
    // Ogg are written here, and an unknown kind is refused here.
    static std::unique_ptr<QELTagLibWriter> writerFor(TagLibSupport::AudioKind kind);

protected:
    static void writeGenericTags(TagLib::Tag& tag, const QELTagMap& map);
};
