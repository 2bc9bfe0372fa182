// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibMP3Reader.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "TagLibSupport.h"

using TagLibSupport::Decoding;

namespace {

// NSString's boolValue: after white space, a sign and leading zeros, "Y",
// "y", "T", "t" or a digit 1 to 9.
bool flagValue(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    if (at < text.size() && (text.at(at) == QLatin1Char('+') || text.at(at) == QLatin1Char('-')))
        ++at;
    while (at < text.size() && text.at(at) == QLatin1Char('0'))
        ++at;
    if (at >= text.size())
        return false;
    const QChar first = text.at(at);
    return first == QLatin1Char('Y') || first == QLatin1Char('y') || first == QLatin1Char('T')
        || first == QLatin1Char('t') || (first >= QLatin1Char('1') && first <= QLatin1Char('9'));
}

} // namespace

TagLib::String QELTagLibMP3Reader::readMP3ValueForTag(const TagLib::ID3v2::Tag& tag,
                                                      const char* frameId)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList(TagLib::ByteVector(frameId, 4));
    if (frames.isEmpty())
        return TagLib::String();
    return frames.front()->toString();
}

QImage QELTagLibMP3Reader::readMP3CoverImageForTag(const TagLib::ID3v2::Tag& tag, QByteArray* data,
                                                   QString* mimeType)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList("APIC");
    if (frames.isEmpty())
        return {};
    const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frames.front());
    if (!picture)
        return {};
    const TagLib::ByteVector bytes = picture->picture();
    const QByteArray copy(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QImage image = QImage::fromData(copy);
    if (image.isNull())
        return {};
    if (data)
        *data = copy;
    if (mimeType) {
        *mimeType = TagLibSupport::fromTagLib(picture->mimeType(), Decoding::WithFallback);
        if (mimeType->isEmpty())
            *mimeType = TagLibSupport::sniffedImageMimeType(copy);
    }
    return image;
}

bool QELTagLibMP3Reader::TagDoesContainCoverImage(const TagLib::ID3v2::Tag& tag)
{
    return !tag.frameList("APIC").isEmpty();
}

bool QELTagLibMP3Reader::hasTruncatedID3v2Tag(TagLib::MPEG::File& file)
{
    if (!file.hasID3v2Tag())
        return false;
    const TagLib::ID3v2::Header* header = file.ID3v2Tag()->header();
    return header && static_cast<qint64>(header->completeTagSize()) > file.length();
}

bool QELTagLibMP3Reader::readTagsFromFileAtPath(const QString& path, QELTagMap& map)
{
    // TagLib searches an MPEG file for its tag up to the first frame: a file
    // of another kind, or a huge one with no frame near its start, is not
    // handed to it.
    if (TagLibSupport::audioKindOf(path) != TagLibSupport::AudioKind::MP3)
        return false;
    return TagLibSupport::guarded("Reading the ID3v2 tag of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        // One open serves the common fields too: it is the file a FileRef opens for an MPEG file.
        TagLib::MPEG::File file(name.constData(), false);
        if (!file.isValid() || !file.tag())
            return false;
        if (hasTruncatedID3v2Tag(file))
            return false;
        readGenericTags(*file.tag(), map);
        if (!file.hasID3v2Tag())
            return false;
        const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
        const auto text = [&tag](const char* id, Decoding decoding) {
            const TagLib::String value = readMP3ValueForTag(tag, id);
            return value.isEmpty() ? QString() : TagLibSupport::fromTagLib(value, decoding);
        };

        if (const QString albumArtist = text("TPE2", Decoding::WithFallback); !albumArtist.isNull())
            map.setAlbumArtist(albumArtist);
        if (const QString track = text("TRCK", Decoding::Strict); !track.isNull()) {
            const TagLibSupport::SlashParts parts = TagLibSupport::splitAtLastSlash(track);
            if (parts.hasSlash)
                map.setTrackTotal(TagLibSupport::integerValue(parts.after));
        }
        if (const QString disc = text("TPOS", Decoding::Strict); !disc.isNull()) {
            const TagLibSupport::SlashParts parts = TagLibSupport::splitAtLastSlash(disc);
            if (parts.hasSlash) {
                map.setDiscNumber(TagLibSupport::integerValue(parts.before));
                map.setDiscTotal(TagLibSupport::integerValue(parts.after));
            } else {
                map.setDiscNumber(TagLibSupport::integerValue(disc));
            }
        }
        if (const QString composer = text("TCOM", Decoding::WithFallback); !composer.isNull())
            map.setComposer(composer);
        if (const QString grouping = text("TIT1", Decoding::WithFallback); !grouping.isNull())
            map.setGrouping(grouping);
        if (const QString compilation = text("TCMP", Decoding::Strict); !compilation.isNull())
            map.setCompilation(flagValue(compilation));

        QByteArray data;
        QString mimeType;
        const QImage cover = readMP3CoverImageForTag(tag, &data, &mimeType);
        map.setArtwork(cover);
        map.setArtworkData(data);
        map.setArtworkMimeType(cover.isNull() ? QString() : mimeType);
        map.setArtworkState(cover.isNull() ? QELTagMap::kArtworkNone : QELTagMap::kArtworkEmbedded);
        map.setArtworkAttempted(true);
        return true;
    });
}
