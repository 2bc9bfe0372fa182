// Decrypts a generated device-encrypted backup (default 10,000 files, 1 GiB)
// after one key derivation with the device's round counts, and decrypts the
// same stored bytes with `openssl enc -d -aes-256-cbc` in the same run. Then
// times the lookups of two categories through the backup tool, as the views
// make them, on a small backup with the same round counts: the password test
// derives the key, and no lookup after it derives it again.
//
//   bench_backupcrypto [TOTAL_MIB [FILES [THREADS]]]  (THREADS: 4 unless given)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include "BackupKeyBag.h"
#include "BackupKeyCache.h"
#include "EncryptedBackup.h"
#include "EncryptedBackupWriter.h"
#include "Locations.h"
#include "Plist.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The password test and two categories' lookups (a database with its "-wal"
// and "-shm", three tool runs each) on a backup with the device's round counts.
bool timeCategoryLookups(const QString& password)
{
    const QString udid = QStringLiteral("bench-lookups");
    const QString home = QStringLiteral("HomeDomain");
    EncryptedBackupWriter writer(Locations::backupRoot() + QLatin1Char('/') + udid, password);
    writer
        .rounds(EncryptedBackupWriter::kDevicePasswordRounds,
                EncryptedBackupWriter::kDeviceIterations)
        .file(home, QStringLiteral("Library/Preferences/com.apple.springboard.plist"), "<plist/>")
        .file(home, QStringLiteral("Library/SMS/sms.db"), QByteArray(1 << 20, 's'))
        .file(home, QStringLiteral("Library/SMS/sms.db-wal"), QByteArray(1 << 16, 'w'))
        .file(home, QStringLiteral("Library/SMS/sms.db-shm"), QByteArray(1 << 15, 'm'))
        .file(home, QStringLiteral("Library/Voicemail/voicemail.db"), QByteArray(1 << 18, 'v'))
        .file(home, QStringLiteral("Library/Voicemail/voicemail.db-wal"), QByteArray(100, 'w'));
    if (!writer.write())
        return false;
    const auto keys = std::make_shared<BackupKeyCache>();
    const BackupToolSettings tool{QString(), {}, keys};
    auto start = Clock::now();
    const bool passed = QELDeviceBackupBrowser::
                            TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                                QStringLiteral("Library/Preferences/com.apple.springboard.plist"),
                                udid, password, home, tool)
        == QELDeviceBackupBrowser::PasswordTestResult::Passed;
    const double test = secondsSince(start);
    QELDeviceBackup backup(tool);
    backup.setDeviceUID(udid);
    backup.setPassword(password);
    start = Clock::now();
    const bool messages = !backup.GetPathToDataOfType(5).isEmpty();
    const double first = secondsSince(start);
    start = Clock::now();
    const bool voicemail = !backup.GetPathToDataOfType(6).isEmpty();
    const double second = secondsSince(start);
    std::printf("password test: %.2f s; messages lookup: %.2f s; voicemail lookup: %.2f s; "
                "key derivations in all: %d\n",
                test, first, second, keys->derivationCount());
    return passed && messages && voicemail;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane.info=false"));
    const qint64 totalMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int files = argc > 2 ? QByteArray(argv[2]).toInt() : 10000;
    const int threads = argc > 3 ? QByteArray(argv[3]).toInt() : 4;
    if (totalMiB <= 0 || files <= 0 || threads <= 0) {
        std::fprintf(stderr, "usage: bench_backupcrypto [TOTAL_MIB [FILES [THREADS]]]\n");
        return 2;
    }
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    const QString folder = home.filePath(QStringLiteral("backup"));
    const QString password = QStringLiteral("a backup password");
    const int64_t fileSize = totalMiB * 1024 * 1024 / files;

    std::printf("writing %d files of %lld bytes (%lld MiB) with DPIC %d, ITER %d ...\n", files,
                static_cast<long long>(fileSize), static_cast<long long>(totalMiB),
                EncryptedBackupWriter::kDevicePasswordRounds,
                EncryptedBackupWriter::kDeviceIterations);
    std::fflush(stdout);
    EncryptedBackupWriter writer(folder, password);
    writer.rounds(EncryptedBackupWriter::kDevicePasswordRounds,
                  EncryptedBackupWriter::kDeviceIterations);
    for (int i = 0; i < files; ++i)
        writer.generatedFile(QStringLiteral("HomeDomain"),
                             QStringLiteral("Library/Bench/file%1.bin").arg(i), fileSize);
    if (!writer.write()) {
        std::fprintf(stderr, "cannot write the backup\n");
        return 1;
    }

    // One derivation alone: what the password test and every tool run pay.
    QString error;
    const QVariantMap plist = Plist::readFile(folder + QStringLiteral("/Manifest.plist")).toMap();
    std::optional<BackupKeyBag> bag =
        BackupKeyBag::parse(plist.value(QStringLiteral("BackupKeyBag")).toByteArray(), &error);
    if (!bag) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    auto start = Clock::now();
    if (bag->unlock(password, &error) != BackupKeyBag::UnlockResult::Unlocked) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double derivation = secondsSince(start);

    // Opening the backup: derivation, manifest key, Manifest.db decrypted and read.
    start = Clock::now();
    std::optional<EncryptedBackup> backup;
    if (EncryptedBackup::open(folder, password, &backup, &error)
        != EncryptedBackup::Status::Opened) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double opening = secondsSince(start);

    // The same stored bytes in one file for openssl (made before the clock runs).
    const QString joined = home.filePath(QStringLiteral("joined.bin"));
    qint64 storedBytes = 0;
    {
        QFile out(joined);
        out.open(QIODevice::WriteOnly);
        for (const BackupManifestEntry& entry : backup->manifest().entries()) {
            QFile in(backup->manifest().storedFilePath(entry));
            in.open(QIODevice::ReadOnly);
            const QByteArray bytes = in.readAll();
            storedBytes += bytes.size();
            out.write(bytes);
        }
    }

    // Every run decrypts into a folder of its own, all removed at the end: on a
    // file system that passes over recently freed inodes when it makes a new
    // one, files made right after 10,000 were removed cost several times more.
    const std::vector<BackupManifestEntry> entries(backup->manifest().entries().begin(),
                                                   backup->manifest().entries().end());
    auto decryptInto = [&](const QString& name, int threadCount, int* decrypted) {
        const QString folder = home.filePath(name);
        QDir().mkpath(folder);
        const std::vector<BackupCrypto::FileOutcome> outcomes =
            BackupCrypto::decryptEach(entries.size(), threadCount, [&](size_t i, QString* reason) {
                return backup->decryptEntry(entries[i],
                                            folder + QLatin1Char('/') + entries[i].fileID, reason);
            });
        *decrypted = 0;
        for (const BackupCrypto::FileOutcome& outcome : outcomes) {
            if (outcome.result != BackupCrypto::FileResult::Ok) {
                std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
                return false;
            }
            ++*decrypted;
        }
        return true;
    };
    const QByteArray check = EncryptedBackupWriter::generatedContent(
        QStringLiteral("HomeDomain"), QStringLiteral("Library/Bench/file7.bin"), fileSize);
    const QString sampleID =
        backup->manifest()
            .find(QStringLiteral("HomeDomain"), QStringLiteral("Library/Bench/file7.bin"))
            ->fileID;
    auto identicalIn = [&](const QString& name) {
        QFile sample(home.filePath(name) + QLatin1Char('/') + sampleID);
        return sample.open(QIODevice::ReadOnly) && sample.readAll() == check;
    };
    auto runOpenssl = [&](const QString& output) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::ForwardedChannels);
        const auto began = Clock::now();
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-cbc"),
                       QStringLiteral("-nopad"), QStringLiteral("-K"),
                       QString(64, QLatin1Char('4')), QStringLiteral("-iv"),
                       QString(32, QLatin1Char('0')), QStringLiteral("-in"), joined,
                       QStringLiteral("-out"), home.filePath(output)});
        const bool ran = openssl.waitForFinished(-1) && openssl.exitCode() == 0;
        return ran ? secondsSince(began) : -1.0;
    };

    // One thread, right after the backup was written, as this bench always did.
    int decrypted = 0;
    start = Clock::now();
    if (!decryptInto(QStringLiteral("plain"), 1, &decrypted))
        return 1;
    const double ours = secondsSince(start);
    bool identical = identicalIn(QStringLiteral("plain"));
    const double theirs = runOpenssl(QStringLiteral("joined.plain"));

    // Then with what is still being written out of the setup flushed first,
    // so that neither side shares the disk with it: on `threads` threads, and
    // openssl again.
    ::sync();
    int decryptedSideBySide = 0;
    start = Clock::now();
    if (!decryptInto(QStringLiteral("plain-threads"), threads, &decryptedSideBySide))
        return 1;
    const double sideBySide = secondsSince(start);
    identical = identical && identicalIn(QStringLiteral("plain-threads"));
    ::sync();
    const double theirsSynced = runOpenssl(QStringLiteral("joined.plain-synced"));

    // What the file system alone costs: the stored bytes copied, undecrypted,
    // into as many new files on the same threads.
    ::sync();
    const QString copies = home.filePath(QStringLiteral("copies"));
    QDir().mkpath(copies);
    start = Clock::now();
    const std::vector<BackupCrypto::FileOutcome> copied =
        BackupCrypto::decryptEach(entries.size(), threads, [&](size_t i, QString*) {
            QFile in(backup->manifest().storedFilePath(entries[i]));
            QFile out(copies + QLatin1Char('/') + entries[i].fileID);
            const bool done = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly)
                && out.write(in.readAll()) == in.size();
            return done ? BackupCrypto::FileResult::Ok : BackupCrypto::FileResult::Failed;
        });
    const double copying = secondsSince(start);
    const bool allCopied =
        std::all_of(copied.begin(), copied.end(), [](const BackupCrypto::FileOutcome& outcome) {
            return outcome.result == BackupCrypto::FileResult::Ok;
        });
    for (const char* folderName : {"plain", "plain-threads", "copies"})
        QDir(home.filePath(QLatin1String(folderName))).removeRecursively();

    const double mib = double(storedBytes) / (1024.0 * 1024.0);
    std::printf("key derivation (PBKDF2-SHA256 x %lld, then PBKDF2-SHA1 x %lld): %.2f s\n",
                static_cast<long long>(bag->passwordIterations()),
                static_cast<long long>(bag->iterations()), derivation);
    std::printf("opening the backup (derivation, manifest key, Manifest.db of %d rows): %.2f s\n",
                files, opening);
    std::printf(
        "decrypting %d files, %.0f MiB stored: %.2f s, %.0f MiB/s (content identical: %s)\n",
        decrypted, mib, ours, mib / ours, identical ? "yes" : "NO");
    if (theirs > 0)
        std::printf(
            "openssl enc -d -aes-256-cbc on the same %.0f MiB (one file): %.2f s, %.0f MiB/s\n"
            "ours / openssl: %.0f %%\n",
            mib, theirs, mib / theirs, 100.0 * theirs / ours);
    else
        std::printf("openssl enc could not be run\n");
    std::printf("after a sync: decrypting %d files on %d threads: %.2f s, %.0f MiB/s\n",
                decryptedSideBySide, threads, sideBySide, mib / sideBySide);
    if (theirsSynced > 0)
        std::printf("after a sync: openssl enc (one file, one thread): %.2f s, %.0f MiB/s\n"
                    "ours on %d threads / openssl, both after a sync: %.0f %%\n",
                    theirsSynced, mib / theirsSynced, threads, 100.0 * theirsSynced / sideBySide);
    std::printf("after a sync: copying the stored files undecrypted into %d new files on %d "
                "threads: %.2f s, %.0f MiB/s%s\n",
                files, threads, copying, mib / copying, allCopied ? "" : " (some FAILED)");
    const bool lookedUp = timeCategoryLookups(password);
    return identical && lookedUp ? 0 : 1;
}
