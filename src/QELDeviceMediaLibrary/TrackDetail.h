// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

// One track, video, podcast episode, ringtone or voice memo of the media store.
// An attribute the device database did not give stays unset: a null text, an
// empty optional or an invalid date. A flag that was never set is neither YES
// nor NO, and no filter that asks for YES (or for a number) matches it.
struct TrackDetail {
    QString persistentID;   // decimal text of the device's signed 64-bit id (ringtones: a GUID)
    QString trackName;
    QString artist;
    QString album;
    QString album_artist;
    QString genre;
    QString composer;
    QString path;           // path on the device's media partition, as its database gives it

    std::optional<qint64> duration;   // milliseconds
    std::optional<qint64> fileSize;   // bytes
    std::optional<qint64> bitRate;
    std::optional<qint64> trackNumber;
    std::optional<qint64> trackCount;
    std::optional<qint64> discNumber;
    std::optional<qint64> discCount;
    std::optional<qint64> year;
    std::optional<qint64> seasonNumber;
    std::optional<qint64> playCount;
    std::optional<qint64> userRating;
    QDateTime dateCreated;            // UTC
    QDateTime datePlayed;             // UTC
    QString descriptionLong;
    QString descriptionShort;
    QString podcastShowURL;
    std::optional<qint64> mediaKind;  // 1 music, 2 movie, 8 audiobook, others as the device gives them
    std::optional<qint64> kindID;
    std::optional<qint64> songID;
    std::optional<qint64> artworkId;
    QString artworkPath;
    std::optional<qint64> trackProtection;

    std::optional<bool> hasVideo;
    std::optional<bool> isPodcast;
    std::optional<bool> isITunesU;
    std::optional<bool> isTVShow;
    std::optional<bool> isAudiobook;
    std::optional<bool> isHomeVideo;
    std::optional<bool> isICloudStreaming;
    std::optional<bool> isAppleMusic;
    std::optional<bool> isRingtone;
    std::optional<bool> isVoiceMemo;

    // The listing artist: the album artist when it is present and not empty,
    // otherwise the artist. Computed on each call from the two attributes, so
    // it never depends on which query ran first or on another thread.
    QString getArtistForListing() const;
    QString artistForList() const { return getArtistForListing(); }

    // True when title, artist and album are all empty (unset counts as empty).
    bool IsNil() const;

    // A text folded for search (TextMatch::fold), folded again only once the
    // text has changed.
    struct FoldedText {
        QString source;
        QString folded;
        bool made = false;
        const QString& of(const QString& text);
    };
    struct SearchFolds {
        FoldedText trackName;
        FoldedText album;
        FoldedText artist;
    };
    // The title, album and artist as the search compares them: each folded
    // once per read, not once per query. Filled by queries, which hold the
    // store's lock.
    const QString& foldedTrackName() const { return searchFolds.trackName.of(trackName); }
    const QString& foldedAlbum() const { return searchFolds.album.of(album); }
    const QString& foldedArtist() const { return searchFolds.artist.of(artist); }
    mutable SearchFolds searchFolds;
};

using TrackDetailPtr = std::shared_ptr<TrackDetail>;

// A flag counts as YES only when it was set to YES.
inline bool isYes(const std::optional<bool>& flag) { return flag.value_or(false); }
