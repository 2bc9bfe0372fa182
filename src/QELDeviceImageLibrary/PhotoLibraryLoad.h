// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "Album.h"

class QELDeviceImageLibraryEventProtocol;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;

// The photos view's load, without the window: which photo library the device
// has, its private copy, the reader that fits it and the album outline made
// from what it read. Blocking: the view's worker (tests and tools call it
// from their main thread).
namespace PhotoLibraryLoad {

// Makes the reader of the older binary photo database ("Photo Database"
// with its .ithmb files): the folder of the copy, the database's file name
// and the store name. Empty: QELDeviceImagePhotosBinaryReader (tests stand
// in readers of their own).
using BinaryReaderFactory = std::function<std::unique_ptr<QELDeviceImageLibraryReader>(
    const QString& folder, const QString& databaseFileName, const QString& storeName)>;

enum class Library { None, BinaryDatabase, PhotosSqlite };

// The library the device has: an iOS device that still has "/Photos/Photo
// Database" is read by the binary reader even when it also has
// "/PhotoData/Photos.sqlite"; a disk-mode iPod has only the binary one.
Library libraryOf(QELDeviceInterface* device);

struct Result {
    // None when the device has no library or it could not be copied or read.
    std::shared_ptr<QELDeviceImageLibraryReader> reader;
    // The outline's group keys in order ("library", "streams", "events",
    // "faces", "albums"), those with albums only ("library" always), and
    // their albums.
    QStringList headings;
    QHash<QString, QList<AlbumRecord>> children;
    // Whether the store holds images.
    bool hasImages = false;
    // The images of the albums that can hold the whole library (the library
    // itself, the camera roll, the photo stream), worked out here so that
    // showing them costs the window nothing. Listing these albums names no
    // album on their images, so the answers stay right for the reader's life.
    QHash<qint64, QList<ImageDetailPtr>> albumImages;
    // Why a library the device has could not be read (English, for the
    // log); empty when it was read or there is none.
    QString error;
};

// Copies the library's database (with its "-wal" and "-shm") into a scratch
// folder of the temporary folder, reads it with `delegate` receiving the
// progress, and builds the outline.
Result load(QELDeviceInterface* device, QELDeviceImageLibraryEventProtocol* delegate,
            const BinaryReaderFactory& binaryReader);

// The outline of a reader that has read.
void buildOutline(const QELDeviceImageLibraryReader& reader, Result& result);

// The library, the camera roll or the photo stream: albums whose listing
// sets no album name on their images.
bool isWholeLibraryAlbum(const QELDeviceImageLibraryReader& reader, const AlbumRecord& album);

} // namespace PhotoLibraryLoad
