// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

// The computer's photo library, as the photo transfer adds to it: files are
// imported into the library itself ("main") or into one of its albums.
// FolderPhotoLibraryHost keeps a folder of pictures; tests stand in a
// recording host. Blocking: worker threads (tools and tests call from their
// main thread).
class PhotoLibraryHost {
public:
    // What the library takes: a library that keeps every original (photos,
    // HEIC, videos as they are), or one that takes still pictures as JPEG
    // and only videos as they are.
    enum class Kind { KeepsOriginals, TakesJpegStills };

    // How one import went.
    struct ImportResult {
        // Files now in the library, in the order given.
        QStringList imported;
        // Files left out because the library holds the same file already.
        int duplicates = 0;
        // Files that could not be imported.
        int failed = 0;
    };

    virtual ~PhotoLibraryHost() = default;

    // Whether imports can be made at all.
    virtual bool available() const = 0;
    virtual Kind kind() const = 0;

    // Imports `files` (local paths) into the album named `album`, made when
    // missing, or into the library itself when `album` is none. The files at
    // `favouritePositions` (1-based, in the order of `files`) are marked as
    // favourites. The files themselves are left where they are.
    virtual ImportResult importFiles(const QStringList& files, const std::optional<QString>& album,
                                     const QList<int>& favouritePositions) = 0;

protected:
    PhotoLibraryHost() = default;
};
