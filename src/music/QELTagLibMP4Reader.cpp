// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibMP4Reader.h"

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>

#include "TagLibSupport.h"

using TagLibSupport::Decoding;

namespace {

const TagLib::MP4::Item* findItem(const TagLib::MP4::ItemMap& items, const TagLib::String& key)
{
    const auto found = items.find(key);
    return found == items.end() || !found->second.isValid() ? nullptr : &found->second;
}

TagLib::String plainKey(const QString& name)
{
    return TagLib::String(name.toLatin1().toStdString(), TagLib::String::Latin1);
}

QString coverMimeType(const TagLib::MP4::CoverArt& cover, const QByteArray& data)
{
    switch (cover.format()) {
    case TagLib::MP4::CoverArt::JPEG:
        return QStringLiteral("image/jpeg");
    case TagLib::MP4::CoverArt::PNG:
        return QStringLiteral("image/png");
    case TagLib::MP4::CoverArt::BMP:
        return QStringLiteral("image/bmp");
    case TagLib::MP4::CoverArt::GIF:
        return QStringLiteral("image/gif");
    case TagLib::MP4::CoverArt::Unknown:
        break;
    }
    return TagLibSupport::sniffedImageMimeType(data);
}

} // namespace

TagLib::String QELTagLibMP4Reader::itemKey(const QString& name)
{
    QByteArray bytes = name.toUtf8();
    if (bytes.startsWith('x'))
        bytes[0] = char(0xA9);
    return TagLib::String(bytes.toStdString(), TagLib::String::Latin1);
}

TagLib::String QELTagLibMP4Reader::readMP4TextValueForAtom(const QString& name,
                                                           const TagLib::MP4::ItemMap& items)
{
    const TagLib::MP4::Item* item = findItem(items, itemKey(name));
    if (!item)
        return TagLib::String();
    const TagLib::StringList texts = item->toStringList();
    return texts.isEmpty() ? TagLib::String() : texts.front();
}

unsigned QELTagLibMP4Reader::readMP4BoolValueForAtom(const QString& name,
                                                     const TagLib::MP4::ItemMap& items)
{
    const TagLib::MP4::Item* item = findItem(items, plainKey(name));
    return item && item->toBool() ? 1 : 0;
}

TagLib::String QELTagLibMP4Reader::readMP4UIntPairForAtom(const QString& name,
                                                          const TagLib::MP4::ItemMap& items)
{
    const TagLib::MP4::Item* item = findItem(items, plainKey(name));
    if (!item)
        return TagLib::String();
    const TagLib::MP4::Item::IntPair pair = item->toIntPair();
    if (pair.first == 0)
        return TagLib::String();
    TagLib::String text = TagLib::String::number(pair.first);
    if (pair.second != 0)
        text += "/" + TagLib::String::number(pair.second);
    return text;
}

QImage QELTagLibMP4Reader::readMP4CoverImageFromItemListMap(const TagLib::MP4::ItemMap& items,
                                                            QByteArray* data, QString* mimeType)
{
    const TagLib::MP4::Item* item = findItem(items, "covr");
    if (!item)
        return {};
    const TagLib::MP4::CoverArtList covers = item->toCoverArtList();
    if (covers.isEmpty())
        return {};
    const TagLib::ByteVector bytes = covers.front().data();
    const QByteArray copy(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QImage image = QImage::fromData(copy);
    if (image.isNull())
        return {};
    if (data)
        *data = copy;
    if (mimeType)
        *mimeType = coverMimeType(covers.front(), copy);
    return image;
}

bool QELTagLibMP4Reader::ItemListMapDoesContainCoverImage(const TagLib::MP4::ItemMap& items)
{
    const TagLib::MP4::Item* item = findItem(items, "covr");
    return item && !item->toCoverArtList().isEmpty();
}

bool QELTagLibMP4Reader::readTagsFromFileAtPath(const QString& path, QELTagMap& map)
{
    return TagLibSupport::guarded("Reading the MP4 items of", path, false, [&] {
        if (!TagLibSupport::mp4AtomsFitFile(path))
            return false;
        const QByteArray name = TagLibSupport::fileName(path);
        // One open serves the common fields too: it is the file a FileRef opens for MP4.
        TagLib::MP4::File file(name.constData(), false);
        if (!file.isValid() || !file.tag())
            return false;
        readGenericTags(*file.tag(), map);
        const TagLib::MP4::ItemMap& items = file.tag()->itemMap();
        if (items.isEmpty())
            return false;
        const auto text = [](const TagLib::String& value, Decoding decoding) {
            return value.isEmpty() ? QString() : TagLibSupport::fromTagLib(value, decoding);
        };

        if (const QString albumArtist = text(readMP4TextValueForAtom(QStringLiteral("aART"), items),
                                             Decoding::WithFallback);
            !albumArtist.isNull())
            map.setAlbumArtist(albumArtist);
        if (map.TrackNumber()) {
            const QString track =
                text(readMP4UIntPairForAtom(QStringLiteral("trkn"), items), Decoding::Strict);
            const TagLibSupport::SlashParts parts = TagLibSupport::splitAtLastSlash(track);
            if (parts.hasSlash)
                map.setTrackTotal(TagLibSupport::integerValue(parts.after));
        }
        if (const QString disc =
                text(readMP4UIntPairForAtom(QStringLiteral("disk"), items), Decoding::Strict);
            !disc.isNull()) {
            const TagLibSupport::SlashParts parts = TagLibSupport::splitAtLastSlash(disc);
            if (parts.hasSlash) {
                map.setDiscNumber(TagLibSupport::integerValue(parts.before));
                map.setDiscTotal(TagLibSupport::integerValue(parts.after));
            } else {
                map.setDiscNumber(TagLibSupport::integerValue(disc));
            }
        }
        if (const QString composer = text(readMP4TextValueForAtom(QStringLiteral("xwrt"), items),
                                          Decoding::WithFallback);
            !composer.isNull())
            map.setComposer(composer);
        if (const QString grouping = text(readMP4TextValueForAtom(QStringLiteral("xgrp"), items),
                                          Decoding::WithFallback);
            !grouping.isNull())
            map.setGrouping(grouping);
        map.setCompilation(readMP4BoolValueForAtom(QStringLiteral("cpil"), items) != 0);

        QByteArray data;
        QString mimeType;
        const QImage cover = readMP4CoverImageFromItemListMap(items, &data, &mimeType);
        map.setArtwork(cover);
        map.setArtworkData(data);
        map.setArtworkMimeType(cover.isNull() ? QString() : mimeType);
        map.setArtworkState(cover.isNull() ? QELTagMap::kArtworkNone : QELTagMap::kArtworkEmbedded);
        map.setArtworkAttempted(true);
        return true;
    });
}
