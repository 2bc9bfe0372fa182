#pragma once

#include <functional>
#include <memory>

#include "MediaLibraryHost.h"

// The music library host as the user's music folder, the folder the
// desktop's music players index: tracks lie in it as "<artist>/<album>/",
// each user playlist is an .m3u8 file in its "Playlists" folder, and the
// program's own index, "Orvane Library.xml" (an XML property list: "Tracks"
// keyed by Track ID, "Playlists" with the library playlist, the podcasts
// playlist and the user playlists in order), lies beside them. The folder is
// the one the user chose (the setting "MusicLibraryFolder"), else the XDG
// music folder.
//
// A library kept by earlier versions in "iTunes Library.xml" (in the folder
// of the last of "iTunesRecentDatabases", else "iTunesLibraryLocation", else
// "iTunes" in the music folder) is read when there is no index yet, so every
// track it listed stays listed; that file itself is never written.
//
// The library file is read once and then kept in memory; flush() (and add())
// write it whole under a temporary name that replaces the old file only once
// complete, so the file always lists every file added. A library file that
// another writer changed meanwhile is read again first; one that is no
// library (not a property list) is never overwritten: the host then has no
// library source. Every call is thread-safe.
class FolderMediaLibraryHost : public MediaLibraryHost {
public:
    static constexpr const char* kRecentDatabasesKey = "iTunesRecentDatabases";
    static constexpr const char* kLibraryLocationKey = "iTunesLibraryLocation";
    static constexpr const char* kMusicFolderKey = "MusicLibraryFolder";
    static constexpr const char* kIndexFileName = "Orvane Library.xml";
    static constexpr const char* kPlaylistsFolderName = "Playlists";

    // What the folder host cannot do at its layer: covers go into the track's
    // file through the tag library, and the library is shown through the
    // desktop. The application passes these; a host without them keeps no
    // covers and shows nothing.
    struct Services {
        std::function<bool(const QString& file, const QByteArray& image)> embedArtwork;
        std::function<bool(const QString& file)> fileHasArtwork;
        std::function<bool(const QString& folder)> openFolder;
    };

    // `musicFolder` replaces the user's music folder (tests and the demo pass a
    // temporary folder); empty means the chosen one, else the XDG one.
    explicit FolderMediaLibraryHost(const QString& musicFolder = {}, Services services = {});
    ~FolderMediaLibraryHost() override;

    bool isRunning() const override;
    bool quit() override;
    QStringList recentDatabases() const override;
    QString libraryLocation() const override;
    QString musicFolder() const override;
    QString mediaFolder() const override;
    // The index when there is one, else an earlier version's library file
    // when that is there, else where the index will be.
    QString indexFile() const override;
    // Records the file in the index and writes it.
    bool add(const QString& filePath, const QString& playlist = QString()) override;
    // A track of the index is a book when its kind says so or its file is an
    // ePub, a PDF or an iBooks file.
    bool holdsBookNamed(const QString& name) const override;
    // The music folder, which is the library.
    QString libraryFolder() const;
    // Where the index is written.
    QString libraryFile() const;
    // An earlier version's "iTunes Library.xml", read when there is no index.
    QString oldLibraryFile() const;
    QString playlistsFolder() const;

    bool prepareLibrary() override;
    bool hasLibrarySource() override;
    std::optional<PlaylistId> libraryPlaylist() override;
    std::optional<PlaylistId> podcastsPlaylist() override;
    std::optional<PlaylistId> userPlaylistNamed(const QString& name) override;
    std::optional<PlaylistId> createUserPlaylist(const QString& name) override;
    bool isSmart(PlaylistId playlist) override;
    QList<Track> tracks(PlaylistId playlist) override;
    bool duplicate(TrackId track, PlaylistId playlist) override;
    std::optional<TrackId> addFile(const QString& path,
                                   std::optional<PlaylistId> playlist) override;
    bool setProperties(TrackId track, const TrackProperties& properties) override;
    bool hasArtwork(TrackId track) override;
    bool setArtwork(TrackId track, const QByteArray& image) override;
    bool reveal(PlaylistId playlist) override;
    bool flush() override;

    // How long the last write of the library file took, in milliseconds.
    double lastWriteMilliseconds() const;

private:
    struct Library;
    // With the process-wide lock held: the library of the current folder, read
    // when needed; null when there is a file that is no library.
    Library* library(bool create);
    bool write(Library& library);
    void writePlaylistFiles(const Library& library, const QList<qint64>& changed);

    QString m_musicFolder;
    Services m_services;
    std::unique_ptr<Library> m_library;
};
