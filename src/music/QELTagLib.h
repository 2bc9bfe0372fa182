// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "QELTagMap.h"

class AtomicFileBatch;
class QELTagLibReader;
class QELTagLibWriter;

// The entry point of all tag work: picks the reader and the writer of a file
// by its extension ("mp3": the MP3 pair; "mp4", "m4a", "m4p": the MP4 pair;
// anything else: the common pair) and runs them. Writes go to a copy that
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

    static std::unique_ptr<QELTagLibReader> readerForPath(const QString& path);
    static std::unique_ptr<QELTagLibWriter> writerForPath(const QString& path);
};
