// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <optional>

#include <QByteArray>
#include <QImage>
#include <QString>

class ImageDetail;
class QELDeviceImageLibraryReader;
class QELDeviceInterface;

// What the photo copy and the photo transfer write for one image: the
// original file of the device, byte for byte (EXIF kept, HEIC stays HEIC,
// every video kept), or, when the device has no original (the binary photo
// database, a file that is gone), a JPEG of the decoded picture. Blocking:
// worker threads (tools call from their main thread).
namespace PhotoOriginals {

enum class Take {
    // Every original as it is.
    Originals,
    // Videos as they are, still pictures as JPEG (a library that takes no
    // other still format).
    JpegStills,
};

// Where an image's file comes from.
struct Source {
    // The device file copied as it is; empty: a JPEG is made.
    QString devicePath;
    qint64 deviceSize = -1;
    // The extension of what is written, without the dot.
    QString extension;
};

// By the one video rule of the image store.
bool isVideo(const ImageDetail& detail);

// Asks the device whether the original is there.
Source sourceOf(const ImageDetail& detail, QELDeviceInterface* device, Take take);

// The name a copy gets, without extension: the whole file name the device
// stores, else the title; made safe by the caller's namer.
QString nameStem(const ImageDetail& detail);

// The picture as a JPEG of the highest quality; empty for a null image.
QByteArray jpegOf(const QImage& image);

// Writes the image's file into `path` (which must not exist): the original
// from the device, or a JPEG of the decoded picture. False, with the reason,
// when nothing could be written; a cancelled copy leaves no file.
bool writeTo(const ImageDetail& detail, const Source& source,
             const QELDeviceImageLibraryReader& reader, QELDeviceInterface* device,
             const QString& path, const std::atomic<bool>* cancel, QString* error);

} // namespace PhotoOriginals
