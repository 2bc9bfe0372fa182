// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <taglib/mp4tag.h>
#include <taglib/tstring.h>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "QELTagLibReader.h"

// The common fields and then the items of an MP4 file: album artist
// ("aART"), track total ("trkn"), disc number and total ("disk"), composer
// ("\251wrt"), grouping ("\251grp"), compilation ("cpil") and the first cover
// ("covr"). Item names are given with "x" for a first byte 0xA9 ("xwrt").
class QELTagLibMP4Reader : public QELTagLibReader {
public:
    // True when the common read and the MP4 read both succeeded; a file
    // without items answers false, as does one whose atoms run past its end.
    bool readTagsFromFileAtPath(const QString& path, QELTagMap& map) override;

    // The key of an item name: a first "x" stands for the byte 0xA9.
    static TagLib::String itemKey(const QString& name);
    // The first text of the item, or the empty string.
    static TagLib::String readMP4TextValueForAtom(const QString& name,
                                                  const TagLib::MP4::ItemMap& items);
    // 1 or 0 (the "x" rule does not apply).
    static unsigned readMP4BoolValueForAtom(const QString& name, const TagLib::MP4::ItemMap& items);
    // The integer pair as "n" or "n/m"; empty when the item is missing or
    // its first number is 0.
    static TagLib::String readMP4UIntPairForAtom(const QString& name,
                                                 const TagLib::MP4::ItemMap& items);
    // The image of the first cover, or a null image; `data` and `mimeType`
    // get its bytes and MIME type along with a decoded image.
    static QImage readMP4CoverImageFromItemListMap(const TagLib::MP4::ItemMap& items,
                                                   QByteArray* data = nullptr,
                                                   QString* mimeType = nullptr);
    static bool ItemListMapDoesContainCoverImage(const TagLib::MP4::ItemMap& items);
};
