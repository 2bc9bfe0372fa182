// SPDX-License-Identifier: GPL-3.0-or-later
// 1. The photos view reads a generated Photos.sqlite of 50,000 photos in 500
//    albums from a simulated iPhone, then its browser scrolls through the
//    whole library; a 5 ms timer records the longest gap of the event loop
//    in each phase (the window's worst freeze).
// 2. The photo copy copies 256 pictures of 4 MiB (1 GiB) from the simulated
//    iPhone, and `cp -r` copies the same folder; both warm, alternating.
//
//   bench_photosview [scale] [copy]   scale 1 is the full size; "copy" skips the view
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QLoggingCategory>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "ConnectWaiter.h"
#include "EventLoop.h"
#include "GapMeter.h"
#include "IPodFramework.h"
#include "PhotosDbFixture.h"
#include "QELCopyPhotos.h"
#include "QELDeviceImageLibraryReader.h"
#include "QELDeviceInterface.h"
#include "QELImageStore.h"
#include "QELPhotosView.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

bool writeRandom(const QString& path, qint64 size, std::mt19937_64& random)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    std::vector<uint64_t> block(1 << 17);
    bool ok = true;
    for (qint64 left = size; left > 0 && ok;) {
        for (uint64_t& word : block)
            word = random();
        const qint64 n = std::min<qint64>(left, qint64(block.size() * 8));
        ok = ::write(fd, block.data(), size_t(n)) == n;
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

void runEventsFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const double scale = argc > 1 ? std::max(0.001, atof(argv[1])) : 1.0;
    const bool copyOnly = argc > 2 && qstrcmp(argv[2], "copy") == 0;
    const int kAssets = std::max(10, int(50000 * scale));
    const int kAlbums = std::max(1, int(500 * scale));
    const int kPictures = std::max(1, int(256 * scale));
    constexpr qint64 kPictureBytes = 4 << 20;
    constexpr int kThumbnails = 2000;

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-photosview-XXXXXX"));
    SimulatedDeviceBuilder builder(work.filePath(QStringLiteral("phone")));
    builder.afcFolder(QStringLiteral("DCIM"));
    const QString deviceFolder = builder.build();
    const QString afc = builder.afcRoot();

    // The library: every photo's file exists (empty), the first 2,000 have
    // a thumbnail record, a tenth are edited, every fiftieth a favourite.
    QList<PhotosDbFixture::Asset> assets;
    for (int i = 1; i <= kAssets; ++i) {
        PhotosDbFixture::Asset a;
        a.pk = i;
        a.fileName = QStringLiteral("IMG_%1.JPG").arg(i % 10000, 4, 10, QLatin1Char('0'));
        a.directory = QStringLiteral("DCIM/%1APPLE").arg(100 + (i - 1) / 1000);
        a.created = 400000000 + i * 60.0;
        a.sortToken = i;
        a.thumbnailIndex = (i - 1) % kThumbnails;
        a.favorite = i % 50 == 0;
        a.width = 1000;
        a.height = 1000;
        assets << a;
        QDir().mkpath(afc + QLatin1Char('/') + a.directory);
        QFile(afc + QLatin1Char('/') + a.directory + QLatin1Char('/') + a.fileName)
            .open(QIODevice::WriteOnly);
    }
    QList<PhotosDbFixture::AlbumRow> albums{{1, 1552, QString(), {}}};
    for (int i = 1; i <= kAssets; ++i)
        albums[0].assets << i;
    for (int i = 1; i <= kAlbums; ++i) {
        PhotosDbFixture::AlbumRow album;
        album.pk = i + 1;
        album.title = QStringLiteral("Album %1").arg(i);
        for (int k = 0; k < 100; ++k)
            album.assets << 1 + (i * 97 + k * 13) % kAssets;
        albums << album;
    }
    QString error;
    if (!PhotosDbFixture::write(afc + QStringLiteral("/PhotoData/Photos.sqlite"),
                                PhotosDbFixture::Schema{}, assets, albums, &error)) {
        std::fprintf(stderr, "bench_photosview: %s\n", qPrintable(error));
        return 1;
    }
    QByteArray thumbnails;
    for (int i = 0; i < kThumbnails; ++i)
        thumbnails += PhotosDbFixture::ithmbRecord(120, quint16(0x7C00 | (i & 0x3FF)));
    PhotosDbFixture::writeFile(afc, QStringLiteral("PhotoData/Thumbnails/120x120.ithmb"),
                               thumbnails);
    std::mt19937_64 random(7);
    QDir().mkpath(afc + QStringLiteral("/DCIM/900APPLE"));
    for (int i = 0; i < kPictures; ++i)
        if (!writeRandom(afc + QStringLiteral("/DCIM/900APPLE/BIG_%1.JPG").arg(i), kPictureBytes,
                         random))
            return 1;
    ::sync();

    auto simulator = std::make_shared<SimulatedMobileDevice>();
    auto iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    simulator->attach(deviceFolder);
    QELDeviceInterface device(simulator, iPods);
    ConnectWaiter waiter;
    device.setDelegate(&waiter);
    device.BeginDeviceConnectionDetect();
    if (!waiter.wait()) {
        std::fprintf(stderr, "the simulated device did not connect\n");
        return 1;
    }

    // 1. The view.
    double loadSeconds = 0;
    double loadGap = 0;
    double scrollGap = 0;
    double reselectGap = 0;
    int rows = 0;
    int thumbnailsShown = 0;
    if (!copyOnly) {
        QELPhotosView view(QRect(0, 0, 1200, 800));
        view.setDeviceInterface(&device);
        view.QWidget::resize(1200, 800);
        view.show();
        runEventsFor(200);
        GapMeter meter;
        meter.start();
        QElapsedTimer clock;
        clock.start();
        view.loadPhotos();
        if (!runEventsUntil([&] { return view.shownPage() != QLatin1String("loading"); }, 600000))
            return 1;
        // The browser's first screen drawn.
        runEventsFor(300);
        loadSeconds = double(clock.elapsed()) / 1000;
        loadGap = meter.longestMs();
        QListView* browser = view.imageBrowserView();
        rows = browser->model()->rowCount();
        meter.start();
        QScrollBar* bar = browser->verticalScrollBar();
        // A long flick through the library, a screen a frame.
        for (int value = 0; value <= bar->maximum(); value += browser->viewport()->height()) {
            bar->setValue(value);
            runEventsFor(16);
        }
        // Then back over the first rows, which have thumbnails, and wait for them.
        bar->setValue(0);
        runEventsFor(1000);
        scrollGap = meter.longestMs();
        // Another album, then the whole library again: the album lists are
        // worked out on the GUI thread.
        meter.start();
        QTreeView* outline = view.albumOutlineView();
        QAbstractItemModel* albums = outline->model();
        const QModelIndex library = albums->index(0, 0, albums->index(0, 0));
        const QModelIndex another = albums->index(0, 0, albums->index(albums->rowCount() - 1, 0));
        outline->selectionModel()->select(another, QItemSelectionModel::ClearAndSelect);
        runEventsFor(200);
        outline->selectionModel()->select(library, QItemSelectionModel::ClearAndSelect);
        runEventsFor(300);
        reselectGap = meter.longestMs();
        for (int row = 0; row < std::min(rows, 40); ++row)
            thumbnailsShown +=
                browser->model()->index(row, 0).data(Qt::DecorationRole).isNull() ? 0 : 1;
    }
    if (!copyOnly) {
        std::printf("photos view: %d assets in %d albums over a simulated iPhone\n", kAssets,
                    kAlbums);
        std::printf("  load to the first screen   %.2f s, longest event-loop gap %.1f ms\n",
                    loadSeconds, loadGap);
        std::printf(
            "  scroll through %d rows     longest event-loop gap %.1f ms (%d of the first 40 "
            "thumbnails shown)\n",
            rows, scrollGap, thumbnailsShown);
        std::printf("  another album, then all    longest event-loop gap %.1f ms\n", reselectGap);
    }

    // 2. The copy.
    QList<ImageDetailPtr> pictures;
    for (int i = 0; i < kPictures; ++i) {
        auto detail = std::make_shared<ImageDetail>();
        detail->imageID = i + 1;
        detail->fileName = QStringLiteral("BIG_%1.JPG").arg(i);
        detail->title = detail->fileName;
        detail->fullImagePath = QStringLiteral("DCIM/900APPLE/") + detail->fileName;
        pictures << detail;
    }
    // The originals are there: the copy never asks a reader for a picture.
    struct NoReader : QELDeviceImageLibraryReader {
        NoReader()
            : QELDeviceImageLibraryReader(QString(), QString(), QString())
        {
        }
        bool readImageDatabase() override { return true; }
    } noReader;
    std::vector<double> ours;
    std::vector<double> cp;
    std::vector<double> raw;
    const QString target = work.filePath(QStringLiteral("out"));
    bool ok = true;
    for (int run = -1; run < 3; ++run) {
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        ::sync();
        auto start = std::chrono::steady_clock::now();
        {
            QELCopyPhotos::Run copy(target);
            for (const ImageDetailPtr& picture : pictures) {
                QString path;
                ok &= QELCopyPhotos::copyPhoto(*picture, noReader, &device, copy, nullptr, &path,
                                               &error)
                    == QELCopyPhotos::CopyResult::Copied;
            }
            ok &= copy.batch().commit(&error);
        }
        const double a =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        QDir(target).removeRecursively();
        ::sync();
        start = std::chrono::steady_clock::now();
        ok &= QProcess::execute(
                  QStringLiteral("cp"),
                  {QStringLiteral("-r"), afc + QStringLiteral("/DCIM/900APPLE"), target})
            == 0;
        ::sync();
        const double b =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The device's own copy of the folder, the floor of any copy job.
        QDir(target).removeRecursively();
        ::sync();
        start = std::chrono::steady_clock::now();
        ok &= device.copyDirectoryFromDeviceAtToLocalPath(QStringLiteral("/DCIM/900APPLE"),
                                                          target + QStringLiteral("/raw"));
        ::sync();
        const double c =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (run >= 0) {
            ours.push_back(a);
            cp.push_back(b);
            raw.push_back(c);
        }
    }
    std::sort(raw.begin(), raw.end());
    QDir(target).removeRecursively();
    std::sort(ours.begin(), ours.end());
    std::sort(cp.begin(), cp.end());
    const double mib = double(kPictures) * double(kPictureBytes) / (1 << 20);
    std::printf("photo copy: %d pictures, %.0f MiB, warm, best of 3%s\n", kPictures, mib,
                ok ? "" : " (A COPY FAILED)");
    std::printf("  QELCopyPhotos  %.2f s (%.0f MiB/s)\n", ours.front(), mib / ours.front());
    std::printf("  cp -r + sync   %.2f s (%.0f MiB/s)\n", cp.front(), mib / cp.front());
    std::printf("  device folder copy + sync %.2f s (%.0f MiB/s)\n", raw.front(),
                mib / raw.front());
    std::printf("  speed of cp    %.0f %%\n", 100.0 * cp.front() / ours.front());
    device.shutdown();
    return ok ? 0 : 1;
}
