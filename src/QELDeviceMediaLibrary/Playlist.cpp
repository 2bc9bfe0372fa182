// SPDX-License-Identifier: GPL-3.0-or-later
#include "Playlist.h"

void Playlist::addTrack(const TrackDetailPtr& track)
{
    if (!track || m_members.contains(track.get()))
        return;
    m_members.insert(track.get());
    m_tracks.append(track);
}

void Playlist::addTracks(const QList<TrackDetailPtr>& tracks)
{
    for (const TrackDetailPtr& track : tracks)
        addTrack(track);
}

void Playlist::setTracks(const QList<TrackDetailPtr>& tracks)
{
    m_tracks.clear();
    m_members.clear();
    addTracks(tracks);
}
