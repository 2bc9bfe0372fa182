// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrackDetail.h"

QString TrackDetail::getArtistForListing() const
{
    if (!album_artist.isEmpty())
        return album_artist;
    return artist;
}

bool TrackDetail::IsNil() const
{
    return trackName.isEmpty() && artist.isEmpty() && album.isEmpty();
}
