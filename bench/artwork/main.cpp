// SPDX-License-Identifier: GPL-3.0-or-later
// Reads an ArtworkDB of 20,000 images in three sizes and a MediaLibrary.sqlitedb
// with 50,000 artwork rows into the image store, as the application's artwork
// step does; prints the seconds and images per second of each (best of three).
#include <chrono>
#include <cstdio>
#include <functional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ArtworkDBWriter.h"
#include "MediaLibraryFixture.h"
#include "QELDeviceImageArtworkDBReader.h"
#include "QELDeviceImageMediaLibraryArtworkDBReader.h"
#include "QELImageStore.h"

namespace {

// The best of three reads: seconds and the number of images stored.
std::pair<double, size_t> best(
    const std::function<std::unique_ptr<QELDeviceImageLibraryReader>()>& read)
{
    double seconds = 1e9;
    size_t images = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::unique_ptr<QELDeviceImageLibraryReader> reader = read();
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!reader)
            return {-1, 0};
        seconds = std::min(seconds, took);
        images = reader->store()->images().size();
    }
    return {seconds, images};
}

void print(const char* what, const std::pair<double, size_t>& figures)
{
    if (figures.first < 0) {
        std::printf("%-40s failed\n", what);
        return;
    }
    std::printf("%-40s %8.3f s %12.0f images/s (%zu images; aim: under 0.5 s)\n", what,
                figures.first, double(figures.second) / figures.first, figures.second);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString copies = dir.path();

    constexpr quint32 kImages = 20000;
    ArtworkDBWriter db;
    const std::pair<quint32, quint16> sizes[] = {{1093, 320}, {1055, 128}, {1060, 55}};
    for (quint32 id = 1; id <= kImages; ++id) {
        ArtworkDBWriter::Image image;
        image.id = 100 + id;
        image.songID = 0x1000000000ULL + id;
        image.date = 3600000000u + id;
        for (const auto& [correlation, side] : sizes) {
            ArtworkDBWriter::Picture p;
            p.correlationID = correlation;
            p.name = QStringLiteral(":F%1_%2.ithmb").arg(correlation).arg(1 + id / 5000);
            p.width = p.height = side;
            p.size = 2u * side * side;
            p.offset = p.size * (id % 5000);
            image.pictures << p;
        }
        db.images << image;
    }
    db.files = {{1093, 2 * 320 * 320}, {1055, 2 * 128 * 128}, {1060, 2 * 55 * 55}};
    {
        QFile file(copies + QStringLiteral("/ArtworkDB"));
        if (!file.open(QIODevice::WriteOnly) || file.write(db.build()) < 0) {
            std::fprintf(stderr, "the ArtworkDB could not be written\n");
            return 1;
        }
    }

    constexpr qint64 kRows = 50000;
    MediaLibraryFixture library;
    library.schema.artworkInfo = true;
    library.items.reserve(kRows);
    library.artworkInfo.reserve(kRows);
    for (qint64 i = 1; i <= kRows; ++i) {
        MediaLibraryFixture::Item item;
        item.pid = 7000000000LL + i;
        item.title = QStringLiteral("Track %1").arg(i);
        item.location = QStringLiteral("T%1.mp3").arg(i);
        item.artworkCacheID = 900000 + i;
        library.items << item;
        library.artworkInfo.append({900000 + i, 20000 + i % 977, i * 21000, 3005});
    }
    QString error;
    if (!library.write(copies + QStringLiteral("/MediaLibrary.sqlitedb"), &error)) {
        std::fprintf(stderr, "the media library could not be written: %s\n", qPrintable(error));
        return 1;
    }

    print("ArtworkDB, 20,000 images x 3 sizes",
          best([&]() -> std::unique_ptr<QELDeviceImageLibraryReader> {
              auto reader = QELDeviceImageArtworkDBReader::create(copies);
              if (!reader || !reader->readImageDatabase())
                  return nullptr;
              return reader;
          }));
    print("MediaLibrary.sqlitedb, 50,000 artwork rows",
          best([&]() -> std::unique_ptr<QELDeviceImageLibraryReader> {
              auto reader = QELDeviceImageMediaLibraryArtworkDBReader::create(copies);
              if (!reader || !reader->readImageDatabase())
                  return nullptr;
              return reader;
          }));
    return 0;
}
