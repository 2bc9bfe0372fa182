// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELTagMap.h"

namespace TagLib {
class File;
class Tag;
} // namespace TagLib

// Fills a tag map with the fields every format TagLib knows has in common:
// album, artist, comment, genre, year, title and track number, and the album
// artist, composer and cover as the format's own tag holds them. Holds nothing;
// every read opens the file anew. Blocking; worker threads.
class QELTagLibReader {
public:
    QELTagLibReader() = default;
    virtual ~QELTagLibReader() = default;
    QELTagLibReader(const QELTagLibReader&) = delete;
    QELTagLibReader& operator=(const QELTagLibReader&) = delete;

    // True when the file was read. Fields the file lacks keep what the map
    // held; a file that cannot be opened leaves the map untouched.
    virtual bool readTagsFromFileAtPath(const QString& path, QELTagMap& map);

protected:
    // The common fields of an open file's tag, each only when present.
    static void readGenericTags(const TagLib::Tag& tag, QELTagMap& map);
    // The first picture of a WAV or AIFF file's ID3v2 chunk, a FLAC file's
    // picture blocks or an Ogg file's Xiph comment.
    static void readCover(TagLib::File& file, QELTagMap& map);
};
