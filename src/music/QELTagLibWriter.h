// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELTagMap.h"

namespace TagLib {
class Tag;
}

// Writes the fields every format TagLib knows has in common (album, artist,
// comment, genre, year, title, track number) into a file, in place: the
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

protected:
    // The map's present common fields into an open file's tag.
    static void writeGenericTags(TagLib::Tag& tag, const QELTagMap& map);
};
