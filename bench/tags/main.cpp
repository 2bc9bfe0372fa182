// SPDX-License-Identifier: GPL-3.0-or-later
// bench_tags [COUNT]: makes COUNT MP3 and COUNT M4A files (1,000 each unless
// told) in a temporary folder and, per file, loads the tags, changes four
// fields and the cover, and saves, as the track copy does. Prints files per
// second per format, once with every save synced on its own and once with the
// saves of the run synced together (AtomicFileBatch), as a copy run does.
#include <cstdio>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include "AtomicFileBatch.h"
#include "AudioFixture.h"
#include "QELTagLib.h"

namespace {

QByteArray png(QColor color)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

bool makeFiles(const QString& folder, const char* extension, const QByteArray& bytes, int count,
               const QString& cover)
{
    const QELTagLib tags;
    for (int i = 0; i < count; ++i) {
        const QString file =
            QStringLiteral("%1/%2.%3").arg(folder).arg(i).arg(QLatin1String(extension));
        if (!AudioFixture::writeFile(file, bytes))
            return false;
        QELTagMap map;
        map.setTrackName(QStringLiteral("Track %1").arg(i));
        map.setArtistName(QStringLiteral("Artist"));
        map.setAlbumName(QStringLiteral("Album"));
        map.setTrackNumber(i % 20 + 1);
        map.setTrackTotal(20);
        map.setArtworkState(QELTagMap::kArtworkEmbed);
        map.setArtworkPath(cover);
        if (!tags.saveTagsToFileAtPath(file, map))
            return false;
    }
    return true;
}

// Files per second of load + change + save over the files of one extension.
double retag(const QString& folder, const char* extension, int count, const QString& cover,
             bool batched)
{
    const QELTagLib tags;
    AtomicFileBatch batch;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const QString file =
            QStringLiteral("%1/%2.%3").arg(folder).arg(i).arg(QLatin1String(extension));
        QELTagMap map = tags.loadTagsFromFileAtPath(file);
        if (map.ArtworkState() != QELTagMap::kArtworkEmbedded) {
            std::fprintf(stderr, "%s has no cover\n", qPrintable(file));
            return 0;
        }
        map.setTrackName(map.TrackName() + QStringLiteral(" (again)"));
        map.setAlbumArtist(QString::fromUtf8("Ελληνικά"));
        map.setReleaseYear(2024);
        map.setDiscNumber(1);
        map.setArtworkState(QELTagMap::kArtworkEmbed);
        map.setArtworkPath(cover);
        if (!tags.saveTagsToFileAtPath(file, map, batched ? &batch : nullptr)) {
            std::fprintf(stderr, "%s could not be saved\n", qPrintable(file));
            return 0;
        }
    }
    const qint64 beforeCommit = timer.elapsed();
    if (batched && !batch.commit()) {
        std::fprintf(stderr, "the run could not be synced\n");
        return 0;
    }
    if (batched)
        std::printf("    %s: %lld ms for the saves, %lld ms for the run's sync\n", extension,
                    static_cast<long long>(beforeCommit),
                    static_cast<long long>(timer.elapsed() - beforeCommit));
    return count * 1000.0 / std::max<qint64>(1, timer.elapsed());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.png"));
    const QString second = dir.filePath(QStringLiteral("second.png"));
    if (!AudioFixture::writeFile(first, png(Qt::red))
        || !AudioFixture::writeFile(second, png(Qt::blue)))
        return 1;
    struct Format {
        const char* extension;
        QByteArray bytes;
    };
    const Format formats[] = {{"mp3", AudioFixture::silentMp3(40)},
                              {"m4a", AudioFixture::minimalM4a()}};
    std::printf("tags: %d files per format, load + 4 fields + cover + save\n", count);
    for (const Format& format : formats) {
        if (!makeFiles(dir.path(), format.extension, format.bytes, count, first)) {
            std::fprintf(stderr, "could not make the %s files\n", format.extension);
            return 1;
        }
        const double synced = retag(dir.path(), format.extension, count, second, false);
        const double batched = retag(dir.path(), format.extension, count, first, true);
        if (synced == 0 || batched == 0)
            return 1;
        std::printf("  %s: %8.0f files/s (each save synced), %8.0f files/s (one sync per run)\n",
                    format.extension, synced, batched);
    }
    std::printf("aim: at least 1000 files/s read+write for each format\n");
    return 0;
}
