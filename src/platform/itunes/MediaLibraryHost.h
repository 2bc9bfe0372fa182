#pragma once

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

    // Adds a file that lies in the library's media folder to the library, and
    // to `playlist` when one is named; true when the library recorded it.
    // Adding a file the library holds already keeps its one entry.
    virtual bool add(const QString& filePath, const QString& playlist = QString()) = 0;

    // Whether the library holds a book (not a track of another kind) whose
    // name is exactly `name`. A host that cannot tell answers false.
    virtual bool holdsBookNamed(const QString& name) const
    {
        (void)name;
        return false;
    }
};
