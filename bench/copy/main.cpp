// SPDX-License-Identifier: GPL-3.0-or-later
// Copies three trees of a simulated device (2,000 files of 4 KiB; 2,000 files
// of 4 KiB to 5 MiB; one 1 GiB file) to a local folder through
// QELDeviceInterface, and the same trees with `cp -r`, alternating, warm.
// Prints the minimum and median seconds of each and the ratio Orvane / cp.
//
//   bench_copy [scale]   scale 1 is the full size; 0.1 copies a tenth of it
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include "ConnectWaiter.h"
#include "IPodFramework.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

// Writes `size` bytes of pseudo-random data (incompressible, no sparse holes).
bool writeFile(const QString& path, qint64 size, std::mt19937_64& random)
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
        ok = ::write(fd, block.data(), static_cast<size_t>(n)) == n;
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

struct Figures {
    double min = 0;
    double median = 0;
};

Figures summarise(std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

double timed(const std::function<bool()>& run, bool* ok)
{
    const auto start = std::chrono::steady_clock::now();
    *ok = run() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const double scale = argc > 1 ? std::max(0.001, atof(argv[1])) : 1.0;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-copy-XXXXXX"));
    SimulatedDeviceBuilder builder(work.filePath(QStringLiteral("phone")));
    builder.afcFolder(QStringLiteral("Tiny"))
        .afcFolder(QStringLiteral("Mixed"))
        .afcFolder(QStringLiteral("Large"));
    const QString device = builder.build();
    const QString afc = builder.afcRoot();

    std::mt19937_64 random(42);
    const int fileCount = std::max(1, static_cast<int>(2000 * scale));
    for (int i = 0; i < fileCount; ++i) {
        const QString folder =
            afc + QStringLiteral("/Tiny/F%1").arg(i % 20, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        if (!writeFile(folder + QStringLiteral("/t%1.bin").arg(i), 4096, random))
            return 1;
    }
    std::uniform_int_distribution<qint64> mixedSize(4096, 5 * 1024 * 1024);
    qint64 mixedBytes = 0;
    for (int i = 0; i < fileCount; ++i) {
        const QString folder =
            afc + QStringLiteral("/Mixed/F%1").arg(i % 20, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        const qint64 size = mixedSize(random);
        mixedBytes += size;
        if (!writeFile(folder + QStringLiteral("/m%1.bin").arg(i), size, random))
            return 1;
    }
    const qint64 largeBytes = static_cast<qint64>(1024.0 * 1024 * 1024 * scale);
    if (!writeFile(afc + QStringLiteral("/Large/large.bin"), largeBytes, random))
        return 1;
    ::sync();

    auto simulator = std::make_shared<SimulatedMobileDevice>();
    auto iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    simulator->attach(device);
    QELDeviceInterface interface(simulator, iPods);
    ConnectWaiter waiter;
    interface.setDelegate(&waiter);
    interface.BeginDeviceConnectionDetect();
    if (!waiter.wait()) {
        std::fprintf(stderr, "the simulated device did not connect\n");
        return 1;
    }

    struct Tree {
        const char* name;
        QString folder;
        QString description;
    };
    const std::vector<Tree> trees = {
        {"tiny", QStringLiteral("Tiny"), QStringLiteral("%1 files of 4 KiB").arg(fileCount)},
        {"mixed", QStringLiteral("Mixed"),
         QStringLiteral("%1 files of 4 KiB-5 MiB, %2 MiB").arg(fileCount).arg(mixedBytes >> 20)},
        {"large", QStringLiteral("Large"),
         QStringLiteral("one file of %1 MiB").arg(largeBytes >> 20)},
    };
    std::printf("load before: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    bool allOk = true;
    for (const Tree& tree : trees) {
        std::vector<double> ours;
        std::vector<double> cp;
        const QString target =
            work.filePath(QStringLiteral("out-%1").arg(QLatin1String(tree.name)));
        // One untimed pass of each warms the page cache and the code.
        for (int run = -1; run < runs; ++run) {
            bool ok = true;
            QDir(target).removeRecursively();
            // Each side starts with nothing of the other's left to write back,
            // so neither pays for the other's dirty pages.
            ::sync();
            const double a = timed(
                [&] {
                    return interface.copyDirectoryFromDeviceAtToLocalPath(
                        QLatin1Char('/') + tree.folder, target);
                },
                &ok);
            QDir(target).removeRecursively();
            ::sync();
            const double b = timed(
                [&] {
                    return QProcess::execute(
                               QStringLiteral("cp"),
                               {QStringLiteral("-r"), afc + QLatin1Char('/') + tree.folder, target})
                        == 0;
                },
                &ok);
            QDir(target).removeRecursively();
            if (!ok) {
                std::fprintf(stderr, "copy of %s failed\n", tree.name);
                allOk = false;
            }
            if (run >= 0) {
                ours.push_back(a);
                cp.push_back(b);
            }
        }
        const Figures o = summarise(ours);
        const Figures c = summarise(cp);
        std::printf(
            "%-6s (%s): Orvane min %.3f s median %.3f s | cp -r min %.3f s median %.3f s | ratio "
            "min %.2fx median %.2fx\n",
            tree.name, qPrintable(tree.description), o.min, o.median, c.min, c.median,
            o.min / c.min, o.median / c.median);
    }
    std::printf("load after: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    interface.shutdown();
    return allOk ? 0 : 1;
}
