// The lookups of a connection on an encrypted backup of a real size (default
// 150,000 files, the device's round counts), against the same backup plain:
// the first lookup (key derivation and the manifest decrypted once), every
// lookup after it, and a view's 500 attachments asked for at once and one by
// one. For comparison, a few lookups as they were made before: one run of the
// backup tool per file, which decrypts and reads the whole manifest again.
//
//   bench_backuplookups [FILES [ATTACHMENTS [TOOL_RUNS]]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "BackupKeyCache.h"
#include "EncryptedBackupWriter.h"
#include "Locations.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const QString kHome = QStringLiteral("HomeDomain");
const QString kMedia = QStringLiteral("MediaDomain");

QString attachmentPath(int i)
{
    return QStringLiteral("Library/SMS/Attachments/%1/%2/IMG_%3.JPG")
        .arg(i % 256, 2, 16, QLatin1Char('0'))
        .arg(i % 16, 2, 16, QLatin1Char('0'))
        .arg(i, 4, 10, QLatin1Char('0'));
}

constexpr int64_t kAttachmentSize = 60 * 1024;

// The files of the backup: the categories' databases, the attachments, and
// as many photos as it takes to reach `files`.
template <typename AddFile> void describe(int files, int attachments, AddFile add)
{
    const QList<QPair<QString, QString>> databases{
        {kHome, QStringLiteral("Library/AddressBook/AddressBook.sqlitedb")},
        {kHome, QStringLiteral("Library/Calendar/Calendar.sqlitedb")},
        {kHome, QStringLiteral("Library/SMS/sms.db")},
        {kHome, QStringLiteral("Library/SMS/sms.db-wal")},
        {kHome, QStringLiteral("Library/Voicemail/voicemail.db")},
        {kHome, QStringLiteral("Library/CallHistoryDB/CallHistory.storedata")},
        {kHome, QStringLiteral("Library/Safari/Bookmarks.db")},
        {QStringLiteral("AppDomainGroup-group.com.apple.notes"),
         QStringLiteral("NoteStore.sqlite")},
    };
    for (const auto& database : databases)
        add(database.first, database.second, int64_t(256 * 1024));
    for (int i = 0; i < attachments; ++i)
        add(kMedia, attachmentPath(i), kAttachmentSize);
    for (int i = 0; i < files - attachments - databases.size(); ++i)
        add(QStringLiteral("CameraRollDomain"),
            QStringLiteral("Media/DCIM/%1APPLE/IMG_%2.HEIC").arg(100 + i / 1000).arg(i),
            int64_t(512));
}

// Removes the private folder of one answer (and nothing else).
void removeAnswer(const QString& path)
{
    const QString folder = path.section(QLatin1Char('/'), 0, -2);
    if (!path.isEmpty() && folder.startsWith(Locations::temporaryFolder() + QLatin1Char('/')))
        QDir(folder).removeRecursively();
}

struct Figures {
    double first = 0;
    std::vector<double> later;
    double batch = 0;
    double oneByOne = 0;
    bool ok = true;
};

Figures lookups(const QString& udid, const std::optional<QString>& password, int attachments,
                const BackupToolSettings& tool)
{
    Figures figures;
    QELDeviceBackup backup(tool);
    backup.setDeviceUID(udid);
    backup.setPassword(password);
    auto start = Clock::now();
    figures.ok = !backup.GetPathToDataOfType(5).isEmpty();
    figures.first = msSince(start);
    // The other categories' databases, one missing type, and single attachments.
    for (const int type : {0, 1, 4, 6, 15, 10, 2, 9}) {
        start = Clock::now();
        const bool found = !backup.GetPathToDataOfType(type).isEmpty();
        figures.later.push_back(msSince(start));
        figures.ok = figures.ok && found == (type != 2 && type != 9);
    }
    for (int i = 0; i < 20; ++i) {
        start = Clock::now();
        figures.ok = figures.ok
            && !backup
                    .GetPathForDeviceFileNameInDomain(attachmentPath(i * 17 % attachments), kMedia)
                    .isEmpty();
        figures.later.push_back(msSince(start));
    }
    QList<BackupFileRequest> files;
    for (int i = 0; i < attachments; ++i)
        files.append({attachmentPath(i), kMedia});
    start = Clock::now();
    const QStringList paths = backup.GetPathsForDeviceFiles(files);
    figures.batch = msSince(start);
    figures.ok = figures.ok
        && std::none_of(paths.begin(), paths.end(), [](const QString& p) { return p.isEmpty(); });
    for (const QString& path : paths)
        removeAnswer(path);
    QStringList single;
    start = Clock::now();
    for (const BackupFileRequest& file : files)
        single.append(backup.GetPathForDeviceFileNameInDomain(file.path, file.domain));
    figures.oneByOne = msSince(start);
    for (const QString& path : single) {
        figures.ok = figures.ok && QFile(path).size() == kAttachmentSize;
        removeAnswer(path);
    }
    return figures;
}

void print(const char* name, const Figures& f, int attachments)
{
    std::vector<double> later = f.later;
    std::sort(later.begin(), later.end());
    std::printf("%s: first lookup %.0f ms; %zu lookups after it: median %.2f ms, slowest %.2f ms; "
                "%d attachments at once %.0f ms, one by one %.0f ms%s\n",
                name, f.first, later.size(), later[later.size() / 2], later.back(), attachments,
                f.batch, f.oneByOne, f.ok ? "" : " (SOME LOOKUPS FAILED)");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane.info=false"));
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 150000;
    const int attachments = argc > 2 ? QByteArray(argv[2]).toInt() : 500;
    const int toolRuns = argc > 3 ? QByteArray(argv[3]).toInt() : 3;
    if (files < attachments + 20 || attachments <= 0 || toolRuns < 0) {
        std::fprintf(stderr, "usage: bench_backuplookups [FILES [ATTACHMENTS [TOOL_RUNS]]]\n");
        return 2;
    }
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    const QString password = QStringLiteral("a backup password");
    const QString encryptedUdid = QStringLiteral("bench-encrypted");
    const QString plainUdid = QStringLiteral("bench-plain");

    std::printf("writing two backups of %d files (%d attachments of %lld KiB), one encrypted with "
                "DPIC %d, ITER %d ...\n",
                files, attachments, static_cast<long long>(kAttachmentSize / 1024),
                EncryptedBackupWriter::kDevicePasswordRounds,
                EncryptedBackupWriter::kDeviceIterations);
    std::fflush(stdout);
    EncryptedBackupWriter writer(Locations::backupRoot() + QLatin1Char('/') + encryptedUdid,
                                 password);
    writer.rounds(EncryptedBackupWriter::kDevicePasswordRounds,
                  EncryptedBackupWriter::kDeviceIterations);
    ManifestDbBackupBuilder plain(Locations::backupRoot() + QLatin1Char('/') + plainUdid);
    describe(files, attachments, [&](const QString& domain, const QString& path, int64_t size) {
        writer.generatedFile(domain, path, size);
        plain.file(domain, path, EncryptedBackupWriter::generatedContent(domain, path, size));
    });
    if (!writer.write()) {
        std::fprintf(stderr, "cannot write the encrypted backup\n");
        return 1;
    }
    plain.write();

    std::printf("written; looking up ...\n");
    std::fflush(stdout);
    const auto keys = std::make_shared<BackupKeyCache>();
    const BackupToolSettings tool{QString(), {}, keys};
    const Figures encrypted = lookups(encryptedUdid, password, attachments, tool);
    const Figures unencrypted = lookups(plainUdid, std::nullopt, attachments, tool);
    print("encrypted", encrypted, attachments);
    print("plain    ", unencrypted, attachments);
    std::printf("encrypted / plain, %d attachments at once: %.2f x; one by one: %.2f x\n",
                attachments, encrypted.batch / unencrypted.batch,
                encrypted.oneByOne / unencrypted.oneByOne);

    // As lookups were made before: a run of the tool per file, the key handed
    // to it (derived above), the manifest decrypted and read by every run.
    for (int i = 0; i < toolRuns; ++i) {
        const QString scratch = Locations::makeScratchFolder(QStringLiteral("bench"));
        const auto start = Clock::now();
        const bool extracted = QELDeviceBackupBrowser::
            ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
                attachmentPath(i), encryptedUdid, password, kMedia, scratch, tool);
        std::printf("one file through a run of the backup tool: %.0f ms%s\n", msSince(start),
                    extracted ? "" : " (FAILED)");
        std::fflush(stdout);
        QDir(scratch).removeRecursively();
    }
    return encrypted.ok && unencrypted.ok ? 0 : 1;
}
