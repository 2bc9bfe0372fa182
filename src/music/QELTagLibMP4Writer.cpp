// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibMP4Writer.h"

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

#include <QFileInfo>

#include "QELImageData.h"
#include "QELTagLibMP4Reader.h"
#include "TagLibSupport.h"

namespace {

TagLib::MP4::Item textItem(const QString& text)
{
    return TagLib::MP4::Item(TagLib::StringList(TagLibSupport::toTagLib(text)));
}

// The pair an item holds, as the merges read it.
QString heldPairText(const TagLib::MP4::Tag& tag, const char* name)
{
    return TagLibSupport::fromTagLib(
        QELTagLibMP4Reader::readMP4UIntPairForAtom(QString::fromLatin1(name), tag.itemMap()),
        TagLibSupport::Decoding::Strict);
}

} // namespace

void QELTagLibMP4Writer::writeItemToAtom(const QString& name, TagLib::MP4::Tag& tag,
                                         const TagLib::MP4::Item& item)
{
    tag.setItem(QELTagLibMP4Reader::itemKey(name), item);
}

int QELTagLibMP4Writer::coverFormatForImagePath(const QString& imagePath)
{
    const QString extension = QFileInfo(imagePath).suffix().toLower();
    if (extension == QLatin1String("jpeg") || extension == QLatin1String("jpg"))
        return TagLib::MP4::CoverArt::JPEG;
    if (extension == QLatin1String("png"))
        return TagLib::MP4::CoverArt::PNG;
    if (extension == QLatin1String("bmp"))
        return TagLib::MP4::CoverArt::BMP;
    if (extension == QLatin1String("gif"))
        return TagLib::MP4::CoverArt::GIF;
    return TagLib::MP4::CoverArt::Unknown;
}

bool QELTagLibMP4Writer::writeArtworkToTag(TagLib::MP4::Tag& tag, const QString& imagePath)
{
    const TagLib::ByteVector bytes = QELImageData::imageDataFromImageAtPath(imagePath);
    if (bytes.isEmpty())
        return false;
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(
        static_cast<TagLib::MP4::CoverArt::Format>(coverFormatForImagePath(imagePath)), bytes));
    tag.setItem("covr", TagLib::MP4::Item(covers));
    return true;
}

bool QELTagLibMP4Writer::writeTagsToFileAtPath(const QString& path, const QELTagMap& map)
{
    return TagLibSupport::guarded("Writing the MP4 items of", path, false, [&] {
        if (!TagLibSupport::mp4AtomsFitFile(path))
            return false;
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MP4::File file(name.constData(), false);
        if (!file.isValid() || !file.tag())
            return false;
        TagLib::MP4::Tag& tag = *file.tag();
        // Taken before the common fields go in: setting the track number
        // alone rewrites "trkn" as (number, 0) and would drop the total.
        const QString heldTrack = heldPairText(tag, "trkn");
        const QString heldDisc = heldPairText(tag, "disk");
        writeGenericTags(tag, map);

        if (!map.AlbumArtist().isNull())
            writeItemToAtom(QStringLiteral("aART"), tag, textItem(map.AlbumArtist()));
        if (const auto track =
                TagLibSupport::mergedNumberPair(map.TrackNumber(), map.TrackTotal(), heldTrack))
            writeItemToAtom(QStringLiteral("trkn"), tag,
                            TagLib::MP4::Item(track->first, track->second));
        if (const auto disc =
                TagLibSupport::mergedNumberPair(map.DiscNumber(), map.DiscTotal(), heldDisc))
            writeItemToAtom(QStringLiteral("disk"), tag,
                            TagLib::MP4::Item(disc->first, disc->second));
        if (!map.Composer().isNull())
            writeItemToAtom(QStringLiteral("xwrt"), tag, textItem(map.Composer()));
        if (!map.Grouping().isNull())
            writeItemToAtom(QStringLiteral("xgrp"), tag, textItem(map.Grouping()));
        if (map.Compilation())
            writeItemToAtom(QStringLiteral("cpil"), tag, TagLib::MP4::Item(*map.Compilation()));

        if (map.ArtworkState() == QELTagMap::kArtworkRemove)
            tag.removeItem("covr");
        else if (!map.ArtworkPath().isEmpty()
                 && (map.ArtworkState() == QELTagMap::kArtworkEmbed
                     || map.ArtworkState() == QELTagMap::kArtworkEmbedToo))
            writeArtworkToTag(tag, map.ArtworkPath());
        return file.save();
    });
}

bool QELTagLibMP4Writer::addArtworkToFileAtPath(const QString& path, const QString& imagePath)
{
    return TagLibSupport::guarded("Adding a cover to", path, false, [&] {
        if (imagePath.isEmpty() || !TagLibSupport::mp4AtomsFitFile(path))
            return false;
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MP4::File file(name.constData(), false);
        if (!file.isValid() || !file.tag() || !writeArtworkToTag(*file.tag(), imagePath))
            return false;
        return file.save();
    });
}

bool QELTagLibMP4Writer::removeArtworkFromFileAtPath(const QString& path)
{
    return TagLibSupport::guarded("Removing the cover of", path, false, [&] {
        if (!TagLibSupport::mp4AtomsFitFile(path))
            return false;
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MP4::File file(name.constData(), false);
        if (!file.isValid() || !file.tag())
            return false;
        file.tag()->removeItem("covr");
        return file.save();
    });
}
