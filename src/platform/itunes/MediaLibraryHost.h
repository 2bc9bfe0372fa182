#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The computer's music library host: where its library lives and whether its
// application runs. The folder host (FolderMediaLibraryHost) keeps the library
// as folders and files; it never runs as an application of its own, but the
// start-up and shutdown paths still ask, so tests can stand in a host that does.
// Every call may come from any thread.
class MediaLibraryHost {
public:
    virtual ~MediaLibraryHost() = default;

    // Whether the host's application is running.
    virtual bool isRunning() const = 0;
    // Asks the running application to quit; true when the request was accepted.
    virtual bool quit() = 0;

    // The URL strings of the library files the host used last, oldest first
    // (the setting "iTunesRecentDatabases"); empty when none are known.
    virtual QStringList recentDatabases() const = 0;
    // The library folder the user chose (the setting "iTunesLibraryLocation"),
    // as a path or a file URL; empty when none was chosen.
    virtual QString libraryLocation() const = 0;
    // The user's music folder; empty when the platform names none.
    virtual QString musicFolder() const = 0;
    // The folder transferred tracks go into; empty leaves it to the caller.
    virtual QString mediaFolder() const { return {}; }
    // The file that lists what the library holds (an XML property list with
    // "Tracks" keyed by Track ID); empty when the host keeps none of its own.
    virtual QString indexFile() const { return {}; }

    // Adds a file that lies in the library's media folder to the library, and
    // to `playlist` when one is named; true when the library recorded it.
    // Adding a file the library holds already keeps its one entry.
    virtual bool add(const QString& filePath, const QString& playlist = QString()) = 0;

    // --- What the transfer of tracks asks of the library. A host that keeps
    // no library answers none of it (no source, no playlists, nothing added),
    // and the music view then offers no transfer. ---

    using PlaylistId = qint64;
    using TrackId = qint64;
    // A track of a playlist as the transfer compares it.
    struct Track {
        TrackId id = 0;
        bool isFileTrack = false; // a file of the library, not a remote one
        QString name;
        QString artist;
        QString album;
        qint64 trackNumber = 0;
    };
    enum class VideoKind { None, Movie, TVShow, MusicVideo };
    // The properties a transfer sets; an absent one is left as it is.
    struct TrackProperties {
        std::optional<QString> name;
        std::optional<QString> artist;
        std::optional<QString> albumArtist;
        std::optional<QString> show;
        std::optional<QString> album;
        std::optional<QString> genre;
        std::optional<qint64> discCount;
        std::optional<qint64> discNumber;
        std::optional<qint64> trackCount;
        std::optional<qint64> trackNumber;
        std::optional<qint64> episodeNumber;
        std::optional<qint64> seasonNumber;
        std::optional<QString> longDescription;
        std::optional<QString> objectDescription;
        std::optional<VideoKind> videoKind;
        std::optional<qint64> playedCount;
        std::optional<qint64> rating;
        std::optional<QDateTime> playedDate;
    };

    // Makes the library (its folders and an empty library file) when there is
    // none yet; true when a library is there.
    virtual bool prepareLibrary() { return false; }
    // Whether the host has a library to transfer into.
    virtual bool hasLibrarySource() { return false; }
    // The playlist of every track of the library.
    virtual std::optional<PlaylistId> libraryPlaylist() { return std::nullopt; }
    virtual std::optional<PlaylistId> podcastsPlaylist() { return std::nullopt; }
    // The first user playlist of exactly that name.
    virtual std::optional<PlaylistId> userPlaylistNamed(const QString&) { return std::nullopt; }
    // A new user playlist, first of the user playlists.
    virtual std::optional<PlaylistId> createUserPlaylist(const QString&) { return std::nullopt; }
    virtual bool isSmart(PlaylistId) { return false; }
    virtual QList<Track> tracks(PlaylistId) { return {}; }
    // Puts a library track into a playlist as well.
    virtual bool duplicate(TrackId, PlaylistId) { return false; }
    // Adds a file to the library, and to the playlist when one is given.
    virtual std::optional<TrackId> addFile(const QString&, std::optional<PlaylistId>)
    {
        return std::nullopt;
    }
    virtual bool setProperties(TrackId, const TrackProperties&) { return false; }
    virtual bool hasArtwork(TrackId) { return false; }
    // Makes the image (the bytes of an image file) the track's cover.
    virtual bool setArtwork(TrackId, const QByteArray&) { return false; }
    // Shows the playlist to the user.
    virtual bool reveal(PlaylistId) { return false; }
    // Writes what the calls above changed; true when the library holds it.
    virtual bool flush() { return true; }

    // Whether the library holds a book (not a track of another kind) whose
    // name is exactly `name`. A host that cannot tell answers false.
    virtual bool holdsBookNamed(const QString& name) const
    {
        (void)name;
        return false;
    }
};
