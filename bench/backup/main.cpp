// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-mobilebackup --backup` of a simulated device of 10,000 files and
// 1 GiB, against `cp -r` of the device's tree followed by one `sync`, run
// alternately. Prints the minimum and median seconds and the ratio, for a
// backup that replaces the previous one (as a user's next backup does) and
// for a first backup, so that the cost of removing the old one shows.
//
//   bench_backup [scale] [runs]   scale 1 is the full size
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BackupFixtures.h"

namespace {

bool writeFile(const QString& path, qint64 size, std::mt19937_64& random)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    std::vector<uint64_t> block(1 << 16);
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

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double scale = argc > 1 ? std::max(0.001, atof(argv[1])) : 1.0;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench-backup-XXXXXX"));
    const QString udid = QStringLiteral("0000BENCH0000000000000000000000000000BACK");
    SimulatedBackupDevice phone(work.filePath(QStringLiteral("phone")), udid);
    const QString device = phone.write();
    const QString source = device + QStringLiteral("/backup");

    // Sizes spread from 1 KiB to about 400 KiB, averaging ~100 KiB, so that
    // 10,000 files make about 1 GiB.
    const int fileCount = std::max(10, static_cast<int>(10000 * scale));
    const qint64 targetBytes = static_cast<qint64>(1024.0 * 1024 * 1024 * scale);
    std::mt19937_64 random(7);
    std::exponential_distribution<double> spread(1.0);
    qint64 total = 0;
    const char* domains[] = {"HomeDomain", "MediaDomain", "CameraRollDomain",
                             "AppDomain-com.example.notes"};
    for (int i = 0; i < fileCount; ++i) {
        const QString folder = source
            + QStringLiteral("/%1/Library/F%2")
                  .arg(QLatin1String(domains[i % 4]))
                  .arg(i % 50, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        qint64 size = static_cast<qint64>(spread(random) * double(targetBytes) / fileCount);
        size = std::clamp<qint64>(size, 1024, 8 * targetBytes / fileCount);
        total += size;
        if (!writeFile(folder + QStringLiteral("/file%1.dat").arg(i), size, random))
            return 1;
    }
    ::sync();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVANE_SIMULATED_DEVICES"), device);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    const QString tool = backupToolPath();
    const QString cpTarget = work.filePath(QStringLiteral("cp-copy"));

    std::printf("device: %d files, %lld MiB\n", fileCount, static_cast<long long>(total >> 20));
    std::printf("load before: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    const QString backupFolder =
        work.filePath(QStringLiteral("data/Orvane/MobileSync/Backup/")) + udid;
    const QString setAside = work.filePath(QStringLiteral("set-aside"));
    bool ok = true;
    const auto backUp = [&] {
        QProcess backup;
        backup.setProcessEnvironment(environment);
        const auto start = std::chrono::steady_clock::now();
        backup.start(tool, {QStringLiteral("--backup"), QStringLiteral("--target"), udid});
        backup.waitForFinished(-1);
        const double taken = seconds(start);
        if (backup.exitStatus() != QProcess::NormalExit || backup.exitCode() != 0) {
            std::fprintf(stderr, "backup failed: %s\n", backup.readAll().constData());
            ok = false;
        }
        return taken;
    };
    std::vector<double> ours;
    std::vector<double> fresh;
    std::vector<double> baseline;
    for (int run = -1; run < runs; ++run) {
        // Each run replaces the previous backup, as a user's next backup does.
        const double a = backUp();
        QDir(cpTarget).removeRecursively();
        ::sync();
        auto start = std::chrono::steady_clock::now();
        ok = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), source, cpTarget}) == 0
            && ok;
        ::sync();
        const double b = seconds(start);
        QDir(cpTarget).removeRecursively();
        // A first backup: the previous one is moved out of the tool's sight
        // and removed only after the run.
        ok = QDir().rename(backupFolder, setAside) && ok;
        ::sync();
        const double c = backUp();
        QDir(setAside).removeRecursively();
        ::sync();
        if (run >= 0) {
            ours.push_back(a);
            fresh.push_back(c);
            baseline.push_back(b);
        }
    }
    std::sort(ours.begin(), ours.end());
    std::sort(fresh.begin(), fresh.end());
    std::sort(baseline.begin(), baseline.end());
    const double oMin = ours.front(), oMed = ours[ours.size() / 2];
    const double fMin = fresh.front(), fMed = fresh[fresh.size() / 2];
    const double bMin = baseline.front(), bMed = baseline[baseline.size() / 2];
    std::printf("backup: Orvane min %.3f s median %.3f s | cp -r + sync min %.3f s median %.3f s | "
                "ratio min "
                "%.2fx median %.2fx\n",
                oMin, oMed, bMin, bMed, oMin / bMin, oMed / bMed);
    std::printf("first backup: Orvane min %.3f s median %.3f s | cp -r + sync min %.3f s median "
                "%.3f s | ratio min %.2fx median %.2fx\n",
                fMin, fMed, bMin, bMed, fMin / bMin, fMed / bMed);
    std::printf("load after: ");
    std::fflush(stdout);
    QProcess::execute(QStringLiteral("uptime"), {});
    return ok ? 0 : 1;
}
