// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated MediaLibrary.sqlitedb of 50,000 tracks and 500 playlists
// into the media store and prints the time, the rate and the peak memory; then
// the same for a generated iTunesDB of 50,000 tracks.
#include <chrono>
#include <cstdio>
#include <random>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "ITunesDBWriter.h"
#include "MediaLibraryFixture.h"
#include "QELDeviceMediaLibrary.h"

namespace {

// Peak resident memory (VmHWM) in MiB.
double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Starts a new peak measurement (Linux: writing 5 resets VmHWM).
void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int trackCount = argc > 1 ? atoi(argv[1]) : 50000;
    const int playlistCount = argc > 2 ? atoi(argv[2]) : 500;

    MediaLibraryFixture f;
    f.schema.itemArtwork = false;
    f.schema.artworkToken = true;
    std::mt19937 random(42);
    for (int i = 0; i < trackCount; ++i) {
        MediaLibraryFixture::Item it;
        it.pid = 1000000000000LL + i * 7919LL;
        it.title = QStringLiteral("Track title number %1").arg(i);
        it.artist = QStringLiteral("Artist %1").arg(i % 2000);
        it.albumArtist = i % 3 ? QString() : it.artist;
        it.album = QStringLiteral("Album %1").arg(i % 4000);
        it.genre = QStringLiteral("Genre %1").arg(i % 40);
        it.composer = QStringLiteral("Composer %1").arg(i % 500);
        it.mediaKind = i % 50 == 0 ? 2 : i % 60 == 0 ? 4 : 1;
        it.basePath = QStringLiteral("iTunes_Control/Music/F%1").arg(i % 50, 2, 10, QLatin1Char('0'));
        it.location = i % 100 == 0 ? QString() : QStringLiteral("ABCD%1.m4a").arg(i);
        it.durationMs = 180000 + i % 120000;
        it.fileSize = 4000000 + i;
        it.trackNumber = i % 12 + 1;
        it.year = 1960 + i % 60;
        it.dateCreated = 500000000 + i;
        f.items << it;
    }
    for (int p = 0; p < playlistCount; ++p) {
        MediaLibraryFixture::Container c;
        c.pid = 900000 + p;
        c.name = QStringLiteral("Playlist %1").arg(p);
        const int size = 20 + static_cast<int>(random() % 180);
        for (int k = 0; k < size; ++k)
            c.items << f.items[static_cast<int>(random() % static_cast<unsigned>(trackCount))].pid;
        f.containers << c;
    }
    QTemporaryDir folder;
    QString error;
    if (!f.write(folder.filePath(QStringLiteral("MediaLibrary.sqlitedb")), &error)) {
        std::fprintf(stderr, "cannot write the database: %s\n", qPrintable(error));
        return 1;
    }
    f = MediaLibraryFixture();

    const double before = peakMemoryMiB();
    resetPeakMemory();
    const auto start = std::chrono::steady_clock::now();
    QELDeviceMediaLibrary library(folder.path());
    const bool ok = library.readMediaLibrary();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = peakMemoryMiB();
    const size_t tracks = library.managedObjectContext() ? library.managedObjectContext()->tracks().size() : 0;
    const size_t playlists = library.managedObjectContext() ? library.managedObjectContext()->playlists().size() : 0;
    std::printf("MediaLibrary.sqlitedb read: %s\n", ok ? "ok" : "FAILED");
    std::printf("tracks: %zu, playlists: %zu\n", tracks, playlists);
    std::printf("seconds: %.3f\n", seconds);
    std::printf("tracks per second: %.0f\n", static_cast<double>(tracks) / seconds);
    std::printf("peak memory during the read: %.1f MiB (process peak before it: %.1f MiB)\n", peak, before);
    library.close();

    // The binary iTunesDB of an older device.
    ITunesDBWriter w;
    for (int i = 0; i < trackCount; ++i) {
        ITunesDBWriter::Track t;
        t.id = static_cast<quint32>(i + 1);
        t.title = QStringLiteral("Track title number %1").arg(i);
        t.artist = QStringLiteral("Artist %1").arg(i % 2000);
        t.album = QStringLiteral("Album %1").arg(i % 4000);
        t.genre = QStringLiteral("Genre %1").arg(i % 40);
        t.path = QStringLiteral(":iPod_Control:Music:F%1:ABCD%2.mp3").arg(i % 50, 2, 10, QLatin1Char('0')).arg(i);
        t.durationMs = static_cast<quint32>(180000 + i % 120000);
        t.fileSize = static_cast<quint32>(4000000 + i);
        t.mediaKind = i % 50 == 0 ? 2 : 1;
        w.tracks << t;
    }
    for (int p = 0; p < playlistCount; ++p) {
        ITunesDBWriter::Playlist list;
        list.title = QStringLiteral("Playlist %1").arg(p);
        const int size = 20 + static_cast<int>(random() % 180);
        for (int k = 0; k < size; ++k)
            list.items.append({static_cast<quint32>(random() % static_cast<unsigned>(trackCount)) + 1, 1});
        w.playlists << list;
    }
    QTemporaryDir iPodFolder;
    {
        QFile file(iPodFolder.filePath(QStringLiteral("iTunesDB")));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(w.build());
    }
    w = ITunesDBWriter();
    const auto dbStart = std::chrono::steady_clock::now();
    QELDeviceMediaLibrary iPod(iPodFolder.path());
    const bool dbOk = iPod.readMediaLibrary();
    const double dbSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - dbStart).count();
    const size_t dbTracks = iPod.managedObjectContext() ? iPod.managedObjectContext()->tracks().size() : 0;
    std::printf("iTunesDB read: %s\n", dbOk ? "ok" : "FAILED");
    std::printf("tracks: %zu\n", dbTracks);
    std::printf("seconds: %.3f\n", dbSeconds);
    std::printf("tracks per second: %.0f\n", static_cast<double>(dbTracks) / dbSeconds);
    return ok && dbOk ? 0 : 1;
}
