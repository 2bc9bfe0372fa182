#pragma once

#include "MediaLibraryHost.h"

// The music library host as a folder in the host's own layout: by default
// "iTunes" in the user's music folder, holding "iTunes Media" and
// "iTunes Library.xml". Its two settings ("iTunesRecentDatabases",
// "iTunesLibraryLocation") are read from the program's settings at each call.
class FolderMediaLibraryHost : public MediaLibraryHost {
public:
    static constexpr const char* kRecentDatabasesKey = "iTunesRecentDatabases";
    static constexpr const char* kLibraryLocationKey = "iTunesLibraryLocation";

    // `musicFolder` replaces the user's music folder (tests and the demo pass a
    // temporary folder); empty means the user's own.
    explicit FolderMediaLibraryHost(const QString& musicFolder = {});

    bool isRunning() const override;
    bool quit() override;
    QStringList recentDatabases() const override;
    QString libraryLocation() const override;
    QString musicFolder() const override;
    // Records the file in "iTunes Library.xml" of the library folder: the
    // folder of the last recent database, else the chosen location, else
    // "iTunes" in the music folder.
    bool add(const QString& filePath, const QString& playlist = QString()) override;
    // A track of "iTunes Library.xml" is a book when its kind says so or its
    // file is an ePub, a PDF or an iBooks file.
    bool holdsBookNamed(const QString& name) const override;
    QString libraryFolder() const;

private:
    QString m_musicFolder;
};
