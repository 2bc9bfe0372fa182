// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>

#include "ImageList.h"
#include "QELDeviceImageLibraryReader.h"

class QELBinaryFileHandle;

// Reads a binary image database of the device into the image store: the
// ArtworkDB of track artwork (iOS devices and disk-mode iPods) and, through
// QELDeviceImagePhotosBinaryReader, the older "Photo Database" of iPods with
// photos. Both are one tree of little-endian records (mhfd, mhsd, mhli, mhii,
// mhod, mhni, mhla, mhba, mhlf, mhif); the pictures lie in .ithmb files on
// the device, which the store records by device path and offset and which are
// decoded only when asked for.
//
// The file is untrusted: every length and count is checked against the
// record holding it before it is used, and a record's children must fill it
// exactly, so a damaged file fails the read with a reason instead of being
// read past, looped over or misread.
class QELDeviceImageArtworkDBReader : public QELDeviceImageLibraryReader {
public:
    // The reader of "<directoryContent>/<databaseFileName>", or none when its
    // store could not be set up.
    static std::unique_ptr<QELDeviceImageArtworkDBReader> create(
        const QString& directoryContent,
        const QString& databaseFileName = QStringLiteral("ArtworkDB"),
        const QString& storeName = QStringLiteral("artwork.db"));

    // Reads the database on the calling thread (never the GUI thread), then
    // sends the read-complete event with the result. False when the local
    // copy is missing or the file is damaged (failureReason() says where).
    bool readImageDatabase() override;
    // The tallest size of the first list with this photoID among the sizes
    // whose correlation id is a preferred artwork size; none when no list
    // has one.
    ImageDetailPtr getImageDetailForId(std::optional<qint64> id) const override;

    // Why the last read failed; empty after a read that succeeded.
    QString failureReason() const { return m_failureReason; }

    // The pixel format a correlation id stands for: 0 an image file of its
    // own, 1 raw RGB555, 2 raw RGB565; none for an id not known.
    static std::optional<qint64> imageFormatForCorrelationID(qint64 correlationID);
    // The correlation ids of artwork sizes, in the order the reader lists them.
    static const QList<qint64>& preferredCorrelationIDs();

protected:
    QELDeviceImageArtworkDBReader(const QString& directoryContent, const QString& databaseFileName,
                                  const QString& storeName);

private:
    struct Read;
    bool _readLibraryAtPath(const QString& path);
    bool _readImageListWithHandle(Read& read, quint64 end);
    bool _readImageAlbumsWithHandle(Read& read, quint64 end);
    bool _readImageFilesWithHandle(Read& read, quint64 end);
    bool readImage(Read& read, quint64 end, qint64 index, qint64 total);
    bool readPicture(Read& read, quint64 end, qint64 containerType, ImageList& list);
    bool readAlbum(Read& read, quint64 end, qint64 index, qint64 total, qint64 albumID);
    void saveStore() const;
    // The device path of a name as the database stores it (":" separated).
    QString devicePathForName(const QString& name) const;

    QString m_failureReason;
};
