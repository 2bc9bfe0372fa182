// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QELMediaLibraryReader;

// Adds the voice memos of Recordings.db to a reader's store, as tracks of a
// "Voice Memos" playlist. Worker thread.
class QELMediaLibraryVoiceRecordingsReader {
public:
    // True when at least one voice memo was added. False, adding none, when
    // the rows end in an error (a damaged page): a partial read is no read.
    bool readRecordingsFromLocalPathIntoMediaLibrary(const QString& path,
                                                     QELMediaLibraryReader* reader);
};
