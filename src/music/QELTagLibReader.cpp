// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibReader.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <QFileInfo>

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
        return true;
    });
}
