// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <taglib/tstring.h>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "QELTagLibReader.h"

namespace TagLib::ID3v2 {
class Tag;
}
namespace TagLib::MPEG {
class File;
}

// The common fields and then the ID3v2 frames of an MPEG file: album artist
// (TPE2), track total (TRCK), disc number and total (TPOS), composer (TCOM),
// grouping (TIT1), compilation (TCMP) and the first picture (APIC).
class QELTagLibMP3Reader : public QELTagLibReader {
public:
    // True when the common read and the ID3v2 read both succeeded; a file
    // with an ID3v1 tag only gets the common fields and answers false, as
    // does one whose ID3v2 tag runs past its end.
    bool readTagsFromFileAtPath(const QString& path, QELTagMap& map) override;

    // The text of the first frame with that id, or the empty string.
    static TagLib::String readMP3ValueForTag(const TagLib::ID3v2::Tag& tag, const char* frameId);
    // The image of the first APIC frame, or a null image (no frame, or bytes
    // that are no image); `data` and `mimeType` get the frame's bytes and MIME
    // type along with a decoded image.
    static QImage readMP3CoverImageForTag(const TagLib::ID3v2::Tag& tag, QByteArray* data = nullptr,
                                          QString* mimeType = nullptr);
    static bool TagDoesContainCoverImage(const TagLib::ID3v2::Tag& tag);

    // Whether the file's ID3v2 tag claims more bytes than the file holds.
    static bool hasTruncatedID3v2Tag(TagLib::MPEG::File& file);
};
