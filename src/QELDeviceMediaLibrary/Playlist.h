// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackDetail.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

// A playlist of the media store: a device playlist, a kind playlist (Music,
// Movies, …), the ringtone or voice-memo playlist, or one the user made here.
struct Playlist {
    QString name;
    QString sortName;
    QString containerPID;   // decimal text of the device's playlist id
    std::optional<qint64> distinguishedKind;
    std::optional<bool> isLibraryType;
    bool isMaster = false;  // unset reads as NO: the playlist list selects on both being NO
    bool isHidden = false;
    std::optional<bool> isUserDefined;
    std::optional<bool> isReportType;
    std::optional<bool> smartIsGenius;
    std::optional<bool> smartIsDynamic;
    std::optional<bool> smartIsMix;
    std::optional<bool> doesSmartRequireSorting;
    QByteArray playlistIcon;     // image data of the icon; empty when the image is not available
    QString playlistIconName;    // the icon resource's name ("cat_playlist", …)
    QString playlistImageRelativePath;

    // The playlist's tracks as a set: no repeats, kept in the order added.
    const QList<TrackDetailPtr>& tracks() const { return m_tracks; }
    void addTrack(const TrackDetailPtr& track);
    void addTracks(const QList<TrackDetailPtr>& tracks);
    void setTracks(const QList<TrackDetailPtr>& tracks);

private:
    QList<TrackDetailPtr> m_tracks;
    QSet<const TrackDetail*> m_members;
};

using PlaylistPtr = std::shared_ptr<Playlist>;
