// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "Playlist.h"
#include "TrackDetail.h"

class QELDeviceImageLibraryReader;
class QELDeviceInterface;

// Where the artwork panel finds a picture. Every function here reads the
// device and blocks: the view calls them on a worker.
namespace MusicArtwork {

enum class Source {
    None,         // nothing found: the panel shows "noart"
    ICloudNotice, // a track only in iCloud: the notice, never a picture
    ArtworkPath,  // the track's own cover file
    FullImage,    // the whole file of the artwork reader's image record
    RawThumbnail, // the record's thumbnail pixels
    Purchased,    // the store purchase's artwork file
    Playlist,     // a playlist's picture
};

struct Result {
    Source source = Source::None;
    QImage image;
    // The fill behind the picture: its pixel at (20, 2); white for the
    // notice and for "noart"; invalid when the picture has no such pixel.
    QColor background;
};

// A device file's size: "st_size" over the file service, "NSFileSize" on a
// disk-mode iPod; 0 when the file is missing or tells none.
qint64 fileSize(const QELDeviceInterface& device, const QString& path);

// The picture of a track: the iCloud notice for an iCloud-only (not Apple
// Music) track; else the track's artworkPath file, the record's full image
// file, the record's raw thumbnail, the purchase's artwork file, in that
// order, the first that exists on the device and decodes. The record is the
// reader's image for the track's artworkId, else for its persistent id read
// as a 64-bit number.
Result forTrack(const TrackDetail& track, const QELDeviceInterface* device,
                const QELDeviceImageLibraryReader* artwork);

// A playlist's picture under "/iTunes_Control/iTunes/Artwork/Originals/";
// None when it has no picture or the file is missing or is no image.
Result forPlaylist(const Playlist& playlist, const QELDeviceInterface* device);

// The colour of the pixel at (20, 2); invalid for a smaller or null image.
QColor backgroundOf(const QImage& image);

} // namespace MusicArtwork
