// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer into the music library against the music copy: 200 tracks of
// 5 MiB transferred off a simulated device into a library folder that lists
// 20,000 tracks already, and the same tracks copied to a folder, alternating,
// warm. Prints MB/s of both and how long one write of the library file takes.
//
//   bench_music_transfer [scale [runs]]   scale 1: 200 tracks, 20,000 in the library
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include "AudioFixture.h"
#include "ConnectWaiter.h"
#include "FolderMediaLibraryHost.h"
#include "IPodFramework.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELCopyMusic.h"
#include "QELDeviceInterface.h"
#include "QELTransferMusic.h"
#include "QELTransferMusicItemDetail.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

class RunWaiter : public QELCopyDelegate {
public:
    explicit RunWaiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override
    {
        if (!args.statusOK())
            ++failed;
        if (host)
            writes.push_back(host->lastWriteMilliseconds());
    }
    FolderMediaLibraryHost* host = nullptr;
    std::vector<double> writes;
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }
    std::atomic<int> failed{0};

private:
    QEventLoop& m_loop;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double seconds(const std::function<bool()>& run, bool* ok)
{
    const auto start = std::chrono::steady_clock::now();
    *ok = run() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A library of `tracks` entries, with its library playlist listing them all.
QByteArray libraryOf(int tracks)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                     "\"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
                     "version=\"1.0\">\n<dict>\n<key>Major Version</key><integer>1</integer>\n"
                     "<key>Tracks</key>\n<dict>\n";
    QByteArray items;
    for (int i = 1; i <= tracks; ++i) {
        const QByteArray id = QByteArray::number(i);
        xml += "<key>" + id + "</key>\n<dict>\n<key>Track ID</key><integer>" + id
            + "</integer>\n<key>Name</key><string>Old " + id
            + "</string>\n<key>Artist</key><string>Artist " + QByteArray::number(i % 500)
            + "</string>\n<key>Album</key><string>Album " + QByteArray::number(i % 4000)
            + "</string>\n<key>Genre</key><string>Rock</string>\n<key>Kind</key><string>MPEG "
              "audio file</string>\n<key>Size</key><integer>5242880</integer>\n<key>Total "
              "Time</key><integer>300000</integer>\n<key>Track Type</key><string>File</string>\n"
              "<key>Persistent ID</key><string>00000000000"
            + QByteArray::number(10000 + i)
            + "</string>\n<key>Location</key><string>file:///srv/"
              "old/Track%20"
            + id + ".mp3</string>\n</dict>\n";
        items += "<dict><key>Track ID</key><integer>" + id + "</integer></dict>\n";
    }
    xml += "</dict>\n<key>Playlists</key>\n<array>\n<dict>\n<key>Name</key><string>Library</string>"
           "\n<key>Master</key><true/>\n<key>Visible</key><false/>\n<key>Playlist ID</key>"
           "<integer>1</integer>\n<key>All Items</key><true/>\n<key>Playlist Items</key>\n<array>\n"
        + items + "</array>\n</dict>\n</array>\n</dict>\n</plist>\n";
    return xml;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const double scale = argc > 1 ? std::max(0.005, atof(argv[1])) : 1.0;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const int trackCount = std::max(1, int(200 * scale));
    const int libraryTracks = std::max(1, int(20000 * scale));
    constexpr qint64 kTrackBytes = 5 * 1024 * 1024;

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-music-transfer-XXXXXX"));
    SimulatedDeviceBuilder builder(work.filePath(QStringLiteral("phone")));
    builder.afcFolder(QStringLiteral("iTunes_Control/Music/F00"));
    const QString deviceFolder = builder.build();
    const QString music = builder.afcRoot() + QStringLiteral("/iTunes_Control/Music");

    const QByteArray frame = AudioFixture::silentMp3(1);
    QByteArray body;
    while (body.size() + frame.size() <= kTrackBytes)
        body += frame;
    QList<TrackDetailPtr> tracks;
    QVariantList copyQueue;
    for (int i = 0; i < trackCount; ++i) {
        const QString name = QStringLiteral("T%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
        if (!AudioFixture::writeFile(music + QStringLiteral("/F00/") + name, body))
            return 1;
        auto track = std::make_shared<TrackDetail>();
        track->persistentID = QString::number(1000000000000LL + i);
        track->trackName = QStringLiteral("Track %1").arg(i);
        track->artist = QStringLiteral("Artist %1").arg(i % 10);
        track->album = QStringLiteral("Album %1").arg(i % 20);
        track->trackNumber = i % 15 + 1;
        track->genre = QStringLiteral("Pop");
        track->path = QStringLiteral("/iTunes_Control/Music/F00/") + name;
        tracks << track;
        copyQueue.append(QVariant::fromValue(TrackDetailPtr(track)));
    }
    const double mb = double(trackCount) * double(body.size()) / 1e6;
    ::sync();

    auto simulator = std::make_shared<SimulatedMobileDevice>();
    auto iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    simulator->attach(deviceFolder);
    QELDeviceInterface interface(simulator, iPods);
    ConnectWaiter waiter;
    interface.setDelegate(&waiter);
    interface.BeginDeviceConnectionDetect();
    if (!waiter.wait()) {
        std::fprintf(stderr, "the simulated device did not connect\n");
        return 1;
    }
    const QByteArray library = libraryOf(libraryTracks);
    std::printf("music transfer: %d tracks (%.0f MB) into a library of %d tracks (%.1f MB); "
                "%d runs each, alternating with the music copy\n",
                trackCount, mb, libraryTracks, double(library.size()) / 1e6, runs);
    std::printf("load before: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});

    std::vector<double> transfer;
    std::vector<double> copy;
    std::vector<double> writes;
    bool allOk = true;
    for (int run = -1; run < runs; ++run) {
        bool ok = true;
        const QString musicFolder = work.filePath(QStringLiteral("Music"));
        QDir(musicFolder).removeRecursively();
        QDir().mkpath(musicFolder + QStringLiteral("/iTunes"));
        AudioFixture::writeFile(musicFolder + QStringLiteral("/iTunes/iTunes Library.xml"),
                                library);
        ::sync();
        auto host = std::make_shared<FolderMediaLibraryHost>(musicFolder);
        std::vector<double> runWrites;
        const double a = seconds(
            [&] {
                QEventLoop loop;
                RunWaiter delegate(loop);
                delegate.host = host.get();
                QELTransferMusic job;
                job.setDelegate(&delegate);
                job.setDeviceInteface(&interface);
                job.setMediaLibraryHost(host);
                QVariantList queue;
                for (const TrackDetailPtr& track : tracks)
                    queue.append(QVariant::fromValue(QELTransferMusicItemDetail(track)));
                job.setItemQueue(queue);
                job.startCopy();
                loop.exec();
                runWrites = delegate.writes;
                return delegate.failed == 0;
            },
            &ok);
        const QString target = work.filePath(QStringLiteral("out"));
        QDir(target).removeRecursively();
        ::sync();
        const double b = seconds(
            [&] {
                QEventLoop loop;
                RunWaiter delegate(loop);
                QELCopyMusic job;
                job.setDelegate(&delegate);
                job.setDeviceInteface(&interface);
                job.setBaseCopyPath(target);
                job.setCopyLayout(QELCopyMusic::CopyLayout{});
                job.setItemQueue(copyQueue);
                job.startCopy();
                loop.exec();
                return delegate.failed == 0;
            },
            &ok);
        QDir(target).removeRecursively();
        if (!ok) {
            std::fprintf(stderr, "a run failed\n");
            allOk = false;
        }
        if (run < 0)
            continue;
        transfer.push_back(a);
        copy.push_back(b);
        writes.insert(writes.end(), runWrites.begin(), runWrites.end());
        std::printf("  run %d: transfer %7.1f MB/s   copy %7.1f MB/s   library write %.1f ms "
                    "median\n",
                    run + 1, mb / a, mb / b, median(runWrites));
    }
    const double transferRate = mb / median(transfer);
    const double copyRate = mb / median(copy);
    std::sort(writes.begin(), writes.end());
    std::printf("median: transfer %.1f MB/s, copy %.1f MB/s, ratio %.0f %% (aim >= 80 %%); one "
                "library write %.1f ms median, %.1f ms at most (aim < 100 ms)\n",
                transferRate, copyRate, 100.0 * transferRate / copyRate, median(writes),
                writes.back());
    interface.shutdown();
    interface.setDelegate(nullptr);
    return allOk ? 0 : 1;
}
