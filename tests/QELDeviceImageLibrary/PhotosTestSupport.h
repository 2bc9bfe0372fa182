// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include "PhotosDbFixture.h"
#include "QELDeviceImageLibraryEventProtocol.h"
#include "QELDeviceImagePhotosDbReader.h"

class QELDeviceInterface;

namespace PhotosTest {

QByteArray jpegBytes(QSize size, QColor colour);
// A JPEG with an EXIF segment whose orientation tag is `orientation`.
QByteArray jpegWithOrientation(QSize size, int orientation);
// A HEIC encoded by libheif, red.
QByteArray heicBytes(QSize size);

struct Progress {
    QString text;
    qint64 counter;
    qint64 total;
};

class RecordingDelegate : public QELDeviceImageLibraryEventProtocol {
public:
    void OnDeviceImageLibraryDatabaseReadComplete(
        const QELDeviceImageLibraryDatabaseReadCompleteArguments&) override
    {
    }
    void OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(const QString& text,
                                                                       qint64 counter,
                                                                       qint64 total) override
    {
        std::lock_guard lock(m_mutex);
        m_events.append({text, counter, total});
    }
    QList<Progress> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    mutable std::mutex m_mutex;
    QList<Progress> m_events;
};

// A device's file system in a temporary folder, a copy of its Photos.sqlite
// beside it, and a reader over both.
class Library {
public:
    Library();
    ~Library();
    QString deviceRoot() const { return m_dir.filePath(QStringLiteral("device")); }
    QString copies() const { return m_dir.filePath(QStringLiteral("copies")); }
    QString databasePath() const { return copies() + QStringLiteral("/Photos.sqlite"); }
    // Writes a file of the device.
    void deviceFile(const QString& path, const QByteArray& bytes = QByteArray("x"));
    void deviceFolder(const QString& path);
    // Writes the database copy.
    void database(const PhotosDbFixture::Schema& schema,
                  const QList<PhotosDbFixture::Asset>& assets,
                  const QList<PhotosDbFixture::AlbumRow>& albums = {});
    // Makes a reader (store "photos.db") and reads; false when read answered NO.
    bool read(bool withDevice = true);
    QELDeviceImagePhotosDbReader& reader() { return *m_reader; }
    QELDeviceInterface& device() { return *m_device; }
    RecordingDelegate& delegate() { return m_delegate; }
    // The only image with this imageID.
    ImageDetailPtr image(qint64 id) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QELDeviceInterface> m_device;
    std::unique_ptr<QELDeviceImagePhotosDbReader> m_reader;
    RecordingDelegate m_delegate;
};

} // namespace PhotosTest
