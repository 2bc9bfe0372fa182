// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include <QSet>
#include <QString>

#include "AtomicFileBatch.h"
#include "QELCopy.h"
#include "SafePath.h"

class ImageDetail;
class QELDeviceImageLibraryReader;

// Copies photos and videos (ImageDetail items, PhotoQueue) into the chosen
// folder, one subfolder per album each was chosen from. The
// device's original file is copied byte for byte; only an image without one
// (the binary photo database) is written as a JPEG of its picture. Files are
// named after the device's file name with the extension of what was
// written, made safe; nothing already there is replaced: a file of the same
// name and size counts as copied, any other gets " (n)". Each file is
// written under a temporary name and renamed when complete. Items that could
// not be copied are counted for the end event.
class QELCopyPhotos : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyPhotos(QObject* parent = nullptr);
    ~QELCopyPhotos() override;

    // Held strongly: the store outlives a view that reads anew.
    std::shared_ptr<QELDeviceImageLibraryReader> imageLibraryReader() const;
    void setImageLibraryReader(std::shared_ptr<QELDeviceImageLibraryReader> reader);

    // Without a reader, a queue or a folder the run ends at once.
    void startCopy() override;

    // The names and files of one run into a folder tree.
    class Run {
    public:
        explicit Run(QString baseFolder);
        // The folder of an album ("" or none: the base), made when missing;
        // empty when it cannot be made or would leave the base.
        QString folderFor(const QString& albumName);
        SafePath::UniqueNamer& namerFor(const QString& folder);
        const QString& baseFolder() const { return m_base; }
        AtomicFileBatch& batch() { return m_batch; }
        // Paths this run wrote, so that a second image of the same name is
        // never taken for one that was there before.
        QSet<QString>& written() { return m_written; }

    private:
        QString m_base;
        std::map<QString, SafePath::UniqueNamer> m_namers;
        AtomicFileBatch m_batch;
        QSet<QString> m_written;
    };

    enum class CopyResult { Copied, AlreadyThere, Failed, Cancelled };
    // Copies one image into the run's folder tree; `path` gets the file's
    // path. Blocking: worker threads (tools call it from their main thread).
    static CopyResult copyPhoto(const ImageDetail& detail,
                                const QELDeviceImageLibraryReader& reader,
                                QELDeviceInterface* device, Run& run,
                                const std::atomic<bool>* cancel, QString* path, QString* error);
    // The same into the folder of `album` (empty: the run's own folder).
    static CopyResult copyPhoto(const ImageDetail& detail, const QString& album,
                                const QELDeviceImageLibraryReader& reader,
                                QELDeviceInterface* device, Run& run,
                                const std::atomic<bool>* cancel, QString* path, QString* error);

    // The begin event's text: the title, and "FROMALBUM" with the album.
    static QString itemDescription(const ImageDetail& detail);
    static QString itemDescription(const ImageDetail& detail, const QString& album);

private:
    void _copyPhotos(std::shared_ptr<QELDeviceImageLibraryReader> reader, QString base);

    mutable std::mutex m_mutex; // guards the member below
    std::shared_ptr<QELDeviceImageLibraryReader> m_reader;
};
