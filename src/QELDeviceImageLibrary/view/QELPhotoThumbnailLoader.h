// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>

#include "ImageDetail.h"
#include "WorkerThreads.h"

class QELDeviceImageLibraryReader;

// The photo browser's thumbnails: read through the image reader on worker
// threads, never on the GUI thread, and kept in a cache keyed by imageID so
// that a repeated image or a row scrolled back into view costs nothing. The
// newest requests are served first (they are the rows on screen); when
// scrolling through a big library outruns the workers, the oldest requests
// are dropped and asked again if their rows come back. Results come back in
// batches. The API is for the main thread.
class QELPhotoThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit QELPhotoThumbnailLoader(QObject* parent = nullptr, int workers = 2);
    ~QELPhotoThumbnailLoader() override;

    // Forgets every thumbnail and request: they belong to the old reader.
    void setReader(std::shared_ptr<QELDeviceImageLibraryReader> reader);

    // The cached thumbnail; a null image, with its load asked for, when it
    // has none yet. An image that has no thumbnail answers null each time
    // without being read again.
    QImage thumbnail(const ImageDetailPtr& detail);
    bool hasThumbnail(qint64 imageId) const;

    // Requests the workers have not taken yet.
    int pendingCount() const;

    static constexpr int kMaxPending = 400;
    static constexpr int kMaxCached = 3000;

signals:
    // Thumbnails (or the lack of one) arrived for these images.
    void thumbnailsLoaded(const QList<qint64>& imageIds);

private:
    struct Request {
        quint64 generation;
        ImageDetailPtr detail;
    };
    struct Done {
        qint64 imageId;
        QImage image;
    };
    void work();
    void flush();

    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
    QCache<qint64, QImage> m_cache{kMaxCached};
    // Images whose read gave no picture.
    QSet<qint64> m_missing;
    QSet<qint64> m_requested;

    mutable std::mutex m_mutex; // guards the members below
    std::condition_variable m_wake;
    bool m_stopping = false;
    quint64 m_generation = 0;
    std::shared_ptr<QELDeviceImageLibraryReader> m_workReader;
    std::deque<Request> m_pending;
    QList<Done> m_done;
    bool m_flushPosted = false;

    // Last: joined before the members the workers use go.
    WorkerThreads m_workers{QStringLiteral("A thumbnail loader")};
};
