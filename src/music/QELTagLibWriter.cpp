// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibWriter.h"

#include <functional>

#include <taglib/aifffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "QELImageData.h"
#include "QELTagLibMP3Writer.h"
#include "QELTagLibMP4Writer.h"
#include "TagLibSupport.h"

using TagLibSupport::toTagLib;

void QELTagLibWriter::writeGenericTags(TagLib::Tag& tag, const QELTagMap& map)
{
    if (!map.AlbumName().isNull())
        tag.setAlbum(toTagLib(map.AlbumName()));
    if (!map.ArtistName().isNull())
        tag.setArtist(toTagLib(map.ArtistName()));
    if (!map.Comment().isNull())
        tag.setComment(toTagLib(map.Comment()));
    if (!map.Genre().isNull())
        tag.setGenre(toTagLib(map.Genre()));
    if (map.ReleaseYear())
        tag.setYear(TagLibSupport::uint32Value(*map.ReleaseYear()));
    if (!map.TrackName().isNull())
        tag.setTitle(toTagLib(map.TrackName()));
    if (map.TrackNumber())
        tag.setTrack(TagLibSupport::uint32Value(*map.TrackNumber()));
}

namespace {

using TagLibSupport::AudioKind;

void setXiphField(TagLib::Ogg::XiphComment& tag, const char* key, const QString& value)
{
    tag.addField(key, toTagLib(value), true);
}

QString numberText(double number) { return QString::number(TagLibSupport::uint32Value(number)); }

// The map's fields into a Xiph comment (FLAC, Ogg), the cover handed to
// `addPicture` (each format keeps its pictures in its own way).
bool writeXiphComment(TagLib::Ogg::XiphComment& tag, const QELTagMap& map,
                      const std::function<void(TagLib::FLAC::Picture*)>& addPicture,
                      const std::function<void()>& removePictures)
{
    QELTagLibWriter::writeCommonTags(tag, map);
    if (!map.AlbumArtist().isNull())
        setXiphField(tag, "ALBUMARTIST", map.AlbumArtist());
    if (!map.Composer().isNull())
        setXiphField(tag, "COMPOSER", map.Composer());
    if (!map.Grouping().isNull())
        setXiphField(tag, "GROUPING", map.Grouping());
    if (map.TrackTotal())
        setXiphField(tag, "TRACKTOTAL", numberText(*map.TrackTotal()));
    if (map.DiscNumber())
        setXiphField(tag, "DISCNUMBER", numberText(*map.DiscNumber()));
    if (map.DiscTotal())
        setXiphField(tag, "DISCTOTAL", numberText(*map.DiscTotal()));
    if (map.Compilation())
        setXiphField(tag, "COMPILATION",
                     *map.Compilation() ? QStringLiteral("1") : QStringLiteral("0"));
    if (map.ArtworkState() == QELTagMap::kArtworkRemove) {
        removePictures();
    } else if (!map.ArtworkPath().isEmpty()
               && (map.ArtworkState() == QELTagMap::kArtworkEmbed
                   || map.ArtworkState() == QELTagMap::kArtworkEmbedToo)) {
        const TagLib::ByteVector bytes = QELImageData::imageDataFromImageAtPath(map.ArtworkPath());
        if (!bytes.isEmpty()) {
            removePictures();
            auto* picture = new TagLib::FLAC::Picture;
            picture->setType(TagLib::FLAC::Picture::FrontCover);
            picture->setMimeType(
                toTagLib(QELTagLibMP3Writer::mimeTypeForImagePath(map.ArtworkPath())));
            picture->setData(bytes);
            addPicture(picture);
        }
    }
    return true;
}

} // namespace

void QELTagLibWriter::writeCommonTags(TagLib::Tag& tag, const QELTagMap& map)
{
    writeGenericTags(tag, map);
}

bool QELTagLibWriter::writeTagsToFileAtPath(const QString& path, const QELTagMap& map)
{
    // Each kind through its own tag; a kind this writer does not know is
    // never opened for writing (TagLib would take a WAV named .mp3 for MPEG
    // and put an ID3v2 block into its RIFF data).
    const AudioKind kind = TagLibSupport::audioKindOf(path);
    return TagLibSupport::guarded("Writing the tags of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        switch (kind) {
        case AudioKind::WAV: {
            TagLib::RIFF::WAV::File file(name.constData(), false);
            if (!file.isValid())
                return false;
            // The INFO list gets the common fields too, for players that read only it.
            writeGenericTags(*file.InfoTag(), map);
            if (!QELTagLibMP3Writer::writeID3v2Tag(*file.ID3v2Tag(), *file.ID3v2Tag(), map, false))
                return false;
            return file.save();
        }
        case AudioKind::AIFF: {
            TagLib::RIFF::AIFF::File file(name.constData(), false);
            if (!file.isValid() || !file.tag())
                return false;
            if (!QELTagLibMP3Writer::writeID3v2Tag(*file.tag(), *file.tag(), map, false))
                return false;
            return file.save();
        }
        case AudioKind::FLAC: {
            TagLib::FLAC::File file(name.constData(), false);
            if (!file.isValid())
                return false;
            writeXiphComment(
                *file.xiphComment(true), map,
                [&file](TagLib::FLAC::Picture* picture) { file.addPicture(picture); },
                [&file] { file.removePictures(); });
            return file.save();
        }
        case AudioKind::Ogg: {
            const TagLib::FileRef ref(name.constData(), false);
            auto* ogg = ref.isNull() ? nullptr : dynamic_cast<TagLib::Ogg::File*>(ref.file());
            auto* tag = ogg ? dynamic_cast<TagLib::Ogg::XiphComment*>(ogg->tag()) : nullptr;
            if (!tag)
                return false;
            writeXiphComment(
                *tag, map, [tag](TagLib::FLAC::Picture* picture) { tag->addPicture(picture); },
                [tag] { tag->removeAllPictures(); });
            return ogg->save();
        }
        case AudioKind::MP3:
        case AudioKind::MP4:
            // Their own writers handle them; reached only by a direct call.
            return writerFor(kind)->writeTagsToFileAtPath(path, map);
        case AudioKind::Unknown:
            break;
        }
        return false;
    });
}

std::unique_ptr<QELTagLibWriter> QELTagLibWriter::writerFor(TagLibSupport::AudioKind kind)
{
    switch (kind) {
    case AudioKind::MP3:
        return std::make_unique<QELTagLibMP3Writer>();
    case AudioKind::MP4:
        return std::make_unique<QELTagLibMP4Writer>();
    default:
        break;
    }
    return std::make_unique<QELTagLibWriter>();
}

bool QELTagLibWriter::addArtworkToFileAtPath(const QString&, const QString&) { return false; }

bool QELTagLibWriter::removeArtworkFromFileAtPath(const QString&) { return false; }
