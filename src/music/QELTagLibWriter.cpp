// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagLibWriter.h"

#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <QFileInfo>

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

bool QELTagLibWriter::writeTagsToFileAtPath(const QString& path, const QELTagMap& map)
{
    // TagLib opens some empty files (WAV) as valid ones without a tag of their own.
    if (QFileInfo(path).size() <= 0)
        return false;
    return TagLibSupport::guarded("Writing the tags of", path, false, [&] {
        const QByteArray name = TagLibSupport::fileName(path);
        TagLib::FileRef file(name.constData(), false);
        if (file.isNull() || !file.tag())
            return false;
        writeGenericTags(*file.tag(), map);
        if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file()))
            return TagLibSupport::saveMPEGFile(*mpeg);
        return file.save();
    });
}

bool QELTagLibWriter::addArtworkToFileAtPath(const QString&, const QString&) { return false; }

bool QELTagLibWriter::removeArtworkFromFileAtPath(const QString&) { return false; }
