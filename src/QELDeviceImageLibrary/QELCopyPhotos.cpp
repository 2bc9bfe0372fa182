// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyPhotos.h"

#include <typeinfo>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AtomicFile.h"
#include "ImageDetail.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "PhotoOriginals.h"
#include "PhotoQueue.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceImageLibraryReader.h"

namespace {

// Starts writing a complete copy to disk without waiting for it, so that
// the sync of the whole run at its end finds most of the data written and
// the disk works while the next file is read.
void startWriteBack(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
}

} // namespace

QELCopyPhotos::QELCopyPhotos(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyPhotos::~QELCopyPhotos()
{
    // The workers use the reader and this job's run: they are joined here,
    // before those go.
    cancelCopy();
    stopWorkers();
}

std::shared_ptr<QELDeviceImageLibraryReader> QELCopyPhotos::imageLibraryReader() const
{
    std::lock_guard guard(m_mutex);
    return m_reader;
}

void QELCopyPhotos::setImageLibraryReader(std::shared_ptr<QELDeviceImageLibraryReader> reader)
{
    std::lock_guard guard(m_mutex);
    m_reader = std::move(reader);
}

void QELCopyPhotos::startCopy()
{
    QELCopy::startCopy();
    std::shared_ptr<QELDeviceImageLibraryReader> reader = imageLibraryReader();
    const QString base = baseCopyPath();
    if (!reader || itemQueue().isEmpty() || base.isEmpty()) {
        _callAllItemsCopiedDelegate();
        return;
    }
    _startWorker([this, reader, base] { _copyPhotos(reader, base); });
}

QString QELCopyPhotos::itemDescription(const ImageDetail& detail)
{
    return itemDescription(detail, detail.singleInstanceAlbumName());
}

QString QELCopyPhotos::itemDescription(const ImageDetail& detail, const QString& album)
{
    if (album.isEmpty())
        return detail.title;
    return detail.title + L("FROMALBUM").arg(album);
}

QELCopyPhotos::Run::Run(QString baseFolder)
    : m_base(QDir::cleanPath(baseFolder))
{
}

QString QELCopyPhotos::Run::folderFor(const QString& albumName)
{
    if (albumName.isEmpty())
        return m_base;
    const QString name = SafePath::fileName(albumName, QStringLiteral("Album"));
    const QString folder = m_base + QLatin1Char('/') + name;
    if (name.isEmpty() || !QDir().mkpath(folder) || !SafePath::isInside(m_base, folder))
        return {};
    return folder;
}

SafePath::UniqueNamer& QELCopyPhotos::Run::namerFor(const QString& folder)
{
    auto found = m_namers.find(folder);
    if (found == m_namers.end())
        found =
            m_namers
                .emplace(folder, SafePath::UniqueNamer(folder, SafePath::Numbering::Parenthesised))
                .first;
    return found->second;
}

QELCopyPhotos::CopyResult QELCopyPhotos::copyPhoto(const ImageDetail& detail,
                                                   const QELDeviceImageLibraryReader& reader,
                                                   QELDeviceInterface* device, Run& run,
                                                   const std::atomic<bool>* cancel, QString* path,
                                                   QString* error)
{
    return copyPhoto(detail, detail.singleInstanceAlbumName(), reader, device, run, cancel, path,
                     error);
}

QELCopyPhotos::CopyResult QELCopyPhotos::copyPhoto(const ImageDetail& detail, const QString& album,
                                                   const QELDeviceImageLibraryReader& reader,
                                                   QELDeviceInterface* device, Run& run,
                                                   const std::atomic<bool>* cancel, QString* path,
                                                   QString* error)
{
    const QString folder = run.folderFor(album);
    if (folder.isEmpty()) {
        *error = QStringLiteral("the album's folder could not be made");
        return CopyResult::Failed;
    }
    const PhotoOriginals::Source source =
        PhotoOriginals::sourceOf(detail, device, PhotoOriginals::Take::Originals);
    const QString stem = PhotoOriginals::nameStem(detail);
    SafePath::UniqueNamer& namer = run.namerFor(folder);

    // The copy of an earlier run: the same name and, for an original, size.
    SafePath::NameRules rules;
    rules.maxBytes = SafePath::kDefaultMaxBytes - int(source.extension.toUtf8().size()) - 1;
    const QString plain = SafePath::fileName(stem, QStringLiteral("Photo"), rules);
    if (!plain.isEmpty() && !source.devicePath.isEmpty()) {
        const QString earlier = folder + QLatin1Char('/') + plain
            + (source.extension.isEmpty() ? QString() : QLatin1Char('.') + source.extension);
        const QFileInfo there(earlier);
        if (!run.written().contains(earlier) && there.isFile() && !there.isSymLink()
            && there.size() == source.deviceSize) {
            *path = earlier;
            return CopyResult::AlreadyThere;
        }
    }
    const QString target = namer.claimPath(stem, source.extension, QStringLiteral("Photo"));
    *path = target;
    if (target.isEmpty() || !SafePath::isInside(run.baseFolder(), target)) {
        *error = QStringLiteral("no free file name inside the folder");
        return CopyResult::Failed;
    }
    run.written().insert(target);
    const QString temporary = run.batch().temporaryPathFor(target);
    if (!PhotoOriginals::writeTo(detail, source, reader, device, temporary, cancel, error))
        return cancel && cancel->load() ? CopyResult::Cancelled : CopyResult::Failed;
    startWriteBack(temporary);
    // The copy carries the moment the photo was taken, not the moment of the copy.
    AtomicFile::setModificationTime(temporary, detail.dateCreated);
    if (!run.batch().place(temporary, target, error))
        return CopyResult::Failed;
    return CopyResult::Copied;
}

void QELCopyPhotos::_copyPhotos(std::shared_ptr<QELDeviceImageLibraryReader> reader, QString base)
{
    if (!_destinationUsable(base)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    Run run(base);
    QELDeviceInterface* device = _deviceInterface;
    // The bar follows the originals' bytes when the device gives each one's
    // size: a video weighs what it takes to copy. Asking costs one question a
    // photo before the first is copied, so a very large selection, where one
    // video weighs little among the many, counts items instead.
    constexpr qsizetype kMaxSizedPhotos = 2000;
    QList<quint64> sizes;
    const QVariantList queued = itemQueue();
    if (device && queued.size() <= kMaxSizedPhotos) {
        for (const QVariant& item : queued) {
            if (_isCancelled())
                break;
            const ImageDetailPtr detail = PhotoQueue::imageOf(item);
            const qint64 size = detail
                ? PhotoOriginals::sourceOf(*detail, device, PhotoOriginals::Take::Originals)
                      .deviceSize
                : -1;
            if (size < 0) {
                sizes.clear();
                break;
            }
            sizes.append(quint64(size));
        }
    }
    if (!sizes.isEmpty() && sizes.size() == queued.size()) {
        quint64 total = 0;
        for (quint64 size : std::as_const(sizes))
            total += size;
        _setRunByteCount(total);
    }
    while (const std::optional<QVariant> next = _getNextItemFromQueue()) {
        _setItemByteCount(sizes.value(qsizetype(itemNumber()) - 1));
        const ImageDetailPtr detail = PhotoQueue::imageOf(*next);
        QELCopyItemBeginEventArgs args;
        const QString album = PhotoQueue::albumOf(*next);
        args.setItemDescription(detail ? itemDescription(*detail, album) : QString());
        args.setSenderClass(typeid(QELCopyPhotos));
        _callOnItemCopyBeginEventWith(args);
        if (!detail) {
            _itemCouldNotBeCopied();
            continue;
        }
        QString path;
        QString error;
        const CopyResult result =
            copyPhoto(*detail, album, *reader, device, run, _cancelFlag(), &path, &error);
        if (result == CopyResult::Failed) {
            qCWarning(lcOrvane).noquote()
                << "Photo" << detail->imageID.value_or(-1) << "was not copied to"
                << (path.isEmpty() ? base : path) << ":" << error;
            _itemCouldNotBeCopied();
        }
    }
    QString error;
    if (!run.batch().commit(&error))
        qCWarning(lcOrvane) << "the copied photos could not be synced:" << error;
    _callAllItemsCopiedDelegate();
}
