// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTagMap.h"

#include <utility>

#include "TagLibSupport.h"

namespace {

std::optional<double> int32Copy(const std::optional<double>& number)
{
    if (!number)
        return std::nullopt;
    return TagLibSupport::int32Value(*number);
}

} // namespace

QELTagMap::QELTagMap(const QELTagMap& other)
    : m_artworkAttempted(other.m_artworkAttempted)
    , m_artworkState(other.m_artworkState)
    , m_albumArtist(other.m_albumArtist)
    , m_albumName(other.m_albumName)
    , m_artistName(other.m_artistName)
    // A deep copy: an image changed in place (bits()) must not show in the other map.
    , m_artwork(other.m_artwork.copy())
    , m_artworkData(other.m_artworkData)
    , m_artworkMimeType(other.m_artworkMimeType)
    , m_artworkPath(other.m_artworkPath)
    , m_comment(other.m_comment)
    , m_compilation(other.m_compilation)
    , m_composer(other.m_composer)
    , m_discNumber(int32Copy(other.m_discNumber))
    , m_discTotal(int32Copy(other.m_discTotal))
    , m_genre(other.m_genre)
    , m_grouping(other.m_grouping)
    , m_releaseMBID(other.m_releaseMBID)
    , m_releaseYear(int32Copy(other.m_releaseYear))
    , m_trackName(other.m_trackName)
    , m_trackNumber(int32Copy(other.m_trackNumber))
    , m_trackTotal(int32Copy(other.m_trackTotal))
{
}

QELTagMap& QELTagMap::operator=(const QELTagMap& other)
{
    if (this != &other) {
        QELTagMap copy(other);
        *this = std::move(copy);
    }
    return *this;
}
