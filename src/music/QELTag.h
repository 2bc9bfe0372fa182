// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELTagLib.h"

struct TrackDetail;

// Edits the ID3v2 tag of a file about to be added to the computer's music
// library: the album artist, and the frames that mark a podcast episode.
// Never instantiated. Like every tag write, an edit goes to a copy that
// replaces the file only once saved. Blocking; worker threads.
class QELTag : public QELTagLib {
public:
    QELTag() = delete;

    // Writes TPE2 (the track's album artist, else its artist) when the tag
    // has no TPE2 text. True when the file was saved or needed no change;
    // false when it is missing, has no ID3v2 tag, or could not be saved.
    static bool writeAlbumArtistToFile(const TrackDetail& track, const QString& path);
    // Writes the frames the tag lacks: PCST " ", WFED (the show's address,
    // else the album), TDES (the first comment, else the first lyrics, else
    // " ") and TIT3 (that description, when one was found). True when the
    // file was saved; false when it is missing, has no ID3v2 tag, or could
    // not be saved.
    static bool handleFileForPodcastToITunesWithDetails(const QString& path,
                                                        const TrackDetail& track);
};
