#pragma once

#include <QString>

class MediaLibraryHost;

// Where the computer's music library lives, found through its host. Answers
// are looked up afresh at each call; empty means "not there".
class QELITunesInformation {
public:
    QELITunesInformation() = delete;

    // The library folder: the one the user chose, else "iTunes" in the music
    // folder, else ~/Music/iTunes; an "iTunes" folder inside it is preferred.
    // Empty when that folder does not exist.
    static QString iTunesLibraryBasePath(const MediaLibraryHost& host);

    // The library's XML file in that folder: the newer of "iTunes Library.xml"
    // and "iTunes Music Library.xml" (the latter when equally new), else the
    // one that exists; empty when neither does.
    static QString iTunesLibraryFilePath(const MediaLibraryHost& host);
};
