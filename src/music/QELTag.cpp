// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTag.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <QFileInfo>

#include "QELTagLibMP3Reader.h"
#include "QELTagLibMP3Writer.h"
#include "TagFileEdit.h"
#include "TagLibSupport.h"
#include "TrackDetail.h"

using TagLibSupport::Decoding;

namespace {

// A frame's text; empty when it has none.
QString frameText(const TagLib::ID3v2::Tag& tag, const char* frameId)
{
    const TagLib::String value = QELTagLibMP3Reader::readMP3ValueForTag(tag, frameId);
    return value.isEmpty() ? QString() : TagLibSupport::fromTagLib(value, Decoding::WithFallback);
}

bool hasFrame(const TagLib::ID3v2::Tag& tag, const char* frameId)
{
    return !tag.frameList(TagLib::ByteVector(frameId, 4)).isEmpty();
}

// Runs `edit` on the ID3v2 tag of a copy of the MPEG file at `path` and puts
// the saved copy in place. Only a file that is MPEG by its bytes as well as
// its name is opened so: any other kind would get an ID3v2 block written into
// its own framing.
template <class Edit> bool editID3v2Tag(const char* what, const QString& path, Edit&& edit)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()
        || TagLibSupport::audioKindOf(path) != TagLibSupport::AudioKind::MP3)
        return false;
    return TagFileEdit::editInCopy(path, [&](const QString& copy) {
        return TagLibSupport::guarded(what, path, false, [&] {
            const QByteArray name = TagLibSupport::fileName(copy);
            {
                TagLib::MPEG::File file(name.constData(), false);
                if (!file.isValid() || !file.hasID3v2Tag()
                    || QELTagLibMP3Reader::hasTruncatedID3v2Tag(file))
                    return false;
                edit(*file.ID3v2Tag());
                if (!TagLibSupport::saveMPEGFile(file))
                    return false;
            }
            return TagLibSupport::writtenFileProblem(copy, TagLibSupport::AudioKind::MP3).isEmpty();
        });
    });
}

} // namespace

bool QELTag::writeAlbumArtistToFile(const TrackDetail& track, const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile() || !QELTagLib::canWriteTagsOfFileAtPath(path))
        return false;
    const QELTagMap existing = QELTagLib().loadTagsFromFileAtPath(path);
    const QString value = !track.album_artist.isEmpty() ? track.album_artist : track.artist;
    // A name already there stays; with no name to write the tag is left alone.
    if (!existing.AlbumArtist().isEmpty() || value.isEmpty())
        return true;
    // Each kind through its own tag: TPE2 of MP3, WAV and AIFF, the MP4
    // item list's album artist, ALBUMARTIST of FLAC and Ogg.
    QELTagMap map;
    map.setAlbumArtist(value);
    return QELTagLib().saveTagsToFileAtPath(path, map);
}

bool QELTag::handleFileForPodcastToITunesWithDetails(const QString& path, const TrackDetail& track)
{
    return editID3v2Tag("Marking as a podcast", path, [&](TagLib::ID3v2::Tag& tag) {
        const QString space = QStringLiteral(" ");
        if (!hasFrame(tag, "PCST"))
            QELTagLibMP3Writer::writeValueToTagWithHandle("PCST", tag, space);
        if (!hasFrame(tag, "WFED")) {
            const QString feed =
                !track.podcastShowURL.isEmpty() ? track.podcastShowURL : track.album;
            if (!feed.isEmpty())
                QELTagLibMP3Writer::writeValueToTagWithHandle("WFED", tag, feed);
        }
        if (!hasFrame(tag, "TDES")) {
            QString description = frameText(tag, "COMM");
            if (description.isEmpty()) {
                const TagLib::ID3v2::FrameList& lyrics = tag.frameList("USLT");
                if (!lyrics.isEmpty()) {
                    if (const auto* frame =
                            dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(
                                lyrics.front());
                        frame && !frame->text().isEmpty())
                        description =
                            TagLibSupport::fromTagLib(frame->text(), Decoding::WithFallback);
                }
            }
            if (!description.isEmpty()) {
                QELTagLibMP3Writer::writeValueToTagWithHandle("TDES", tag, description);
                QELTagLibMP3Writer::writeValueToTagWithHandle("TIT3", tag, description);
            } else {
                QELTagLibMP3Writer::writeValueToTagWithHandle("TDES", tag, space);
            }
        }
    });
}
