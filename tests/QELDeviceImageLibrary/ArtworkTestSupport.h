// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include "ArtworkDBWriter.h"
#include "QELDeviceImageLibraryEventProtocol.h"

class QELDeviceInterface;

namespace ArtworkTest {

// A binary image database and the files its pictures lie in, by device path
// relative to the database's device folder.
struct Sample {
    ArtworkDBWriter db;
    QMap<QString, QByteArray> files;
};

// An ArtworkDB of six images: raw RGB565 and RGB555 thumbnails (an odd width,
// padding), image files of correlation id 4005, an image stored only in a
// size that is not preferred, ids the format table does not know (raw bytes,
// and a JPEG), other data objects, and names that end off 4-byte alignment.
Sample artworkSample();
// A Photo Database of four photos, each with a raw thumbnail and a full-size
// file, and albums of types 1, 12, 15 and 2, one with an extra data object
// among its items and one whose items match no photo.
Sample photoSample();

struct Progress {
    QString text;
    qint64 counter;
    qint64 total;
};

class RecordingDelegate : public QELDeviceImageLibraryEventProtocol {
public:
    void OnDeviceImageLibraryDatabaseReadComplete(
        const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments) override;
    void OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(const QString& text,
                                                                       qint64 counter,
                                                                       qint64 total) override;
    QList<bool> completions() const;
    QList<Progress> progress() const;

private:
    mutable std::mutex m_mutex;
    QList<bool> m_completions;
    QList<Progress> m_progress;
};

// A device's file tree in a temporary folder, with a folder of copies beside it.
class Device {
public:
    Device();
    ~Device();
    QString root() const { return m_dir.filePath(QStringLiteral("device")); }
    QString copies() const { return m_dir.filePath(QStringLiteral("copies")); }
    // Writes a file of the device (path relative to its root).
    void file(const QString& path, const QByteArray& bytes) const;
    // Writes the sample's files under `folder` of the device and the database
    // both there as `name` and into the copies.
    void install(const Sample& sample, const QString& folder, const QString& name);
    // Writes a database copy only.
    void copy(const QString& name, const QByteArray& bytes) const;
    QELDeviceInterface* interface() const { return m_device.get(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QELDeviceInterface> m_device;
};

} // namespace ArtworkTest
