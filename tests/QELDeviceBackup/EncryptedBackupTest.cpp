// Backups that the device encrypted itself, read through the backup tool's
// command lines and QELDeviceBackup's lookups as the categories make them.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "BackupFixtures.h"
#include "BackupKeyCache.h"
#include "DeviceBackupTestSupport.h"
#include "EncryptedBackup.h"
#include "EncryptedBackupWriter.h"
#include "Locations.h"
#include "Plist.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "TestEnvironment.h"

namespace {

const QString kHome = QStringLiteral("HomeDomain");
const QString kPasswordTestFile = QStringLiteral("Library/Preferences/com.apple.springboard.plist");

QString backupFolder(const QString& udid)
{
    return Locations::backupRoot() + QLatin1Char('/') + udid;
}

QProcessEnvironment withPassword(const std::optional<QString>& password,
                                 const QString& extractTo = {})
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("ORVANE_SIMULATED_DEVICES"), QString());
    if (password)
        env.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), *password);
    if (!extractTo.isEmpty())
        env.insert(QStringLiteral("ORVANE_EXTRACT_TO"), extractTo);
    return env;
}

// Every file below a folder with the SHA-1 of its content, to see that a
// lookup wrote nothing there.
QMap<QString, QByteArray> contentsBelow(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path),
                     QFileInfo(path).isFile()
                         ? QCryptographicHash::hash(readFixtureFile(path), QCryptographicHash::Sha1)
                         : QByteArray());
    }
    return files;
}

struct FixtureFile {
    QString domain;
    QString relativePath;
    QByteArray content;
};

// The files of the seven backup-derived categories, a database with its
// companions, an attachment with a hostile-looking name, sizes on and off the
// cipher's block boundary, and two empty files: one without a stored file, as
// devices write them, and one stored as a block of padding.
QList<FixtureFile> deviceFiles()
{
    return {
        {kHome, QStringLiteral("Library/AddressBook/AddressBook.sqlitedb"),
         QByteArray("SQLite format 3\0contacts", 24)},
        {kHome, QStringLiteral("Library/Calendar/Calendar.sqlitedb"), QByteArray(4096, 'c')},
        {kHome, QStringLiteral("Library/Notes/notes.sqlite"), QByteArray("notes")},
        {kHome, QStringLiteral("Library/SMS/sms.db"),
         EncryptedBackupWriter::generatedContent(kHome, "sms", 1'500'001)},
        {kHome, QStringLiteral("Library/SMS/sms.db-wal"), QByteArray(32, 'w')},
        {kHome, QStringLiteral("Library/SMS/sms.db-shm"), QByteArray(15, 's')},
        {kHome, QStringLiteral("Library/Voicemail/voicemail.db"), QByteArray("voicemail")},
        {QStringLiteral("WirelessDomain"), QStringLiteral("Library/CallHistory/call_history.db"),
         QByteArray("calls")},
        {kHome, QStringLiteral("Library/Safari/Bookmarks.db"), QByteArray("bookmarks")},
        {kHome, kPasswordTestFile, QByteArray("<plist/>")},
        {QStringLiteral("MediaDomain"), QStringLiteral("Library/SMS/Attachments/ab/IMG, 1 ä.jpg"),
         QByteArray(70000, '\xD8')},
        {kHome, QStringLiteral("Library/empty.txt"), QByteArray()},
        {kHome, QStringLiteral("Library/empty-padded.txt"), QByteArray()},
    };
}

EncryptedBackupWriter writerFor(const QString& udid, const QString& password)
{
    EncryptedBackupWriter writer(backupFolder(udid), password);
    for (const FixtureFile& file : deviceFiles())
        writer.file(file.domain, file.relativePath, file.content);
    writer.storedEvenIfEmpty(kHome, QStringLiteral("Library/empty-padded.txt"));
    writer.directory(kHome, QStringLiteral("Library/SMS"));
    return writer;
}

class EncryptedBackup : public ::testing::TestWithParam<QString> {};

// Any password a user may have set: plain, non-ASCII, empty.
INSTANTIATE_TEST_SUITE_P(Passwords, EncryptedBackup,
                         ::testing::Values(QStringLiteral("open sesame"),
                                           QStringLiteral("pässwörd ключ 密码 🔑"), QString()),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             return std::to_string(info.index);
                         });

TEST_P(EncryptedBackup, ToolListsNamesAndExtractsByteIdenticalFiles)
{
    const QString udid = QStringLiteral("encrypted-phone");
    ASSERT_TRUE(writerFor(udid, GetParam()).write());
    const QMap<QString, QByteArray> before = contentsBelow(Locations::backupRoot());
    const QString out = Locations::makeScratchFolder(QStringLiteral("test-out"));

    const ToolRun listing =
        runBackupTool({"--list", "--source", udid, "--target", udid}, withPassword(GetParam()));
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    const QStringList lines =
        QString::fromUtf8(listing.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), deviceFiles().size());
    for (const FixtureFile& file : deviceFiles()) {
        SCOPED_TRACE(file.relativePath.toStdString());
        const QString id = backupFileIdentifier(file.domain, file.relativePath);
        const QString stored = id.left(2) + QLatin1Char('/') + id;
        bool listed = false;
        for (const QString& line : lines) {
            const QStringList fields = line.split(QLatin1Char(','));
            if (fields.at(0) == stored) {
                listed = true;
                EXPECT_EQ(fields.at(2).toLongLong(), file.content.size());
                EXPECT_EQ(fields.at(11), file.domain);
                EXPECT_EQ(fields.mid(12).join(QLatin1Char(',')), file.relativePath);
            }
        }
        EXPECT_TRUE(listed);
        const ToolRun name =
            runBackupTool({"--filename", file.relativePath, "-s", udid, "-D", file.domain},
                          withPassword(GetParam()));
        // An empty file without a stored file is in no backup file.
        if (QFileInfo::exists(backupFolder(udid) + QLatin1Char('/') + stored))
            EXPECT_EQ(name.out.trimmed(), stored.toUtf8());
        else
            EXPECT_EQ(name.exitCode, 1);
        const ToolRun run =
            runBackupTool({"--extract", file.relativePath, "-D", file.domain, "-s", udid},
                          withPassword(GetParam(), out));
        ASSERT_EQ(run.exitCode, 0) << run.output().constData();
        EXPECT_TRUE(readFixtureFile(out + QLatin1Char('/')
                                    + file.relativePath.section(QLatin1Char('/'), -1))
                    == file.content);
    }
    // Nothing decrypted was left beside the backup, nor in the temporary folder.
    EXPECT_EQ(contentsBelow(Locations::backupRoot()), before);
    EXPECT_EQ(QDir(Locations::temporaryFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(out).fileName()});
}

TEST_P(EncryptedBackup, PasswordTestPassesOnlyWithThePassword)
{
    const QString udid = QStringLiteral("password-phone");
    ASSERT_TRUE(writerFor(udid, GetParam()).write());
    using Result = QELDeviceBackupBrowser::PasswordTestResult;
    auto test = [&](const std::optional<QString>& password) {
        return QELDeviceBackupBrowser::
            TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                kPasswordTestFile, udid, password, kHome);
    };
    EXPECT_EQ(test(GetParam()), Result::Passed);
    EXPECT_EQ(test(GetParam() + QStringLiteral("x")), Result::WrongPassword);
    EXPECT_EQ(test(GetParam().isEmpty() ? QStringLiteral(" ") : QString()), Result::WrongPassword);
    EXPECT_EQ(test(std::nullopt), Result::WrongPassword);
    for (const auto& arguments : {QStringList{"--list", "--source", udid, "--target", udid},
                                  QStringList{"--extract", kPasswordTestFile, "-s", udid}}) {
        const ToolRun wrong =
            runBackupTool(arguments, withPassword(GetParam() + QStringLiteral("?")));
        EXPECT_EQ(wrong.exitCode, 3);
        EXPECT_TRUE(wrong.err.contains("password is not correct")) << wrong.output().constData();
    }
    EXPECT_FALSE(QFileInfo::exists(Locations::backupRoot()
                                   + QStringLiteral("/com.apple.springboard.plist")));
}

// A device of iOS 9 or older encrypts its backup in the Manifest.mbdb
// generation: the same key bag (without the SHA-256 step), the manifest in the
// clear, each record with its file's protection class and wrapped key, files
// stored flat. Its files decrypt, through the tool and in this process, and
// its password is tested the same way.
TEST_P(EncryptedBackup, TheManifestMbdbGenerationDecryptsAndTestsItsPassword)
{
    const QString udid = QStringLiteral("ios9-phone");
    ASSERT_TRUE(writerFor(udid, GetParam()).mbdbGeneration().write());
    ASSERT_TRUE(QFileInfo::exists(backupFolder(udid) + QStringLiteral("/Manifest.mbdb")));
    const QString out = Locations::makeScratchFolder(QStringLiteral("test-out"));
    for (const FixtureFile& file : deviceFiles()) {
        SCOPED_TRACE(file.relativePath.toStdString());
        const ToolRun run =
            runBackupTool({"--extract", file.relativePath, "-D", file.domain, "-s", udid},
                          withPassword(GetParam(), out));
        ASSERT_EQ(run.exitCode, 0) << run.output().constData();
        EXPECT_TRUE(readFixtureFile(out + QLatin1Char('/')
                                    + file.relativePath.section(QLatin1Char('/'), -1))
                    == file.content);
    }
    // Its clear manifest lists without the password, as it always did.
    const ToolRun listing =
        runBackupTool({"--list", "--source", udid, "--target", udid}, withPassword(std::nullopt));
    EXPECT_EQ(listing.exitCode, 0) << listing.output().constData();
    EXPECT_EQ(QString::fromUtf8(listing.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(),
              deviceFiles().size());

    using Result = QELDeviceBackupBrowser::PasswordTestResult;
    auto test = [&](const std::optional<QString>& password) {
        return QELDeviceBackupBrowser::
            TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                kPasswordTestFile, udid, password, kHome);
    };
    EXPECT_EQ(test(GetParam()), Result::Passed);
    EXPECT_EQ(test(GetParam() + QStringLiteral("x")), Result::WrongPassword);
    EXPECT_EQ(test(std::nullopt), Result::WrongPassword);
    const ToolRun wrong = runBackupTool({"--extract", kPasswordTestFile, "-s", udid},
                                        withPassword(GetParam() + QStringLiteral("?")));
    EXPECT_EQ(wrong.exitCode, 3);
    EXPECT_TRUE(wrong.err.contains("password is not correct")) << wrong.output().constData();

    QELDeviceBackup backup;
    backup.setDeviceUID(udid);
    backup.setPassword(GetParam());
    const QString messages = backup.GetPathToDataOfType(5);
    EXPECT_TRUE(readFixtureFile(messages)
                == EncryptedBackupWriter::generatedContent(kHome, "sms", 1'500'001));
    EXPECT_EQ(readFixtureFile(messages + QStringLiteral("-wal")), QByteArray(32, 'w'));
    EXPECT_EQ(readFixtureFile(backup.GetPathForDeviceFileNameInDomain(
                  QStringLiteral("Library/SMS/Attachments/ab/IMG, 1 ä.jpg"),
                  QStringLiteral("MediaDomain"))),
              QByteArray(70000, '\xD8'));
    backup.setPassword(GetParam() + QStringLiteral("x"));
    EXPECT_TRUE(backup.GetPathToDataOfType(0).isEmpty());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::WrongPassword);
}

// The categories' lookups answer decrypted private copies (with a database's
// companions) and leave nothing decrypted in the backup folder.
TEST_P(EncryptedBackup, DataTypesAnswerDecryptedCopies)
{
    const QString udid = QStringLiteral("lookup-phone");
    ASSERT_TRUE(writerFor(udid, GetParam()).write());
    const QMap<QString, QByteArray> before = contentsBelow(Locations::backupRoot());
    QELDeviceBackup backup;
    backup.setDeviceUID(udid);
    backup.setPassword(GetParam());
    // Contacts, calendars, notes, messages, voicemail, call history, internet.
    for (const int type : {0, 1, 2, 5, 6, 9, 10}) {
        SCOPED_TRACE(type);
        const std::optional<QELDataTypeSearchReferenceElement> element =
            QELDeviceBackup::relativePathElementForDataType(type);
        ASSERT_TRUE(element);
        QByteArray want;
        for (const FixtureFile& file : deviceFiles()) {
            if (file.relativePath == element->relativeDevicePath()
                && file.domain == element->domain())
                want = file.content;
        }
        const QString copy = backup.GetPathToDataOfType(type);
        ASSERT_FALSE(copy.isEmpty()) << backup.lastLookupError().detail.toStdString();
        EXPECT_TRUE(copy.startsWith(Locations::temporaryFolder() + QLatin1Char('/')));
        EXPECT_TRUE(readFixtureFile(copy) == want);
        EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::None);
        if (type == 5) {
            EXPECT_EQ(readFixtureFile(copy + QStringLiteral("-wal")), QByteArray(32, 'w'));
            EXPECT_EQ(readFixtureFile(copy + QStringLiteral("-shm")), QByteArray(15, 's'));
        }
    }
    const QString attachment = backup.GetPathForDeviceFileNameInDomain(
        QStringLiteral("Library/SMS/Attachments/ab/IMG, 1 ä.jpg"), QStringLiteral("MediaDomain"));
    EXPECT_EQ(readFixtureFile(attachment), QByteArray(70000, '\xD8'));
    // An empty file is there, and empty, whether or not a file was stored for it.
    for (const char* empty : {"Library/empty.txt", "Library/empty-padded.txt"}) {
        SCOPED_TRACE(empty);
        const QString copy =
            backup.GetPathForDeviceFileNameInDomain(QString::fromLatin1(empty), kHome);
        ASSERT_FALSE(copy.isEmpty()) << backup.lastLookupError().detail.toStdString();
        EXPECT_TRUE(QFileInfo(copy).isFile());
        EXPECT_EQ(QFileInfo(copy).size(), 0);
        EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::None);
    }
    EXPECT_TRUE(backup.GetPathForDeviceFileNameInDomain(QStringLiteral("Library/none.db"), kHome)
                    .isEmpty());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
    // A domain lists its files as a plain backup's does.
    for (const QString& domain :
         {kHome, QStringLiteral("MediaDomain"), QStringLiteral("WirelessDomain")}) {
        SCOPED_TRACE(domain.toStdString());
        QStringList want;
        for (const FixtureFile& file : deviceFiles()) {
            if (file.domain == domain)
                want << file.relativePath;
        }
        QStringList listed;
        for (const QELDeviceBackupListingItem& item : backup.GetAllFilesInDomain(domain)) {
            EXPECT_EQ(item.domain(), domain);
            listed << item.relativePath();
        }
        want.sort();
        listed.sort();
        EXPECT_EQ(listed, want);
    }
    EXPECT_EQ(backup.GetAllFiles().size(), deviceFiles().size() + 1);
    EXPECT_EQ(contentsBelow(Locations::backupRoot()), before);

    backup.setPassword(GetParam() + QStringLiteral("x"));
    EXPECT_TRUE(backup.GetPathToDataOfType(0).isEmpty());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::WrongPassword);
}

// A connection decrypts the manifest once and every file in this process: no
// lookup runs the tool (here one that always fails), many files asked for at
// once come back in their order, and the decrypted manifest is not left in
// the temporary folder. A new backup in the folder is read anew.
TEST(EncryptedBackupSession, LookupsDecryptInProcessWithoutTheTool)
{
    const QString udid = QStringLiteral("session-phone");
    EncryptedBackupWriter writer = writerFor(udid, QStringLiteral("secret"));
    QList<BackupFileRequest> attachments;
    for (int i = 0; i < 40; ++i) {
        const QString path = QStringLiteral("Library/SMS/Attachments/%1/IMG_%2.JPG")
                                 .arg(i % 16, 2, 16, QLatin1Char('0'))
                                 .arg(i);
        writer.file(QStringLiteral("MediaDomain"), path, QByteArray(1000 + i, char('a' + i % 26)));
        attachments.append({path, QStringLiteral("MediaDomain")});
    }
    attachments.insert(
        7, {QStringLiteral("Library/SMS/Attachments/zz/none.jpg"), QStringLiteral("MediaDomain")});
    ASSERT_TRUE(writer.rounds(50, 5).write());
    FakeProgram failing(QStringLiteral("orvane-mobilebackup"), "exit 1\n");
    const auto keys = std::make_shared<BackupKeyCache>();
    QELDeviceBackup backup(BackupToolSettings{failing.path(), {}, keys});
    backup.setDeviceUID(udid);
    backup.setPassword(QStringLiteral("secret"));

    for (const int type : {0, 1, 2, 5, 6, 9, 10})
        EXPECT_FALSE(backup.GetPathToDataOfType(type).isEmpty()) << type;
    EXPECT_TRUE(backup.GetPathToDataOfType(3).isEmpty());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
    const QStringList paths = backup.GetPathsForDeviceFiles(attachments);
    ASSERT_EQ(paths.size(), attachments.size());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(attachments.at(i).path.toStdString());
        if (i == 7) {
            EXPECT_TRUE(paths.at(i).isNull());
            continue;
        }
        const int n = attachments.at(i)
                          .path.section(QLatin1Char('_'), -1)
                          .section(QLatin1Char('.'), 0, 0)
                          .toInt();
        EXPECT_EQ(readFixtureFile(paths.at(i)), QByteArray(1000 + n, char('a' + n % 26)));
    }
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
    EXPECT_EQ(backup.GetAllFilesInDomain(QStringLiteral("MediaDomain")).size(), 41);
    EXPECT_TRUE(failing.runs().isEmpty()) << failing.runs().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(keys->derivationCount(), 1);
    EXPECT_TRUE(QDir(Locations::temporaryFolder())
                    .entryList({QStringLiteral("manifest*")}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty());

    // The next backup of the device, with other keys and content, replaces it.
    EncryptedBackupWriter next(backupFolder(udid), QStringLiteral("secret"));
    next.file(kHome, QStringLiteral("Library/SMS/sms.db"), QByteArray("the next backup"));
    QDir(backupFolder(udid)).removeRecursively();
    ASSERT_TRUE(next.rounds(50, 5).write());
    EXPECT_EQ(readFixtureFile(backup.GetPathToDataOfType(5)), QByteArray("the next backup"));
    EXPECT_TRUE(backup.GetPathToDataOfType(0).isEmpty());
    EXPECT_TRUE(failing.runs().isEmpty());
}

// The domain listing of a backup first asked with the wrong password (or
// none) is listed again once the right one is given.
TEST(EncryptedBackupListing, IsListedWithThePasswordGivenNotWithTheOneRefused)
{
    const QString udid = QStringLiteral("listing-phone");
    ASSERT_TRUE(writerFor(udid, QStringLiteral("secret")).write());
    QELDeviceBackup backup;
    backup.setDeviceUID(udid);
    EXPECT_TRUE(backup.GetAllFilesInDomain(QStringLiteral("MediaDomain")).isEmpty());
    backup.setPassword(QStringLiteral("wrong"));
    EXPECT_TRUE(backup.GetAllFilesInDomain(QStringLiteral("MediaDomain")).isEmpty());
    backup.setPassword(QStringLiteral("secret"));
    const QList<QELDeviceBackupListingItem> items =
        backup.GetAllFilesInDomain(QStringLiteral("MediaDomain"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.at(0).relativePath(),
              QStringLiteral("Library/SMS/Attachments/ab/IMG, 1 ä.jpg"));
}

// The password's key takes seconds to derive at a device's round counts: it is
// derived once per backup and password, whichever run or category asks, and
// kept in memory only.
TEST(EncryptedBackupKeys, OneBackupIsDerivedOnceForThePasswordTestAndEveryCategory)
{
    const QString udid = QStringLiteral("keys-phone");
    ASSERT_TRUE(writerFor(udid, QStringLiteral("secret")).rounds(50, 5).write());
    const auto keys = std::make_shared<BackupKeyCache>();
    const BackupToolSettings tool{QString(), {}, keys};
    using Result = QELDeviceBackupBrowser::PasswordTestResult;
    auto test = [&](const QString& password) {
        return QELDeviceBackupBrowser::
            TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                kPasswordTestFile, udid, password, kHome, tool);
    };
    EXPECT_EQ(test(QStringLiteral("wrong")), Result::WrongPassword);
    EXPECT_EQ(keys->derivationCount(), 1);
    EXPECT_EQ(test(QStringLiteral("secret")), Result::Passed);
    EXPECT_EQ(keys->derivationCount(), 2);

    // The categories of this connection, and of the next one.
    for (int connection = 0; connection < 2; ++connection) {
        SCOPED_TRACE(connection);
        QELDeviceBackup backup(tool);
        backup.setDeviceUID(udid);
        backup.setPassword(QStringLiteral("secret"));
        for (const int type : {0, 1, 2, 5, 6, 9, 10})
            EXPECT_FALSE(backup.GetPathToDataOfType(type).isEmpty()) << type;
        EXPECT_FALSE(backup
                         .GetPathForDeviceFileNameInDomain(
                             QStringLiteral("Library/SMS/Attachments/ab/IMG, 1 ä.jpg"),
                             QStringLiteral("MediaDomain"))
                         .isEmpty());
        EXPECT_TRUE(backup.GetPathToDataOfType(3).isEmpty()); // not held: read the manifest
        EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
        EXPECT_FALSE(backup.GetAllFilesInDomain(kHome).isEmpty());
        EXPECT_EQ(backup.GetAllFiles().size(), deviceFiles().size() + 1);
    }
    EXPECT_EQ(keys->derivationCount(), 2);

    // A wrong password is never remembered in place of the right one.
    EXPECT_EQ(test(QStringLiteral("wrong")), Result::WrongPassword);
    EXPECT_EQ(test(QStringLiteral("secret")), Result::Passed);
    EXPECT_EQ(keys->derivationCount(), 3);

    // Another backup with the same password has salts of its own.
    ASSERT_TRUE(writerFor(QStringLiteral("other-phone"), QStringLiteral("secret")).write());
    QELDeviceBackup other(tool);
    other.setDeviceUID(QStringLiteral("other-phone"));
    other.setPassword(QStringLiteral("secret"));
    EXPECT_FALSE(other.GetPathToDataOfType(5).isEmpty());
    EXPECT_EQ(keys->derivationCount(), 4);
}

// The tool opens a backup with the key it is handed (ORVANE_BACKUP_KEY)
// instead of deriving it from the password again.
TEST(EncryptedBackupKeys, TheToolReadsWithTheKeyItIsGiven)
{
    const QString udid = QStringLiteral("key-phone");
    ASSERT_TRUE(writerFor(udid, QStringLiteral("secret")).write());
    BackupKeyCache keys;
    const QByteArray right =
        ::EncryptedBackup::passwordKeyFor(backupFolder(udid), QStringLiteral("secret"), keys);
    const QByteArray wrong =
        ::EncryptedBackup::passwordKeyFor(backupFolder(udid), QStringLiteral("wrong"), keys);
    ASSERT_EQ(right.size(), 32);
    ASSERT_EQ(wrong.size(), 32);
    EXPECT_NE(right, wrong);
    EXPECT_TRUE(::EncryptedBackup::passwordKeyFor(backupFolder(QStringLiteral("none")),
                                                  QStringLiteral("secret"), keys)
                    .isEmpty());

    const QString out = Locations::makeScratchFolder(QStringLiteral("out"));
    struct Case {
        const char* name;
        QByteArray key;
        std::optional<QString> password;
        QStringList extraArguments;
        int exitCode;
        const char* saying;
    };
    const Case cases[] = {
        // The key alone opens it: the password, here a wrong one, is not derived.
        {"right key, wrong password", right.toHex(), QStringLiteral("wrong"), {}, 0, ""},
        {"right key, no password", right.toHex(), std::nullopt, {}, 0, ""},
        {"wrong key", wrong.toHex(), QStringLiteral("secret"), {}, 3, "not correct"},
        {"not a key", "00ff", QStringLiteral("secret"), {}, 2, "ORVANE_BACKUP_KEY"},
        // A password on the command line may be another one: the key is not its.
        {"password on the command line", wrong.toHex(), std::nullopt, {"--p", "secret"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = withPassword(c.password, out);
        env.insert(QStringLiteral("ORVANE_BACKUP_KEY"), QString::fromLatin1(c.key));
        QFile::remove(out + QStringLiteral("/notes.sqlite"));
        const ToolRun run = runBackupTool(
            QStringList{"--extract", "Library/Notes/notes.sqlite", "-s", udid} + c.extraArguments,
            env);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output().constData();
        EXPECT_TRUE(run.output().contains(c.saying)) << run.output().constData();
        EXPECT_EQ(readFixtureFile(out + QStringLiteral("/notes.sqlite")),
                  c.exitCode == 0 ? QByteArray("notes") : QByteArray());
    }
}

struct DamageCase {
    const char* name;
    std::function<void(EncryptedBackupWriter&)> damage;
    std::function<void(const QString& folder)> afterwards;
    const char* reason;
};

std::vector<DamageCase> damageCases()
{
    auto cutAtClassKeys = [](const QByteArray& bag) { return bag.left(bag.indexOf("UUID", 30)); };
    return {
        {"truncated key bag",
         [](EncryptedBackupWriter& w) {
             w.damageKeyBag([](const QByteArray& bag) { return bag.left(bag.size() - 7); });
         },
         {},
         "key bag is damaged"},
        {"record length past the end",
         [](EncryptedBackupWriter& w) {
             w.damageKeyBag([](const QByteArray& bag) {
                 QByteArray damaged = bag;
                 damaged[bag.indexOf("SALT") + 4] = '\x40';
                 return damaged;
             });
         },
         {},
         "longer"},
        {"no class keys",
         [&](EncryptedBackupWriter& w) { w.damageKeyBag(cutAtClassKeys); },
         {},
         "no class key"},
        {"manifest key's class missing",
         [](EncryptedBackupWriter& w) { w.withoutClass(3); },
         {},
         "no key of protection class 3"},
        {"missing Manifest.plist",
         {},
         [](const QString& folder) { QFile::remove(folder + QStringLiteral("/Manifest.plist")); },
         ""},
        {"unknown format",
         {},
         [](const QString& folder) {
             Plist::writeFile(folder + QStringLiteral("/Manifest.plist"),
                              QVariantMap{{QStringLiteral("IsEncrypted"), true}});
         },
         "no key bag"},
        {"damaged Manifest.db",
         {},
         [](const QString& folder) {
             QFile file(folder + QStringLiteral("/Manifest.db"));
             file.open(QIODevice::ReadWrite);
             file.seek(0);
             file.write(QByteArray(16, 'X'));
         },
         "Manifest.db"},
    };
}

// A backup that cannot be read for a reason other than the password says so:
// never "wrong password", never a crash, nothing left behind.
TEST(EncryptedBackupDamage, IsReportedAsUnreadableNotAsAWrongPassword)
{
    for (const DamageCase& c : damageCases()) {
        SCOPED_TRACE(c.name);
        const QString udid = QStringLiteral("damaged-")
            + QString::fromLatin1(c.name)
                  .replace(QLatin1Char(' '), QLatin1Char('-'))
                  .remove(QLatin1Char('\''));
        EncryptedBackupWriter writer = writerFor(udid, QStringLiteral("secret"));
        if (c.damage)
            c.damage(writer);
        ASSERT_TRUE(writer.write());
        if (c.afterwards)
            c.afterwards(backupFolder(udid));
        const ToolRun run =
            runBackupTool({"--extract", kPasswordTestFile, "-s", udid},
                          withPassword(QStringLiteral("secret"), Locations::temporaryFolder()));
        EXPECT_EQ(run.exitCode, 1) << run.output().constData();
        EXPECT_FALSE(run.crashed);
        EXPECT_TRUE(run.err.contains(c.reason)) << run.output().constData();
        EXPECT_FALSE(run.err.contains("not correct"));
        EXPECT_EQ(QELDeviceBackupBrowser::
                      TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                          kPasswordTestFile, udid, QStringLiteral("secret"), kHome),
                  QELDeviceBackupBrowser::PasswordTestResult::Failed);
        QELDeviceBackup backup;
        backup.setDeviceUID(udid);
        backup.setPassword(QStringLiteral("secret"));
        EXPECT_TRUE(backup.GetPathToDataOfType(5).isEmpty());
        EXPECT_NE(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::WrongPassword);
        EXPECT_EQ(
            QDir(Locations::temporaryFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList());
    }
}

// One damaged file is reported as such; the rest of the backup reads.
TEST(EncryptedBackupDamage, ADamagedFileFailsAloneWithItsReason)
{
    const QString udid = QStringLiteral("damaged-files");
    EncryptedBackupWriter writer = writerFor(udid, QStringLiteral("secret"));
    writer.file(kHome, QStringLiteral("Library/classless.db"), QByteArray("no key"), 5)
        .withoutClass(5)
        .file(kHome, QStringLiteral("Library/longer.db"), QByteArray(40, 'l'))
        .recordedSize(kHome, QStringLiteral("Library/longer.db"), 60)
        .file(kHome, QStringLiteral("Library/shorter.db"), QByteArray(40, 's'))
        .recordedSize(kHome, QStringLiteral("Library/shorter.db"), 38);
    ASSERT_TRUE(writer.write());
    const QString out = Locations::makeScratchFolder(QStringLiteral("out"));
    struct Case {
        const char* path;
        int exitCode;
        const char* reason;
    };
    for (const Case& c :
         {Case{"Library/classless.db", 1, "no key of protection class 5"},
          Case{"Library/longer.db", 1, "damaged"}, Case{"Library/shorter.db", 1, "padding"},
          Case{"Library/Notes/notes.sqlite", 0, ""}}) {
        SCOPED_TRACE(c.path);
        const ToolRun run = runBackupTool({"--extract", c.path, "-s", udid},
                                          withPassword(QStringLiteral("secret"), out));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output().constData();
        EXPECT_TRUE(run.err.contains(c.reason)) << run.output().constData();
        EXPECT_EQ(QFileInfo::exists(out + QLatin1Char('/')
                                    + QString::fromLatin1(c.path).section(QLatin1Char('/'), -1)),
                  c.exitCode == 0);
    }
    QELDeviceBackup backup;
    backup.setDeviceUID(udid);
    backup.setPassword(QStringLiteral("secret"));
    EXPECT_TRUE(backup.GetPathForDeviceFileNameInDomain(QStringLiteral("Library/longer.db"), kHome)
                    .isEmpty());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::ExtractionFailed);
}

} // namespace
