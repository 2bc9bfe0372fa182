// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include <QImage>
#include <QList>
#include <QString>

#include "Album.h"
#include "ImageDetail.h"
#include "QELDeviceImageLibraryEventProtocol.h"
#include "QELDeviceImageReaderProtocol.h"

class QELDeviceInterface;
class QELImageStore;

// The abstract reader of a device's image library copied into a local
// folder, and the owner of the image store it fills. The base answers every
// query the program makes of the store: album lists, an album's images, the
// image of an artwork id, and an image's thumbnail and full picture, read
// from the device on demand.
//
// A concrete reader fills the store in readImageDatabase() on one thread;
// afterwards the queries run from any thread (views, thumbnail loaders, copy
// jobs) without a lock.
class QELDeviceImageLibraryReader : public QELDeviceImageReaderProtocol {
public:
    // `directoryContent`: the folder holding the copied database
    // `databaseFileName`; `storeName`: the store file in the program's
    // temporary folder, emptied first. When the store cannot be set up,
    // store() is none and a concrete reader's factory makes no reader.
    QELDeviceImageLibraryReader(const QString& directoryContent, const QString& databaseFileName,
                                const QString& storeName);
    ~QELDeviceImageLibraryReader() override;
    QELDeviceImageLibraryReader(const QELDeviceImageLibraryReader&) = delete;
    QELDeviceImageLibraryReader& operator=(const QELDeviceImageLibraryReader&) = delete;

    // Not owned; receives the progress and read-complete events.
    void setDelegate(QELDeviceImageLibraryEventProtocol* delegate) { m_delegate.store(delegate); }
    QELDeviceImageLibraryEventProtocol* delegate() const { return m_delegate.load(); }

    // Not owned; the connection through which image bytes are read.
    void setDeviceInterface(QELDeviceInterface* device) { m_deviceInterface.store(device); }
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface.load(); }

    // The device folder of the database's thumbnail files (binary databases).
    virtual void setLibraryDirectoryOnDevice(const QString& folder);
    QString libraryDirectoryOnDevice() const;

    // Reads the database on the calling thread.
    bool readImageDatabase() override = 0;
    // Forgets the local folder; the store stays usable.
    virtual void close();

    QString directoryContent() const;
    QString databaseFileName() const { return m_databaseFileName; }
    QString storeName() const { return m_storeName; }
    // None when the store could not be set up.
    std::shared_ptr<QELImageStore> store() const { return m_store; }

    // --- Queries; any thread once the read has ended. ---

    // The tallest image of the first list with this photoID that has images.
    ImageDetailPtr getImageDetailForId(std::optional<qint64> id) const override;
    // The albums of a kind, by title.
    QList<AlbumRecord> _getAlbumsOfKind(qint64 kind) const;
    QList<AlbumRecord> getAlbumNames() const;
    // The library album, then camera, videos, favourites, iCloud, panoramas,
    // selfies, screenshots, recently deleted and recently added.
    QList<AlbumRecord> getPhotoLibrary() const;
    QList<AlbumRecord> getFacesNames() const;
    QList<AlbumRecord> getEventNames() const;
    // The photo stream when it holds an image, then the shared streams.
    QList<AlbumRecord> getStreamNames() const;
    QList<ImageDetailPtr> _getAllAssets() const;
    // The images of an album (none: the album without id, the iCloud album),
    // newest first, without those in Recently Deleted unless that album is
    // asked for; the library album answers every image, oldest first.
    QList<ImageDetailPtr> getAssetsForAlbumWithId(std::optional<qint64> albumId) const;
    qint64 getAlbumKindFromTitle(const QString& title) const;
    bool isLibraryEmpty() const;

    // Turned by `degrees`, counter-clockwise for positive values.
    static QImage _rotateImage(const QImage& image, float degrees);
    // The raw thumbnail (white bars for a non-square original), else the
    // thumbnail embedded in the photo's file, else the full picture scaled
    // to 100 x 100; a null image when none could be read. Blocking.
    QImage getThumbnailImageFromDetail(const ImageDetail* detail) const;
    // The first stored size of the image whose bytes decode. Blocking.
    QImage getFullImageFromDetail(const ImageDetail* detail) const;

    // Whole files above this size are not read into memory for a picture.
    static constexpr qint64 kMaxFullImageBytes = qint64(256) << 20;

    qint64 cameraAlbumId() const { return m_cameraAlbumId; }
    qint64 photoStreamAlbumId() const { return m_photoStreamAlbumId; }
    qint64 trashedAlbumId() const { return m_trashedAlbumId; }
    qint64 recentAlbumId() const { return m_recentAlbumId; }
    // The album of the device's hidden photos; -1 when there is none.
    qint64 hiddenAlbumId() const { return m_hiddenAlbumId; }
    static constexpr qint64 kLibraryAlbumId = 1009;
    static constexpr qint64 kHiddenAlbumId = 1008;
    static constexpr qint64 kHiddenAlbumKind = 508;

protected:
    // Set by the album stage of a read.
    qint64 m_cameraAlbumId = -1;
    qint64 m_photoStreamAlbumId = -1;
    qint64 m_trashedAlbumId = -1;
    qint64 m_recentAlbumId = 0;
    qint64 m_hiddenAlbumId = -1;

    void sendProgress(const QString& text, std::optional<qint64> counter,
                      std::optional<qint64> total) const;

private:
    QImage rawThumbnail(const ImageDetail& detail) const;
    QImage embeddedThumbnail(const ImageDetail& detail) const;

    mutable std::mutex m_pathMutex;
    QString m_directoryContent;
    QString m_libraryDirectoryOnDevice;
    QString m_databaseFileName;
    QString m_storeName;
    std::shared_ptr<QELImageStore> m_store;
    std::atomic<QELDeviceImageLibraryEventProtocol*> m_delegate{nullptr};
    std::atomic<QELDeviceInterface*> m_deviceInterface{nullptr};
};
