// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELTagLibWriter.h"

namespace TagLib::MP4 {
class Item;
class Tag;
} // namespace TagLib::MP4

// The common fields and then the items of an MP4 file: "aART", "trkn" and
// "disk" (merged with the pairs the file holds), "\251wrt", "\251grp", "cpil"
// and "covr", in one open and one save.
class QELTagLibMP4Writer : public QELTagLibWriter {
public:
    // False, with the file unsaved, when it cannot be opened as MP4, its
    // atoms run past its end, or the save fails.
    bool writeTagsToFileAtPath(const QString& path, const QELTagMap& map) override;
    // True when the cover was set and the file saved.
    bool addArtworkToFileAtPath(const QString& path, const QString& imagePath) override;
    // True when the file was saved without its "covr" item.
    bool removeArtworkFromFileAtPath(const QString& path) override;

    // Stores the item under the name ("x" standing for a first byte 0xA9),
    // replacing an item of that name.
    static void writeItemToAtom(const QString& name, TagLib::MP4::Tag& tag,
                                const TagLib::MP4::Item& item);
    // "covr" becomes one cover of the image's bytes in the format of its
    // extension; false, the tag unchanged, when no image could be read.
    static bool writeArtworkToTag(TagLib::MP4::Tag& tag, const QString& imagePath);
    // 13 for JPEG, 14 PNG, 27 BMP, 12 GIF by the extension; 0 otherwise.
    static int coverFormatForImagePath(const QString& imagePath);
};
