// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrackDetail.h"

#include "TextMatch.h"

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

const QString& TrackDetail::FoldedText::of(const QString& text)
{
    // The same shared text (implicit sharing: an edit detaches it) is known
    // without comparing it.
    if (made && source.constData() == text.constData() && source.size() == text.size()
        && source.isNull() == text.isNull())
        return folded;
    if (!made || source != text || source.isNull() != text.isNull()) {
        source = text;
        folded = TextMatch::fold(text);
        made = true;
    } else {
        source = text;
    }
    return folded;
}
