// SPDX-License-Identifier: GPL-3.0-or-later
// Reads generated MediaLibrary.sqlitedb files (1k to 200k tracks, one
// playlist per hundred tracks) into the media store and prints the time, the
// time per track, the peak memory and, when python3 is present, the same read
// by a plain script over sqlite3 (bench/medialibrary_read.py) with the ratio;
// then two queries over the read library and a generated iTunesDB.
//
//   bench_medialibrary [runs] [tracks:playlists ...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ITunesDBWriter.h"
#include "MediaLibraryFixture.h"
#include "QELDeviceMediaLibrary.h"
#include "QELMediaLibraryMediaLibrarySQLiteDBReader.h"

#ifndef ORV_BENCH_SOURCE_DIR
#define ORV_BENCH_SOURCE_DIR "."
#endif

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

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool writeLibrary(const QString& path, int trackCount, int playlistCount)
{
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
        it.basePath =
            QStringLiteral("iTunes_Control/Music/F%1").arg(i % 50, 2, 10, QLatin1Char('0'));
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
    QString error;
    if (!f.write(path, &error)) {
        std::fprintf(stderr, "cannot write the database: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

// The reader's own item query for this database, so the script runs the same SQL.
QString itemQuery(const QString& path)
{
    sqlite3* db = nullptr;
    QString query;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK)
        query = QELMediaLibraryMediaLibrarySQLiteDBReader::itemQueryForDatabase(db);
    sqlite3_close(db);
    return query;
}

// Seconds of the script's read, or a negative number when it could not run.
double scriptRead(const QString& python, const QString& database, const QString& queryFile)
{
    QProcess script;
    script.start(
        python,
        {QStringLiteral(ORV_BENCH_SOURCE_DIR "/medialibrary_read.py"), database, queryFile});
    if (!script.waitForFinished(-1) || script.exitCode() != 0) {
        std::fprintf(stderr, "the script failed: %s\n", script.readAllStandardError().constData());
        return -1;
    }
    for (const QByteArray& line : script.readAllStandardOutput().split('\n')) {
        if (line.startsWith("seconds: "))
            return line.mid(9).toDouble();
    }
    return -1;
}

template <typename F> double fastest(int runs, F&& run, double* median)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i)
        seconds.push_back(run());
    std::sort(seconds.begin(), seconds.end());
    if (median)
        *median = seconds[seconds.size() / 2];
    return seconds.front();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    std::vector<std::pair<int, int>> sizes;
    for (int i = 2; i < argc; ++i) {
        const QList<QByteArray> parts = QByteArray(argv[i]).split(':');
        sizes.push_back({parts.value(0).toInt(), parts.value(1).toInt()});
    }
    if (sizes.empty())
        sizes = {{1000, 10}, {10000, 100}, {50000, 500}, {200000, 2000}};
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        std::printf("python3 not found: no script baseline\n");
    std::printf("load before: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});

    bool allOk = true;
    for (const auto& [trackCount, playlistCount] : sizes) {
        QTemporaryDir folder;
        const QString database = folder.filePath(QStringLiteral("MediaLibrary.sqlitedb"));
        if (trackCount <= 0 || !writeLibrary(database, trackCount, playlistCount))
            return 1;
        const QString queryFile = folder.filePath(QStringLiteral("item-query.sql"));
        {
            QFile out(queryFile);
            if (!out.open(QIODevice::WriteOnly) || out.write(itemQuery(database).toUtf8()) <= 0)
                return 1;
        }

        std::unique_ptr<QELDeviceMediaLibrary> library;
        size_t tracks = 0;
        size_t playlists = 0;
        bool ok = true;
        double peak = 0;
        double median = 0;
        const double seconds = fastest(
            runs,
            [&] {
                if (library)
                    library->close();
                library.reset();
                resetPeakMemory();
                const auto start = std::chrono::steady_clock::now();
                library = std::make_unique<QELDeviceMediaLibrary>(folder.path());
                ok = library->readMediaLibrary() && ok;
                const double s = since(start);
                peak = std::max(peak, peakMemoryMiB());
                return s;
            },
            &median);
        if (auto store = library->managedObjectContext()) {
            tracks = store->tracks().size();
            playlists = store->playlists().size();
        }
        allOk = allOk && ok;
        std::printf(
            "MediaLibrary.sqlitedb %d tracks / %d playlists: %s, %zu tracks, %zu playlists read\n",
            trackCount, playlistCount, ok ? "ok" : "FAILED", tracks, playlists);
        std::printf("  Orvane: min %.3f s median %.3f s, %.1f us per track, peak memory %.1f MiB\n",
                    seconds, median, 1e6 * seconds / trackCount, peak);
        if (!python.isEmpty()) {
            double scriptMedian = 0;
            const double script = fastest(
                runs, [&] { return scriptRead(python, database, queryFile); }, &scriptMedian);
            if (script > 0)
                std::printf("  python3 sqlite3 script: min %.3f s median %.3f s, %.1f us per track "
                            "| ratio min "
                            "%.2fx median %.2fx\n",
                            script, scriptMedian, 1e6 * script / trackCount, seconds / script,
                            median / scriptMedian);
        }

        // The track list of every playlist in its order, and a search over it.
        QList<TrackDetailPtr> listed;
        double listMedian = 0;
        const double list = fastest(
            runs,
            [&] {
                const auto start = std::chrono::steady_clock::now();
                listed =
                    library
                        ->trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                            std::nullopt, std::nullopt, std::nullopt, std::nullopt, QString(),
                            true);
                return since(start);
            },
            &listMedian);
        QList<TrackDetailPtr> found;
        double searchMedian = 0;
        const double search = fastest(
            runs,
            [&] {
                const auto start = std::chrono::steady_clock::now();
                found =
                    library
                        ->trackDetailsForPlaylistsWithGenresAndArtistsAndAlbumsWithCriteriaIncludingICloudItems(
                            std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                            QStringLiteral("number 12"), true);
                return since(start);
            },
            &searchMedian);
        std::printf("  query, every playlist in order: min %.1f ms median %.1f ms (%lld rows); "
                    "search: min %.1f ms "
                    "median %.1f ms (%lld rows)\n",
                    1e3 * list, 1e3 * listMedian, static_cast<long long>(listed.size()),
                    1e3 * search, 1e3 * searchMedian, static_cast<long long>(found.size()));
        library->close();
    }

    // The binary iTunesDB of an older device.
    const int trackCount = 50000;
    const int playlistCount = 500;
    std::mt19937 random(42);
    ITunesDBWriter w;
    for (int i = 0; i < trackCount; ++i) {
        ITunesDBWriter::Track t;
        t.id = static_cast<quint32>(i + 1);
        t.title = QStringLiteral("Track title number %1").arg(i);
        t.artist = QStringLiteral("Artist %1").arg(i % 2000);
        t.album = QStringLiteral("Album %1").arg(i % 4000);
        t.genre = QStringLiteral("Genre %1").arg(i % 40);
        t.path = QStringLiteral(":iPod_Control:Music:F%1:ABCD%2.mp3")
                     .arg(i % 50, 2, 10, QLatin1Char('0'))
                     .arg(i);
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
            list.items.append(
                {static_cast<quint32>(random() % static_cast<unsigned>(trackCount)) + 1, 1});
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
    const double dbSeconds = since(dbStart);
    const size_t dbTracks =
        iPod.managedObjectContext() ? iPod.managedObjectContext()->tracks().size() : 0;
    std::printf("iTunesDB %d tracks / %d playlists: %s, %zu tracks, %.3f s, %.1f us per track\n",
                trackCount, playlistCount, dbOk ? "ok" : "FAILED", dbTracks, dbSeconds,
                1e6 * dbSeconds / trackCount);
    std::printf("load after: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    return allOk && dbOk ? 0 : 1;
}
