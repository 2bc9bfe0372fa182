// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELPhotoThumbnailLoader.h"

#include "QELDeviceImageLibraryReader.h"
#include "QELPhotoBrowserDelegate.h"

namespace {

// What a cell shows: every thumbnail is brought to the size it is drawn at,
// in the format the screen takes, here on the worker, so that painting a
// row is a plain copy and never a scaling on the GUI thread.
constexpr int kSide = QELPhotoBrowserDelegate::kThumbnail;

QImage asShown(const QImage& image)
{
    if (image.isNull())
        return image;
    const QSize shown = image.size().scaled(kSide, kSide, Qt::KeepAspectRatio);
    QImage result = shown == image.size()
        ? image
        : image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QELPhotoThumbnailLoader::QELPhotoThumbnailLoader(QObject* parent, int workers)
    : QObject(parent)
{
    for (int i = 0; i < workers; ++i)
        m_workers.start([this] { work(); });
}

QELPhotoThumbnailLoader::~QELPhotoThumbnailLoader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_pending.clear();
    }
    m_wake.notify_all();
    m_workers.stopAndJoinAll();
}

void QELPhotoThumbnailLoader::setReader(std::shared_ptr<QELDeviceImageLibraryReader> reader)
{
    m_reader = reader;
    m_cache.clear();
    m_missing.clear();
    m_requested.clear();
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_workReader = std::move(reader);
    m_pending.clear();
    m_done.clear();
}

bool QELPhotoThumbnailLoader::hasThumbnail(qint64 imageId) const
{
    return m_cache.contains(imageId);
}

int QELPhotoThumbnailLoader::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_pending.size());
}

QImage QELPhotoThumbnailLoader::thumbnail(const ImageDetailPtr& detail)
{
    if (!detail || !detail->imageID || !m_reader)
        return QImage();
    const qint64 id = *detail->imageID;
    if (const QImage* cached = m_cache.object(id))
        return *cached;
    if (m_missing.contains(id) || m_requested.contains(id))
        return QImage();
    m_requested.insert(id);
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back({m_generation, detail});
        while (int(m_pending.size()) > kMaxPending) {
            const ImageDetailPtr dropped = m_pending.front().detail;
            m_pending.pop_front();
            m_requested.remove(*dropped->imageID);
        }
    }
    m_wake.notify_one();
    return QImage();
}

void QELPhotoThumbnailLoader::work()
{
    for (;;) {
        Request request;
        std::shared_ptr<QELDeviceImageLibraryReader> reader;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
            if (m_stopping)
                return;
            // The newest request first: its row is on screen now.
            request = std::move(m_pending.back());
            m_pending.pop_back();
            reader = m_workReader;
        }
        QImage image;
        if (reader)
            image = reader->getThumbnailImageFromDetail(request.detail.get());
        image = asShown(image);
        bool post = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
            if (request.generation != m_generation)
                continue;
            m_done.append({*request.detail->imageID, std::move(image)});
            post = !m_flushPosted;
            m_flushPosted = true;
        }
        if (post)
            QMetaObject::invokeMethod(
                this, [this] { flush(); }, Qt::QueuedConnection);
    }
}

void QELPhotoThumbnailLoader::flush()
{
    // Only answers of the current reader are waiting: setReader() drops the rest.
    QList<Done> done;
    {
        std::lock_guard lock(m_mutex);
        m_flushPosted = false;
        done.swap(m_done);
    }
    QList<qint64> ids;
    ids.reserve(done.size());
    for (Done& d : done) {
        m_requested.remove(d.imageId);
        if (d.image.isNull())
            m_missing.insert(d.imageId);
        else
            m_cache.insert(d.imageId, new QImage(std::move(d.image)));
        ids.append(d.imageId);
    }
    if (!ids.isEmpty())
        emit thumbnailsLoaded(ids);
}
