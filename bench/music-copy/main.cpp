// SPDX-License-Identifier: GPL-3.0-or-later
// The music copy against `cp`: 200 tracks of 5 MiB (1 GiB, half of them
// untitled, so their copies get tags written) copied off a simulated device
// by QELCopyMusic, and the same files by `cp -r` from the device's folder,
// alternating, warm. Prints MB/s of each run, the medians and the ratio.
// Then reads a music library file of 50,000 tracks into the index.
//
//   bench_music_copy [scale [runs]]   scale 1: 200 tracks; 0.1: 20
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
#include "IPodFramework.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemEndEventArgs.h"
#include "QELCopyMusic.h"
#include "QELDeviceInterface.h"
#include "QELITunesLibrary.h"
#include "QELTagLib.h"
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
    }
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

QByteArray libraryOf(int tracks)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                     "\"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
                     "version=\"1.0\">\n<dict>\n\t<key>Tracks</key>\n\t<dict>\n";
    for (int i = 1; i <= tracks; ++i) {
        const QByteArray id = QByteArray::number(i);
        xml += "\t\t<key>" + id + "</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>" + id
            + "</integer>\n\t\t\t<key>Name</key><string>Track " + id
            + "</string>\n\t\t\t<key>Artist</key><string>Artist " + QByteArray::number(i % 500)
            + "</string>\n\t\t\t<key>Album</key><string>Album " + QByteArray::number(i % 4000)
            + "</string>\n\t\t\t<key>Genre</key><string>Rock</string>\n\t\t\t<key>Kind</key>"
              "<string>MPEG audio file</string>\n\t\t\t<key>Size</key><integer>5242880</integer>"
              "\n\t\t\t<key>Total Time</key><integer>300000</integer>\n\t\t\t<key>Track "
              "Type</key><string>File</string>\n\t\t\t<key>Location</key><string>file:///home/u/"
              "Music/iTunes/iTunes%20Media/Music/Artist/Album/Track%20"
            + id + ".mp3</string>\n\t\t</dict>\n";
    }
    xml += "\t</dict>\n</dict>\n</plist>\n";
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
    constexpr qint64 kTrackBytes = 5 * 1024 * 1024;

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-music-copy-XXXXXX"));
    SimulatedDeviceBuilder builder(work.filePath(QStringLiteral("phone")));
    builder.afcFolder(QStringLiteral("iTunes_Control/Music/F00"));
    const QString deviceFolder = builder.build();
    const QString music = builder.afcRoot() + QStringLiteral("/iTunes_Control/Music");

    // Silent MPEG frames up to 5 MiB; every other file gets a title, so its
    // copy is left as it is, and the rest are retagged when copied.
    QByteArray frames = AudioFixture::silentMp3(1);
    QByteArray body;
    while (body.size() + frames.size() <= kTrackBytes)
        body += frames;
    QVariantList queue;
    for (int i = 0; i < trackCount; ++i) {
        const QString name = QStringLiteral("T%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = music + QStringLiteral("/F00/") + name;
        if (!AudioFixture::writeFile(path, body))
            return 1;
        if (i % 2 == 0) {
            QELTagMap map;
            map.setTrackName(QStringLiteral("Titled %1").arg(i));
            if (!QELTagLib().saveTagsToFileAtPath(path, map))
                return 1;
        }
        auto track = std::make_shared<TrackDetail>();
        track->persistentID = QString::number(1000000000000LL + i);
        track->trackName = QStringLiteral("Track %1").arg(i);
        track->artist = QStringLiteral("Artist %1").arg(i % 10);
        track->album = QStringLiteral("Album %1").arg(i % 20);
        track->trackNumber = i % 15 + 1;
        track->path = QStringLiteral("/iTunes_Control/Music/F00/") + name;
        queue.append(QVariant::fromValue(TrackDetailPtr(track)));
    }
    qint64 totalBytes = 0;
    for (const QFileInfo& file : QDir(music + QStringLiteral("/F00")).entryInfoList(QDir::Files))
        totalBytes += file.size();
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

    std::printf("music copy: %d tracks, %.0f MiB, half untitled; %d runs each, alternating\n",
                trackCount, double(totalBytes) / (1 << 20), runs);
    std::printf("load before: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    const QString target = work.filePath(QStringLiteral("out"));
    std::vector<double> ours;
    std::vector<double> cp;
    std::vector<double> cpSync;
    bool allOk = true;
    const double mb = double(totalBytes) / 1e6;
    for (int run = -1; run < runs; ++run) {
        bool ok = true;
        QDir(target).removeRecursively();
        ::sync();
        const double a = seconds(
            [&] {
                QEventLoop loop;
                RunWaiter delegate(loop);
                QELCopyMusic job;
                job.setDelegate(&delegate);
                job.setDeviceInteface(&interface);
                job.setBaseCopyPath(target);
                job.setCopyLayout(QELCopyMusic::CopyLayout{});
                job.setItemQueue(queue);
                job.startCopy();
                loop.exec();
                return delegate.failed == 0 && job.copiedFiles().size() == trackCount;
            },
            &ok);
        QDir(target).removeRecursively();
        ::sync();
        const double b = seconds(
            [&] {
                return QProcess::execute(QStringLiteral("cp"),
                                         {QStringLiteral("-r"), music, target})
                    == 0;
            },
            &ok);
        QDir(target).removeRecursively();
        ::sync();
        // cp leaves its data in the page cache; the job syncs each file before
        // it reports it copied. cp followed by sync is what that costs cp.
        const double c = seconds(
            [&] {
                return QProcess::execute(QStringLiteral("cp"),
                                         {QStringLiteral("-r"), music, target})
                    == 0
                    && QProcess::execute(QStringLiteral("sync"), {}) == 0;
            },
            &ok);
        QDir(target).removeRecursively();
        if (!ok) {
            std::fprintf(stderr, "a copy failed\n");
            allOk = false;
        }
        if (run < 0)
            continue;
        ours.push_back(a);
        cp.push_back(b);
        cpSync.push_back(c);
        std::printf("  run %d: QELCopyMusic %7.1f MB/s   cp %7.1f MB/s   cp+sync %7.1f MB/s\n",
                    run + 1, mb / a, mb / b, mb / c);
    }
    const double oursRate = mb / median(ours);
    const double cpRate = mb / median(cp);
    const double cpSyncRate = mb / median(cpSync);
    std::printf("median: QELCopyMusic %.1f MB/s, cp %.1f MB/s, cp+sync %.1f MB/s; ratio to cp %.0f "
                "%% (aim >= 90 %%), to cp+sync %.0f %%\n",
                oursRate, cpRate, cpSyncRate, 100.0 * oursRate / cpRate,
                100.0 * oursRate / cpSyncRate);

    // The index of a large library.
    const int libraryTracks = std::max(1, int(50000 * scale));
    const QString libraryFile = work.filePath(QStringLiteral("iTunes Library.xml"));
    if (!AudioFixture::writeFile(libraryFile, libraryOf(libraryTracks)))
        return 1;
    std::vector<double> reads;
    for (int run = 0; run < runs; ++run) {
        bool ok = true;
        reads.push_back(seconds(
            [&] {
                QString why;
                const auto index = QELITunesLibrary::readIndex(libraryFile, &why);
                return index != nullptr;
            },
            &ok));
        allOk = allOk && ok;
    }
    std::printf("music library index: %d tracks (%.1f MB) read in %.0f ms median (aim < 1000 ms)\n",
                libraryTracks, double(QFileInfo(libraryFile).size()) / 1e6, 1000 * median(reads));
    interface.shutdown();
    interface.setDelegate(nullptr);
    return allOk ? 0 : 1;
}
