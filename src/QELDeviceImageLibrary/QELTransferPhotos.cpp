// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferPhotos.h"

#include <typeinfo>

#include <QDir>
#include <QFileInfo>

#include "FolderPhotoLibraryHost.h"
#include "ImageDetail.h"
#include "Locations.h"
#include "Log.h"
#include "PhotoQueue.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELTransferPhotosDelegate.h"
#include "SafePath.h"

QELTransferPhotos::QELTransferPhotos(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferPhotos::~QELTransferPhotos()
{
    cancelCopy();
    stopWorkers();
}

std::shared_ptr<QELDeviceImageLibraryReader> QELTransferPhotos::imageLibraryReader() const
{
    std::lock_guard guard(m_mutex);
    return m_reader;
}

void QELTransferPhotos::setImageLibraryReader(std::shared_ptr<QELDeviceImageLibraryReader> reader)
{
    std::lock_guard guard(m_mutex);
    m_reader = std::move(reader);
}

std::shared_ptr<PhotoLibraryHost> QELTransferPhotos::photoLibraryHost()
{
    std::lock_guard guard(m_mutex);
    if (!m_host)
        m_host = std::make_shared<FolderPhotoLibraryHost>();
    return m_host;
}

void QELTransferPhotos::setPhotoLibraryHost(std::shared_ptr<PhotoLibraryHost> host)
{
    std::lock_guard guard(m_mutex);
    m_host = std::move(host);
}

void QELTransferPhotos::addToAlbumMap(AlbumMap& map, const QELPhotoTransferDetail& detail)
{
    std::optional<QString> album;
    if (!detail.album.isEmpty())
        album = detail.album;
    for (auto& [key, list] : map) {
        if (key == album) {
            list.append(detail);
            return;
        }
    }
    map.append({album, {detail}});
}

void QELTransferPhotos::startCopy()
{
    QELCopy::startCopy();
    std::shared_ptr<QELDeviceImageLibraryReader> reader = imageLibraryReader();
    std::shared_ptr<PhotoLibraryHost> host = photoLibraryHost();
    // Read here, on the caller's thread: the worker never calls into a
    // subclass that may be going away.
    const PhotoOriginals::Take taken = take();
    const std::type_index sender = typeid(*this);
    _startWorker(
        [this, reader, host, taken, sender] { _transferPhotos(reader, host, taken, sender); });
}

void QELTransferPhotos::_transferPhotos(std::shared_ptr<QELDeviceImageLibraryReader> reader,
                                        std::shared_ptr<PhotoLibraryHost> host,
                                        PhotoOriginals::Take take, std::type_index senderClass)
{
    QELDeviceInterface* device = _deviceInterface;
    const bool usable = reader && host && host->available();
    // Every copy has a folder of its own, so two images of one name never
    // share a path, and the import still sees the image's own file name.
    const QString scratch =
        usable ? Locations::makeScratchFolder(QStringLiteral("transfer")) : QString();
    AlbumMap albums;
    int copyNumber = 0;
    while (const std::optional<QVariant> next = _getNextItemFromQueue()) {
        const ImageDetailPtr detail = PhotoQueue::imageOf(*next);
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(detail ? detail->title : QString());
        args.setSenderClass(senderClass);
        _callOnItemCopyBeginEventWith(args);
        if (!detail || scratch.isEmpty()) {
            _itemCouldNotBeCopied();
            continue;
        }
        const PhotoOriginals::Source source = PhotoOriginals::sourceOf(*detail, device, take);
        const QString folder = QDir(scratch).filePath(QString::number(++copyNumber));
        const QString name = SafePath::fileName(
            PhotoOriginals::nameStem(*detail)
                + (source.extension.isEmpty() ? QString() : QLatin1Char('.') + source.extension),
            QStringLiteral("Photo.") + source.extension);
        QString error;
        const QString path = folder + QLatin1Char('/') + name;
        if (name.isEmpty() || !QDir().mkpath(folder)
            || !PhotoOriginals::writeTo(*detail, source, *reader, device, path, _cancelFlag(),
                                        &error)) {
            if (!_isCancelled()) {
                qCWarning(lcOrvane).noquote() << "Photo" << detail->imageID.value_or(-1)
                                              << "could not be made ready to import:" << error;
                _itemCouldNotBeCopied();
            }
            continue;
        }
        addToAlbumMap(albums, {path, detail, PhotoQueue::albumOf(*next)});
    }
    if (QELTransferPhotosDelegate* d = photoTransferDelegate())
        d->OnImportingToIPhotosStarted();
    for (const auto& [album, copies] : albums) {
        if (_isCancelled())
            break;
        QStringList files;
        QList<int> favourites;
        for (const QELPhotoTransferDetail& copy : copies) {
            files.append(copy.temporaryPath);
            if (ImageDetail::isYes(copy.imageDetail->isFavorite))
                favourites.append(int(files.size()));
        }
        const PhotoLibraryHost::ImportResult result = host->importFiles(files, album, favourites);
        for (int i = 0; i < result.failed; ++i)
            _itemCouldNotBeCopied();
        // The import has taken its copies when it returns: nothing waits
        // for the temporary files any longer.
        for (const QELPhotoTransferDetail& copy : copies)
            QDir(QFileInfo(copy.temporaryPath).path()).removeRecursively();
    }
    // What a cancel left behind goes with the run's folder.
    if (!scratch.isEmpty())
        QDir(scratch).removeRecursively();
    if (!usable)
        qCWarning(lcOrvane) << "no photo library to transfer into";
    _callAllItemsCopiedDelegate();
}
