// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "QELTagMap.h"

class AtomicFileBatch;
class QELTagLibReader;
class QELTagLibWriter;

// The entry point of all tag work: picks the reader and the writer of a file
// by its kind (its extension, confirmed by its first bytes: MP3 and MP4 have
// their own pair, WAV, AIFF, FLAC and Ogg the common pair, anything else is
// read by the common reader and never written) and runs them. Writes go to a copy that
// replaces the file only when the write succeeded, so a failed write leaves
// the file as it was. Holds nothing. Blocking; worker threads.
class QELTagLib {
public:
    QELTagLib() = default;
    virtual ~QELTagLib() = default;

    // The tags as the chosen reader gives them; an empty map when the path is
    // empty or the file cannot be read.
    QELTagMap loadTagsFromFileAtPath(const QString& path) const;
    // The chosen writer's result. With a batch, the retagged file is placed
    // as part of the caller's run (synced at its commit).
    bool saveTagsToFileAtPath(const QString& path, const QELTagMap& map,
                              AtomicFileBatch* batch = nullptr) const;
    bool addArtwokImageToFileAtPath(const QString& path, const QString& imagePath) const;
    bool removeArtworkImageFromFileAtPath(const QString& path) const;

    // Whether the file is one TagLib can open with a tag (an empty tag counts),
    // not empty and not damaged past its end.
    static bool canOpenFileAtPath(const QString& path);

    // Whether the file is of a kind whose tags are written (MP3, MP4, WAV,
    // AIFF, FLAC, Ogg, its content agreeing with its name); any other file
    // is copied as it is.
    static bool canWriteTagsOfFileAtPath(const QString& path);
    // Writes the map into the file in place through its kind's writer and
    // reads it back; false when either failed (the file may then be damaged:
    // callers hand it a copy).
    static bool writeTagsAndReadBack(const QString& path, const QELTagMap& map);

    static std::unique_ptr<QELTagLibReader> readerForPath(const QString& path);
    static std::unique_ptr<QELTagLibWriter> writerForPath(const QString& path);
};
