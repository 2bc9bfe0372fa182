// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated Photos.sqlite of 50,000 assets in 500 albums (with edits,
// so every photo's file is looked for) over a device folder holding the DCIM
// tree, as the photos view does; prints the seconds, assets per second, the
// peak memory and the questions asked of the device.
#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "PhotosDbFixture.h"
#include "QELDeviceImagePhotosDbReader.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"

namespace {

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kAssets = 50000;
    constexpr int kAlbums = 500;
    constexpr int kPerFolder = 1000;
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("device"));
    const QString copies = dir.filePath(QStringLiteral("copies"));
    QDir().mkpath(copies);

    QList<PhotosDbFixture::Asset> assets;
    assets.reserve(kAssets);
    for (int i = 1; i <= kAssets; ++i) {
        PhotosDbFixture::Asset a;
        a.pk = i;
        a.fileName = QStringLiteral("IMG_%1.JPG").arg(i % 10000, 4, 10, QLatin1Char('0'));
        a.directory = QStringLiteral("DCIM/%1APPLE").arg(100 + (i - 1) / kPerFolder);
        a.created = 400000000 + i * 60.0;
        a.sortToken = i;
        a.thumbnailIndex = i - 1;
        a.favorite = i % 50 == 0;
        a.adjusted = i % 100 == 0;
        a.embeddedLength = 9000;
        assets << a;
    }
    QList<PhotosDbFixture::AlbumRow> albums;
    for (int i = 1; i <= kAlbums; ++i) {
        PhotosDbFixture::AlbumRow album;
        album.pk = i;
        album.title = QStringLiteral("Album %1").arg(i);
        for (int k = 0; k < 100; ++k)
            album.assets << 1 + (i * 97 + k * 13) % kAssets;
        albums << album;
    }
    QString error;
    if (!PhotosDbFixture::write(copies + QStringLiteral("/Photos.sqlite"),
                                PhotosDbFixture::Schema{}, assets, albums, &error)) {
        std::fprintf(stderr, "bench_photos: could not write the library: %s\n", qPrintable(error));
        return 1;
    }
    PhotosDbFixture::writeFile(root, QStringLiteral("PhotoData/Thumbnails/240x240.ithmb"), "t");
    for (const PhotosDbFixture::Asset& a : assets) {
        QFile file(root + QLatin1Char('/') + a.directory + QLatin1Char('/') + a.fileName);
        if (!file.exists()) {
            QDir().mkpath(root + QLatin1Char('/') + a.directory);
            file.open(QIODevice::WriteOnly);
        }
    }

    std::unique_ptr<QELDeviceInterface> device = QELDeviceInterface::createOverFolder(root);
    resetPeakMemory();
    const double before = peakMemoryMiB();
    const auto start = std::chrono::steady_clock::now();
    auto reader = QELDeviceImagePhotosDbReader::create(copies);
    if (!reader) {
        std::fprintf(stderr, "bench_photos: no image store\n");
        return 1;
    }
    reader->setDeviceInterface(device.get());
    const bool ok = reader->readImageDatabase();
    const auto read = std::chrono::steady_clock::now();
    const qsizetype listed = reader->getPhotoLibrary().size() + reader->getAlbumNames().size();
    const qsizetype all = reader->_getAllAssets().size();
    const auto queried = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(read - start).count();
    std::printf("photos: %d assets in %d albums, edits present, over a device folder\n", kAssets,
                kAlbums);
    std::printf("  read and save the store  %.3f s (%.0f assets/s)%s\n", seconds,
                double(reader->store()->images().size()) / seconds, ok ? "" : " FAILED");
    std::printf("  album lists, all assets  %.3f s (%lld albums, %lld assets)\n",
                std::chrono::duration<double>(queried - read).count(), qint64(listed), qint64(all));
    std::printf("  device calls             %lld\n", reader->deviceCallCount());
    std::printf("  peak memory              %.1f MiB (%.1f MiB before)\n", peakMemoryMiB(), before);
    reader.reset();
    device->shutdown();
    return ok ? 0 : 1;
}
