// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <typeindex>

#include <QList>
#include <QPair>

#include "PhotoOriginals.h"
#include "QELCopy.h"
#include "QELPhotoTransferDetail.h"
#include "QELTransferPhotosProtocol.h"

class PhotoLibraryHost;

// Adds photos and videos (ImageDetail items, PhotoQueue) to the computer's
// photo library in three steps on one worker: a temporary copy of each in a
// scratch folder of its own, under a name no other item shares; for each
// album through which the images were listed (none: the library itself) one
// import into the library host, then a pause of 2 s and the removal of that
// album's copies. This job is for a library that takes still pictures as
// JPEG (videos go as they are); QELTransferPhotosPhotos keeps originals.
// Copies that could not be made and files the library refused are counted
// for the end event.
class QELTransferPhotos : public QELCopy,
                          public QELTransferPhotosProtocol {
    Q_OBJECT
public:
    explicit QELTransferPhotos(QObject* parent = nullptr);
    ~QELTransferPhotos() override;

    void setDeviceInteface(QELDeviceInterface* deviceInterface) override
    {
        QELCopy::setDeviceInteface(deviceInterface);
    }
    void setDelegate(QELCopyDelegate* delegate) override { QELCopy::setDelegate(delegate); }
    void setItemQueue(const QVariantList& items) override { QELCopy::setItemQueue(items); }
    void cancelCopy() override { QELCopy::cancelCopy(); }
    void startCopy() override;

    // Not owned; the view outlives the job.
    QELTransferPhotosDelegate* photoTransferDelegate() const { return m_photoDelegate.load(); }
    void setPhotoTransferDelegate(QELTransferPhotosDelegate* delegate) override
    {
        m_photoDelegate.store(delegate);
    }

    std::shared_ptr<QELDeviceImageLibraryReader> imageLibraryReader() const;
    void setImageLibraryReader(std::shared_ptr<QELDeviceImageLibraryReader> reader) override;

    // The library the files go into; the folder library of the user's
    // pictures folder when none is set.
    std::shared_ptr<PhotoLibraryHost> photoLibraryHost();
    void setPhotoLibraryHost(std::shared_ptr<PhotoLibraryHost> host);

    // The album map of a run: album (none: the library itself) to its
    // copies, albums in the order they first came.
    using AlbumMap = QList<QPair<std::optional<QString>, QList<QELPhotoTransferDetail>>>;
    static void addToAlbumMap(AlbumMap& map, const QELPhotoTransferDetail& detail);

protected:
    // What this job takes of each image.
    virtual PhotoOriginals::Take take() const { return PhotoOriginals::Take::JpegStills; }

private:
    void _transferPhotos(std::shared_ptr<QELDeviceImageLibraryReader> reader,
                         std::shared_ptr<PhotoLibraryHost> host, PhotoOriginals::Take take,
                         std::type_index senderClass);

    std::atomic<QELTransferPhotosDelegate*> m_photoDelegate{nullptr};
    mutable std::mutex m_mutex; // guards the members below
    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
    std::shared_ptr<PhotoLibraryHost> m_host;
};
