// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QString>

#include "QELDeviceImageLibraryReader.h"

// Reads the track artwork that an iOS device's MediaLibrary.sqlitedb lists
// (the older schema, with artwork_info) into the image store: one image list
// and one image per rendition, keyed by the track's persistent id. Small
// renditions lie packed in "/iTunes_Control/iTunes/MediaLibrary-artwork.data"
// at an offset, full ones are JPEG files under "/iTunes_Control/iTunes/Artwork/"
// named by the SHA-1 of their cache id.
//
// The newer schema keeps its artwork elsewhere (the media library's
// `artworkPath` of each track); for it nothing is stored.
class QELDeviceImageMediaLibraryArtworkDBReader : public QELDeviceImageLibraryReader {
public:
    // The reader of "<directoryContent>/<databaseFileName>" (the copy with
    // its "-wal"), or none when its store could not be set up.
    static std::unique_ptr<QELDeviceImageMediaLibraryArtworkDBReader> create(
        const QString& directoryContent,
        const QString& databaseFileName = QStringLiteral("MediaLibrary.sqlitedb"),
        const QString& storeName = QStringLiteral("artwork.db"));

    // Reads on the calling thread (never the GUI thread) and sends the
    // read-complete event. True when the older schema was found; false for
    // a missing or unopenable database and for the newer schema.
    bool readImageDatabase() override;

    // SHA-1 of the text's UTF-8 bytes in 40 upper-case hexadecimal digits.
    static QString _hashString(const QString& text);
    // The text without its first character when that is "0".
    static QString _removeLeadingZeroCharacterIn(const QString& text);
    // The device path of an artwork's full-size file.
    static QString artworkPathForCacheID(const QString& cacheID, qint64 formatID);

    // Whether the last read found the newer schema.
    bool foundNewerSchema() const { return m_newerSchema; }
    // Why the last read stored nothing; empty when it read the artwork.
    QString failureReason() const { return m_failureReason; }

private:
    QELDeviceImageMediaLibraryArtworkDBReader(const QString& directoryContent,
                                              const QString& databaseFileName,
                                              const QString& storeName);

    bool m_newerSchema = false;
    QString m_failureReason;
};
