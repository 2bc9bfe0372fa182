// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibReader.h"

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <QFileInfo>
#include <QImage>

#include "TagLibSupport.h"

using TagLibSupport::Decoding;

void QELTagLibReader::readGenericTags(const TagLib::Tag& tag, QELTagMap& map)
{
    const auto text = [](const TagLib::String& value) {
        return value.isEmpty() ? QString()
                               : TagLibSupport::fromTagLib(value, Decoding::WithFallback);
    };
    if (const QString album = text(tag.album()); !album.isNull())
        map.setAlbumName(album);
    if (const QString artist = text(tag.artist()); !artist.isNull())
        map.setArtistName(artist);
    if (const QString comment = text(tag.comment()); !comment.isNull())
        map.setComment(comment);
    if (const QString genre = text(tag.genre()); !genre.isNull())
        map.setGenre(genre);
    if (const unsigned year = tag.year(); year != 0)
        map.setReleaseYear(static_cast<quint32>(year));
    if (const QString title = text(tag.title()); !title.isNull())
        map.setTrackName(title);
    if (const unsigned track = tag.track(); track != 0)
        map.setTrackNumber(static_cast<quint32>(track));
}

void QELTagLibReader::readCover(TagLib::File& file, QELTagMap& map)
{
    QByteArray data;
    QString mimeType;
    auto fromPicture = [&](const TagLib::ByteVector& bytes, const TagLib::String& type) {
        data = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        mimeType = TagLibSupport::fromTagLib(type, Decoding::WithFallback);
    };
    auto fromFLACPictures = [&](const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
        if (!pictures.isEmpty())
            fromPicture(pictures.front()->data(), pictures.front()->mimeType());
    };
    TagLib::ID3v2::Tag* id3 = nullptr;
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
        id3 = wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr;
    else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        id3 = aiff->hasID3v2Tag() ? aiff->tag() : nullptr;
    else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file))
        fromFLACPictures(flac->pictureList());
    else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag()))
        fromFLACPictures(xiph->pictureList());
    if (id3) {
        const TagLib::ID3v2::FrameList& frames = id3->frameList("APIC");
        if (!frames.isEmpty()) {
            if (const auto* picture =
                    dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frames.front()))
                fromPicture(picture->picture(), picture->mimeType());
        }
    }
    const QImage cover = data.isEmpty() ? QImage() : QImage::fromData(data);
    map.setArtwork(cover);
    map.setArtworkData(cover.isNull() ? QByteArray() : data);
    map.setArtworkMimeType(cover.isNull() ? QString() : mimeType);
    map.setArtworkState(cover.isNull() ? QELTagMap::kArtworkNone : QELTagMap::kArtworkEmbedded);
    map.setArtworkAttempted(true);
}

bool QELTagLibReader::readTagsFromFileAtPath(const QString& path, QELTagMap& map)
{
    // TagLib opens some empty files (WAV) as valid ones without a tag of their own.
    if (QFileInfo(path).size() <= 0)
        return false;
    return TagLibSupport::guarded("Reading the tags of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::FileRef file(name.constData(), false);
        if (file.isNull() || !file.tag())
            return false;
        readGenericTags(*file.tag(), map);
        // The fields beyond the common ones, as each format's tag names them
        // (TPE2 of an ID3v2 chunk, ALBUMARTIST of a Xiph comment, ...).
        const TagLib::PropertyMap properties = file.file()->properties();
        auto first = [&properties](const char* key) {
            const auto found = properties.find(key);
            return found == properties.end() || found->second.isEmpty()
                ? QString()
                : TagLibSupport::fromTagLib(found->second.front(), Decoding::WithFallback);
        };
        if (const QString albumArtist = first("ALBUMARTIST"); !albumArtist.isEmpty())
            map.setAlbumArtist(albumArtist);
        if (const QString composer = first("COMPOSER"); !composer.isEmpty())
            map.setComposer(composer);
        readCover(*file.file(), map);
        return true;
    });
}
