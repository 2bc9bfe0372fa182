// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibMP3Writer.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <QFileInfo>

#include "QELImageData.h"
#include "QELTagLibMP3Reader.h"
#include "TagLibSupport.h"

using TagLibSupport::Decoding;

namespace {

// The text a number frame holds, as the merges read it: none when it cannot be text.
QString heldNumberText(const TagLib::ID3v2::Tag& tag, const char* frameId)
{
    const TagLib::String value = QELTagLibMP3Reader::readMP3ValueForTag(tag, frameId);
    return value.isEmpty() ? QString() : TagLibSupport::fromTagLib(value, Decoding::Strict);
}

bool removeFirstPicture(TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameList& pictures = tag.frameList("APIC");
    if (pictures.isEmpty())
        return false;
    tag.removeFrame(pictures.front(), true);
    return true;
}

} // namespace

void QELTagLibMP3Writer::writeValueToTagWithHandle(const char* frameId, TagLib::ID3v2::Tag& tag,
                                                   const QString& value)
{
    const TagLib::ByteVector id(frameId, 4);
    const TagLib::ID3v2::FrameList& frames = tag.frameList(id);
    TagLib::ID3v2::Frame* frame = frames.isEmpty() ? nullptr : frames.front();
    if (!frame) {
        auto* created = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
        tag.addFrame(created);
        frame = created;
    }
    frame->setText(TagLibSupport::toTagLib(value));
}

QString QELTagLibMP3Writer::mimeTypeForImagePath(const QString& imagePath)
{
    const QString extension = QFileInfo(imagePath).suffix().toLower();
    if (extension == QLatin1String("png"))
        return QStringLiteral("image/png");
    if (extension == QLatin1String("bmp"))
        return QStringLiteral("image/bmp");
    if (extension == QLatin1String("gif"))
        return QStringLiteral("image/gif");
    return QStringLiteral("image/jpeg");
}

bool QELTagLibMP3Writer::addArtworkToTag(TagLib::ID3v2::Tag& tag, const QString& imagePath)
{
    const TagLib::ByteVector bytes = QELImageData::imageDataFromImageAtPath(imagePath);
    if (bytes.isEmpty())
        return false;
    const TagLib::ID3v2::FrameList& pictures = tag.frameList("APIC");
    auto* picture = pictures.isEmpty()
        ? nullptr
        : dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
    if (!picture) {
        picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::Other);
        picture->setTextEncoding(TagLib::String::Latin1);
        tag.addFrame(picture);
    }
    picture->setPicture(bytes);
    picture->setMimeType(TagLibSupport::toTagLib(mimeTypeForImagePath(imagePath)));
    return true;
}

bool QELTagLibMP3Writer::writeTagsToFileAtPath(const QString& path, const QELTagMap& map)
{
    return TagLibSupport::guarded("Writing the ID3v2 tag of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MPEG::File file(name.constData(), false);
        if (!file.isValid() || !file.tag() || QELTagLibMP3Reader::hasTruncatedID3v2Tag(file))
            return false;
        TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
        if (!writeID3v2Tag(tag, *file.tag(), map, true))
            return false;
        return TagLibSupport::saveMPEGFile(file);
    });
}

bool QELTagLibMP3Writer::writeID3v2Tag(TagLib::ID3v2::Tag& tag, TagLib::Tag& common,
                                       const QELTagMap& map, bool refuseEmpty)
{
    {
        // Taken before the common fields go in: setting the track number
        // alone rewrites TRCK as that number and would drop the total.
        const QString heldTrack = heldNumberText(tag, "TRCK");
        const QString heldDisc = heldNumberText(tag, "TPOS");
        writeGenericTags(common, map);
        if (refuseEmpty && tag.isEmpty())
            return false;

        if (!map.AlbumArtist().isNull())
            writeValueToTagWithHandle("TPE2", tag, map.AlbumArtist());
        if (const auto track =
                TagLibSupport::mergedNumberText(map.TrackNumber(), map.TrackTotal(), heldTrack))
            writeValueToTagWithHandle("TRCK", tag, *track);
        if (const auto disc =
                TagLibSupport::mergedNumberText(map.DiscNumber(), map.DiscTotal(), heldDisc))
            writeValueToTagWithHandle("TPOS", tag, *disc);
        if (!map.Composer().isNull())
            writeValueToTagWithHandle("TCOM", tag, map.Composer());
        if (!map.Grouping().isNull())
            writeValueToTagWithHandle("TIT1", tag, map.Grouping());
        if (map.Compilation())
            writeValueToTagWithHandle(
                "TCMP", tag, *map.Compilation() ? QStringLiteral("1") : QStringLiteral("0"));

        if (map.ArtworkState() == QELTagMap::kArtworkRemove)
            removeFirstPicture(tag);
        else if (!map.ArtworkPath().isEmpty()
                 && (map.ArtworkState() == QELTagMap::kArtworkEmbed
                     || map.ArtworkState() == QELTagMap::kArtworkEmbedToo))
            addArtworkToTag(tag, map.ArtworkPath());
        return true;
    }
}

bool QELTagLibMP3Writer::addArtworkToFileAtPath(const QString& path, const QString& imagePath)
{
    return TagLibSupport::guarded("Adding a picture to", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MPEG::File file(name.constData(), false);
        // A file without a tag gets one for its cover.
        if (!file.isValid() || imagePath.isEmpty()
            || QELTagLibMP3Reader::hasTruncatedID3v2Tag(file))
            return false;
        if (!addArtworkToTag(*file.ID3v2Tag(true), imagePath))
            return false;
        return TagLibSupport::saveMPEGFile(file);
    });
}

bool QELTagLibMP3Writer::removeArtworkFromFileAtPath(const QString& path)
{
    return TagLibSupport::guarded("Removing the picture of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::MPEG::File file(name.constData(), false);
        if (!file.isValid() || !file.hasID3v2Tag()
            || QELTagLibMP3Reader::hasTruncatedID3v2Tag(file))
            return false;
        removeFirstPicture(*file.ID3v2Tag());
        return TagLibSupport::saveMPEGFile(file);
    });
}
