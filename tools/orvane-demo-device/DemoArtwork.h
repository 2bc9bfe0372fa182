// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct MediaLibraryFixture;

namespace DemoDevice {

// Gives every album of the library one cover, as a device of the older
// artwork schema keeps it: an artwork_info row per album that its tracks
// point at, the small rendition packed into MediaLibrary-artwork.data and
// the full one as a JPEG under iTunes_Control/iTunes/Artwork/. `afcRoot`
// ends in "/". False, with the reason, when a file could not be written.
bool addArtwork(const QString& afcRoot, MediaLibraryFixture& library, QString* error);

} // namespace DemoDevice
