// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELTagLibWriter.h"

namespace TagLib::ID3v2 {
class Tag;
}

// The common fields and then the ID3v2 frames of an MPEG file: TPE2, TRCK
// and TPOS (merged with the numbers the file holds), TCOM, TIT1, TCMP and the
// first picture, in one open and one save.
class QELTagLibMP3Writer : public QELTagLibWriter {
public:
    // False, with the file unsaved, when it cannot be opened as MPEG, its
    // ID3v2 tag runs past its end, it would still have no ID3v2 tag after the
    // common fields, or the save fails.
    bool writeTagsToFileAtPath(const QString& path, const QELTagMap& map) override;
    // True when the picture was set and the file saved.
    bool addArtworkToFileAtPath(const QString& path, const QString& imagePath) override;
    // True when the file has an ID3v2 tag and was saved without its first picture.
    bool removeArtworkFromFileAtPath(const QString& path) override;

    // The first frame of that id, or a new UTF-8 text frame, gets `value` as its only text.
    static void writeValueToTagWithHandle(const char* frameId, TagLib::ID3v2::Tag& tag,
                                          const QString& value);
    // The first APIC frame, or a new one of type "other", gets the image's
    // bytes and its MIME type; false, the tag unchanged, when no image could
    // be read.
    static bool addArtworkToTag(TagLib::ID3v2::Tag& tag, const QString& imagePath);
    // The map's fields into an ID3v2 tag, whichever file holds it (an MP3,
    // or the ID3v2 chunk of a WAV or AIFF file); `common` is the file's tag
    // for the fields every format shares (the tag itself, or the union of
    // it and the file's other tags). With `refuseEmpty`, false when the tag
    // is still empty after the common fields (an MP3 without a tag keeps
    // none unless it gets one of them).
    static bool writeID3v2Tag(TagLib::ID3v2::Tag& tag, TagLib::Tag& common, const QELTagMap& map,
                              bool refuseEmpty);
    // "image/png", "image/bmp", "image/gif" by the extension, else "image/jpeg".
    static QString mimeTypeForImagePath(const QString& imagePath);
};
