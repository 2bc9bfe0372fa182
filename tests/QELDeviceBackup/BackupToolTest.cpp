#include <gtest/gtest.h>

#include <optional>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "Locations.h"
#include "Plist.h"
#include "TestEnvironment.h"
#include "WaitUntil.h"

namespace {

QString backupFolder(const QString& udid)
{
    return Locations::backupRoot() + QLatin1Char('/') + udid;
}

// Every file of a backup folder with a hash of its bytes.
QMap<QString, QByteArray> backupContents(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        contents.insert(QDir(folder).relativeFilePath(path),
                        QCryptographicHash::hash(readFixtureFile(path), QCryptographicHash::Sha1));
    }
    return contents;
}

QList<QStringList> listingLines(const QByteArray& output)
{
    QList<QStringList> lines;
    for (const QString& line :
         QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.append(line.split(QLatin1Char(',')));
    return lines;
}

// Every file below a folder (relative names), to see what a run wrote.
QSet<QString> filesBelow(const QString& folder)
{
    QSet<QString> names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.insert(QDir(folder).relativeFilePath(it.next()));
    return names;
}

class BackupTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_devices.isValid()); }

    SimulatedBackupDevice device(const QString& udid)
    {
        SimulatedBackupDevice device(m_devices.path() + QLatin1Char('/') + udid, udid);
        device
            .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"),
                  QByteArray("SQLite format 3\0messages", 24))
            .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-wal"),
                  QByteArray(5000, 'w'))
            .file(QStringLiteral("HomeDomain"),
                  QStringLiteral("Library/AddressBook/AddressBook.sqlitedb"),
                  QByteArray("contacts"))
            .file(QStringLiteral("HomeDomain"),
                  QStringLiteral("Library/Preferences/com.apple.springboard.plist"),
                  QByteArray("<plist/>"))
            .file(QStringLiteral("MediaDomain"),
                  QStringLiteral("Library/SMS/Attachments/ab/IMG, 1.jpg"),
                  QByteArray(70000, '\xD8'))
            .file(QStringLiteral("AppDomain-net.whatsapp.WhatsApp"),
                  QStringLiteral("Documents/ChatStorage.sqlite"), QByteArray("chats"))
            .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/empty.txt"), QByteArray());
        return device;
    }

    QProcessEnvironment environment(const QStringList& extra = {}) const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("ORVANE_SIMULATED_DEVICES"),
                   m_devices.path() + QStringLiteral("/none:")
                       + m_deviceFolders.join(QLatin1Char(':')));
        for (qsizetype i = 0; i + 1 < extra.size(); i += 2)
            env.insert(extra.at(i), extra.at(i + 1));
        return env;
    }

    void add(const SimulatedBackupDevice& device) { m_deviceFolders.append(device.write()); }

    ToolRun tool(const QStringList& arguments, const QStringList& extra = {}) const
    {
        return runBackupTool(arguments, environment(extra));
    }

    // Lists, extracts and compares every file the device holds.
    void expectRoundTrip(const SimulatedBackupDevice& device,
                         const QStringList& passwordEnvironment = {})
    {
        const ToolRun listing = tool(
            {"--list", "--source", device.udid(), "--target", device.udid()}, passwordEnvironment);
        ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
        const QList<QStringList> lines = listingLines(listing.out);
        EXPECT_EQ(lines.size(), device.files().size());
        for (const SimulatedBackupDevice::File& file : device.files()) {
            SCOPED_TRACE(file.relativePath.toStdString());
            const QString id = backupFileIdentifier(file.domain, file.relativePath);
            bool listed = false;
            for (const QStringList& fields : lines) {
                ASSERT_GE(fields.size(), 13);
                if (fields.at(0) == id) {
                    listed = true;
                    EXPECT_EQ(fields.at(11), file.domain);
                    EXPECT_EQ(fields.mid(12).join(QLatin1Char(',')), file.relativePath);
                    EXPECT_EQ(fields.at(2).toLongLong(), file.content.size());
                }
            }
            EXPECT_TRUE(listed);

            const ToolRun name =
                tool({"--filename", file.relativePath, "-s", device.udid(), "-D", file.domain},
                     passwordEnvironment);
            EXPECT_EQ(name.exitCode, 0) << name.output().constData();
            EXPECT_EQ(name.out.trimmed(), id.toLatin1());

            const QString extracted = Locations::backupRoot() + QLatin1Char('/')
                + file.relativePath.section(QLatin1Char('/'), -1);
            QFile::remove(extracted);
            const ToolRun run =
                tool({"--extract", file.relativePath, "-D", file.domain, "-s", device.udid()},
                     passwordEnvironment);
            ASSERT_EQ(run.exitCode, 0) << run.output().constData();
            EXPECT_EQ(readFixtureFile(extracted), file.content);
            QFile::remove(extracted);
        }
    }

    // A device backed up once that has since gained a file, for the run
    // under test.
    struct SecondRun {
        SimulatedBackupDevice phone;
        QString folder;                     // the device's backup
        QMap<QString, QByteArray> previous; // what the first backup holds
        QString added;                      // the file only the second one holds
    };
    std::optional<SecondRun> backedUpThenChanged(const QString& udid)
    {
        SimulatedBackupDevice phone = device(udid);
        add(phone);
        const ToolRun first = tool({"--backup", "--target", phone.udid()});
        EXPECT_EQ(first.exitCode, 0) << first.output().constData();
        if (first.exitCode != 0)
            return std::nullopt;
        const QString folder = backupFolder(phone.udid());
        const QMap<QString, QByteArray> previous = backupContents(folder);
        phone.file(QStringLiteral("HomeDomain"), QStringLiteral("Library/Notes/notes.sqlite"),
                   QByteArray("a newer file"));
        phone.write();
        const QString added = backupFileIdentifier(QStringLiteral("HomeDomain"),
                                                   QStringLiteral("Library/Notes/notes.sqlite"));
        return SecondRun{std::move(phone), folder, previous, added};
    }
    // The device's backup is the second run's whole, or else the first's.
    static void expectWholeBackup(const SecondRun& run, bool second)
    {
        const QMap<QString, QByteArray> after = backupContents(run.folder);
        if (second) {
            EXPECT_TRUE(after.contains(run.added));
            EXPECT_EQ(after.size(), run.previous.size() + 1);
        } else {
            EXPECT_EQ(after, run.previous);
        }
    }
    // The backup root holds the device's backup and nothing else.
    static void expectNothingBeside(const SimulatedBackupDevice& phone)
    {
        EXPECT_EQ(QDir(Locations::backupRoot())
                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{phone.udid()});
    }

    QTemporaryDir m_devices;
    QStringList m_deviceFolders;
};

TEST_F(BackupTool, BacksUpASimulatedDeviceAndReadsEveryFileBack)
{
    const SimulatedBackupDevice phone = device(QStringLiteral("plain-phone"));
    add(phone);
    const ToolRun backup = tool({"--backup", "--target", phone.udid()});
    ASSERT_EQ(backup.exitCode, 0) << backup.output().constData();

    const QString folder = backupFolder(phone.udid());
    for (const char* name : {"Manifest.mbdb", "Manifest.mbdx", "Manifest.plist", "Status.plist"})
        EXPECT_TRUE(QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(name))) << name;
    EXPECT_TRUE(
        QFileInfo::exists(folder + QStringLiteral("/3d0d7e5fb2ce288813306e4d4636395e047a3d28")));
    const QVariantMap manifest =
        Plist::readFile(folder + QStringLiteral("/Manifest.plist")).toMap();
    EXPECT_FALSE(manifest.value(QStringLiteral("IsEncrypted")).toBool());
    EXPECT_EQ(manifest.value(QStringLiteral("Lockdown"))
                  .toMap()
                  .value(QStringLiteral("DeviceName"))
                  .toString(),
              QStringLiteral("Test Phone"));
    EXPECT_EQ(manifest.value(QStringLiteral("Lockdown"))
                  .toMap()
                  .value(QStringLiteral("ProductVersion"))
                  .toString(),
              QStringLiteral("17.2"));
    EXPECT_EQ(Plist::readFile(folder + QStringLiteral("/Status.plist"))
                  .toMap()
                  .value(QStringLiteral("SnapshotState"))
                  .toString(),
              QStringLiteral("finished"));

    expectRoundTrip(phone);
}

TEST_F(BackupTool, ANewBackupReplacesTheOldOneAndKeepsInfoPlist)
{
    SimulatedBackupDevice phone = device(QStringLiteral("again-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString folder = backupFolder(phone.udid());
    ASSERT_TRUE(Plist::writeFile(folder + QStringLiteral("/Info.plist"),
                                 QVariantMap{{QStringLiteral("GUID"), phone.udid()}}));
    phone.file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"),
               QByteArray("newer messages"));
    phone.write();
    ASSERT_TRUE(
        QFile::remove(phone.folder() + QStringLiteral("/backup/HomeDomain/Library/empty.txt")));

    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    EXPECT_EQ(Plist::readFile(folder + QStringLiteral("/Info.plist"))
                  .toMap()
                  .value(QStringLiteral("GUID"))
                  .toString(),
              phone.udid());
    EXPECT_FALSE(QFileInfo::exists(
        folder + QLatin1Char('/')
        + backupFileIdentifier(QStringLiteral("HomeDomain"), QStringLiteral("Library/empty.txt"))));
    ASSERT_EQ(tool({"--extract", "Library/SMS/sms.db", "-s", phone.udid()}).exitCode, 0);
    EXPECT_EQ(readFixtureFile(Locations::backupRoot() + QStringLiteral("/sms.db")),
              QByteArray("newer messages"));
    // Nothing is left beside the backup but the backup and the extracted file.
    const QStringList rootEntries =
        QDir(Locations::backupRoot())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(rootEntries, (QStringList{phone.udid(), QStringLiteral("sms.db")}));
}

// The files a backup run has written so far into its staging folders.
int stagedFiles(const QString& udid)
{
    int count = 0;
    const QDir root(Locations::backupRoot());
    for (const QString& staging : root.entryList(
             {QLatin1Char('.') + udid + QStringLiteral("-new-*")}, QDir::Dirs | QDir::Hidden))
        count += static_cast<int>(QDir(root.filePath(staging)).entryList(QDir::Files).size());
    return count;
}

TEST_F(BackupTool, AKilledBackupLeavesThePreviousOneWhole)
{
    SimulatedBackupDevice phone = device(QStringLiteral("killed-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString folder = backupFolder(phone.udid());
    const QMap<QString, QByteArray> previous = backupContents(folder);
    ASSERT_FALSE(previous.isEmpty());

    // Enough files that the next run is still writing them when it is killed.
    constexpr int kFiles = 1000;
    for (int i = 0; i < kFiles; ++i)
        phone.file(QStringLiteral("CameraRollDomain"),
                   QStringLiteral("Media/DCIM/IMG_%1.JPG").arg(i), QByteArray(4096, char(i)));
    phone.write();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    for (const int killAfter : {1, kFiles * 2 / 5}) {
        SCOPED_TRACE(killAfter);
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(backupToolPath(), {"--backup", "--target", phone.udid()});
        ASSERT_TRUE(run.waitForStarted());
        ASSERT_TRUE(waitUntil([&] {
            return stagedFiles(phone.udid()) >= killAfter || run.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(run.state(), QProcess::Running) << "the run ended before it could be killed";
        run.kill();
        ASSERT_TRUE(run.waitForFinished());
        EXPECT_EQ(backupContents(folder), previous);
        EXPECT_EQ(Plist::readFile(folder + QStringLiteral("/Status.plist"))
                      .toMap()
                      .value(QStringLiteral("SnapshotState"))
                      .toString(),
                  QStringLiteral("finished"));
    }

    // A run that is not stopped replaces the previous backup with the whole new one.
    const ToolRun again = tool({"--backup", "--target", phone.udid()});
    ASSERT_EQ(again.exitCode, 0) << again.output().constData();
    const QMap<QString, QByteArray> replaced = backupContents(folder);
    EXPECT_EQ(replaced.size(), previous.size() + kFiles);
    const QString last =
        backupFileIdentifier(QStringLiteral("CameraRollDomain"),
                             QStringLiteral("Media/DCIM/IMG_%1.JPG").arg(kFiles - 1));
    EXPECT_EQ(
        replaced.value(last),
        QCryptographicHash::hash(QByteArray(4096, char(kFiles - 1)), QCryptographicHash::Sha1));
}

// Where a run is killed, whether the file system can exchange two names, and
// which backup the device has at its name right after the kill.
struct KillCase {
    const char* point;
    bool exchange;
    bool newBackupInPlace; // after the next run's tidy-up; false: the previous one
    bool backupAtItsName;  // false: beside its place, put back by the next run of the tool
};

void PrintTo(const KillCase& c, std::ostream* os)
{
    *os << c.point << (c.exchange ? " exchanging" : " moving aside");
}

class BackupToolKill : public BackupTool,
                       public ::testing::WithParamInterface<KillCase> {};

TEST_P(BackupToolKill, LeavesOneWholeBackupAndTheNextRunLeavesNothingElse)
{
    const KillCase& c = GetParam();
    const std::optional<SecondRun> run = backedUpThenChanged(QStringLiteral("kill-point-phone"));
    ASSERT_TRUE(run);
    const SimulatedBackupDevice& phone = run->phone;
    const QString& folder = run->folder;

    QStringList hooks{QStringLiteral("ORVANE_BACKUP_KILL_AT"), QString::fromLatin1(c.point)};
    if (!c.exchange)
        hooks << QStringLiteral("ORVANE_BACKUP_NO_EXCHANGE") << QStringLiteral("1");
    const ToolRun killed = tool({"--backup", "--target", phone.udid()}, hooks);
    ASSERT_TRUE(killed.crashed) << "the run was not killed: " << killed.output().constData();
    EXPECT_EQ(QFileInfo::exists(folder), c.backupAtItsName);

    // Any run of the tool for the device first puts back what a killed run
    // moved aside, and removes its staging folders.
    const ToolRun listing = tool({"--list", "--source", phone.udid(), "--target", phone.udid()});
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    expectWholeBackup(*run, c.newBackupInPlace);
    expectNothingBeside(phone);

    const ToolRun again = tool({"--backup", "--target", phone.udid()});
    ASSERT_EQ(again.exitCode, 0) << again.output().constData();
    EXPECT_TRUE(backupContents(folder).contains(run->added));
    expectNothingBeside(phone);
}

INSTANTIATE_TEST_SUITE_P(Points, BackupToolKill,
                         ::testing::Values(KillCase{"files", true, false, true},
                                           KillCase{"manifests", true, false, true},
                                           KillCase{"flushed", true, false, true},
                                           KillCase{"replaced", true, true, true},
                                           KillCase{"flushed", false, false, true},
                                           // Both are whole then: the newer one is kept.
                                           KillCase{"displaced", false, true, false},
                                           KillCase{"replaced", false, true, true}),
                         [](const auto& info) {
                             return std::string(info.param.point)
                                 + (info.param.exchange ? "_Exchanging" : "_MovingAside");
                         });

// Where the file system cannot exchange two names (EINVAL) and a rename of
// the replacement fails as well: the tool says so, and the previous backup, or
// failing that one of the two whole ones, is under the device's name after
// the next run's tidy-up, with nothing beside it.
struct FailedRenameCase {
    const char* name;
    const char* failing;    // ORVANE_BACKUP_FAIL_RENAME
    bool previousAtItsName; // right after the failed run
    bool newBackupKept;     // after the next run's tidy-up; false: the previous one
};

void PrintTo(const FailedRenameCase& c, std::ostream* os) { *os << c.name; }

class BackupToolFailedRename : public BackupTool,
                               public ::testing::WithParamInterface<FailedRenameCase> {};

TEST_P(BackupToolFailedRename, LeavesTheWholePreviousBackupOrBoth)
{
    const FailedRenameCase& c = GetParam();
    const std::optional<SecondRun> run = backedUpThenChanged(QStringLiteral("rename-phone"));
    ASSERT_TRUE(run);
    const SimulatedBackupDevice& phone = run->phone;
    const QString& folder = run->folder;

    const ToolRun failed =
        tool({"--backup", "--target", phone.udid()},
             {QStringLiteral("ORVANE_BACKUP_NO_EXCHANGE"), QStringLiteral("1"),
              QStringLiteral("ORVANE_BACKUP_FAIL_RENAME"), QString::fromLatin1(c.failing)});
    EXPECT_EQ(failed.exitCode, 1) << failed.output().constData();
    EXPECT_TRUE(failed.output().contains("Backup failed")) << failed.output().constData();
    if (c.previousAtItsName)
        EXPECT_EQ(backupContents(folder), run->previous);
    else
        EXPECT_FALSE(QFileInfo::exists(folder));

    const ToolRun listing = tool({"--list", "--source", phone.udid(), "--target", phone.udid()});
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    expectWholeBackup(*run, c.newBackupKept);
    expectNothingBeside(phone);
}

INSTANTIATE_TEST_SUITE_P(Steps, BackupToolFailedRename,
                         ::testing::Values(FailedRenameCase{"MoveAside", "aside", true, false},
                                           FailedRenameCase{"MoveIn", "final", true, false},
                                           FailedRenameCase{"MoveInAndPutBack", "final,back", false,
                                                            true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What an older run could leave: the previous backup's folder emptied part-way
// beside a whole new one, and neither under the device's name. The whole one
// is put back.
TEST_F(BackupTool, TidyingPutsBackTheWholeBackupNotAnEmptiedOne)
{
    SimulatedBackupDevice phone = device(QStringLiteral("emptied-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString folder = backupFolder(phone.udid());
    const QMap<QString, QByteArray> whole = backupContents(folder);
    const QDir root(Locations::backupRoot());
    ASSERT_TRUE(QDir().rename(folder, root.filePath(QStringLiteral(".emptied-phone-new-Qx81Zp"))));
    ASSERT_TRUE(root.mkpath(QStringLiteral(".emptied-phone-old-a1B2c3/4f")));
    // A staging folder of a run that stopped while it copied files.
    ASSERT_TRUE(
        writeFixtureFile(root.filePath(QStringLiteral(".emptied-phone-new-zzzzzz/ab")), "partial"));

    const ToolRun listing = tool({"--list", "--source", phone.udid(), "--target", phone.udid()});
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    EXPECT_EQ(backupContents(folder), whole);
    EXPECT_EQ(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{phone.udid()});
}

TEST_F(BackupTool, ARunningBackupsStagingFolderIsNotTidiedAway)
{
    SimulatedBackupDevice phone = device(QStringLiteral("busy-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    constexpr int kFiles = 1000;
    for (int i = 0; i < kFiles; ++i)
        phone.file(QStringLiteral("CameraRollDomain"),
                   QStringLiteral("Media/DCIM/IMG_%1.JPG").arg(i), QByteArray(4096, char(i)));
    phone.write();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(backupToolPath(), {"--backup", "--target", phone.udid()});
    ASSERT_TRUE(run.waitForStarted());
    ASSERT_TRUE(waitUntil(
        [&] { return stagedFiles(phone.udid()) >= 1 || run.state() == QProcess::NotRunning; }));
    // A second run for the same device while the first one writes.
    const ToolRun listing = tool({"--list", "--source", phone.udid(), "--target", phone.udid()});
    EXPECT_EQ(listing.exitCode, 0) << listing.output().constData();
    ASSERT_TRUE(run.waitForFinished(120000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAll().constData();
    EXPECT_EQ(backupContents(backupFolder(phone.udid())).size(), 7 + kFiles + 4);
}

TEST_F(BackupTool, LeftoversOfOtherDevicesAndForeignNamesStay)
{
    SimulatedBackupDevice phone = device(QStringLiteral("tidy-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QDir root(Locations::backupRoot());
    // Another device's staging folder may belong to a run of its own, and a
    // name the tool never makes is not the tool's to remove.
    for (const char* name : {".other-phone-new-abcdef", ".tidy-phone-new-notours-x", "user-notes"})
        ASSERT_TRUE(root.mkpath(QString::fromLatin1(name)));
    ASSERT_TRUE(root.mkpath(QStringLiteral(".tidy-phone-new-a1b2c3/inner")));
    ASSERT_TRUE(root.mkpath(QStringLiteral(".tidy-phone-old-d4e5f6")));
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    QStringList expected{QStringLiteral(".other-phone-new-abcdef"),
                         QStringLiteral(".tidy-phone-new-notours-x"), phone.udid(),
                         QStringLiteral("user-notes")};
    expected.sort();
    QStringList entries = root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    entries.sort();
    EXPECT_EQ(entries, expected);
}

// A leftover is removed whole, however many files and folders it holds, and
// a link in it or in its place goes without what it leads to.
TEST_F(BackupTool, TidyingRemovesLeftoversWithoutFollowingTheirLinks)
{
    SimulatedBackupDevice phone = device(QStringLiteral("links-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString outside = m_devices.path() + QStringLiteral("/outside");
    ASSERT_TRUE(QDir().mkpath(outside + QStringLiteral("/folder")));
    ASSERT_TRUE(writeFixtureFile(outside + QStringLiteral("/keep.txt"), "kept"));
    ASSERT_TRUE(writeFixtureFile(outside + QStringLiteral("/folder/keep.txt"), "kept"));
    const QSet<QString> outsideBefore = filesBelow(outside);

    const QDir root(Locations::backupRoot());
    const QString leftover = root.filePath(QStringLiteral(".links-phone-new-a1b2c3"));
    ASSERT_TRUE(QDir().mkpath(leftover + QStringLiteral("/deep/er")));
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(writeFixtureFile(leftover + QStringLiteral("/file%1").arg(i), "staged"));
    ASSERT_TRUE(writeFixtureFile(leftover + QStringLiteral("/deep/er/file"), "staged"));
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/folder"),
                            leftover + QStringLiteral("/deep/folder-link")));
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/keep.txt"),
                            leftover + QStringLiteral("/file-link")));
    // A link in a leftover's place, to a folder with files.
    ASSERT_TRUE(QFile::link(outside, root.filePath(QStringLiteral(".links-phone-old-d4e5f6"))));

    const ToolRun listing = tool({"--list", "--source", phone.udid(), "--target", phone.udid()});
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    EXPECT_EQ(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
              QStringList{phone.udid()});
    EXPECT_EQ(filesBelow(outside), outsideBefore);
    EXPECT_EQ(readFixtureFile(outside + QStringLiteral("/folder/keep.txt")), QByteArray("kept"));
}

TEST_F(BackupTool, EncryptedBackupNeedsTheRightPassword)
{
    SimulatedBackupDevice phone = device(QStringLiteral("secret-phone"));
    phone.password(QStringLiteral("correct horse"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString folder = backupFolder(phone.udid());
    EXPECT_TRUE(Plist::readFile(folder + QStringLiteral("/Manifest.plist"))
                    .toMap()
                    .value(QStringLiteral("IsEncrypted"))
                    .toBool());
    // The stored files do not show their content.
    EXPECT_FALSE(readFixtureFile(folder + QLatin1Char('/')
                                 + backupFileIdentifier(QStringLiteral("HomeDomain"),
                                                        QStringLiteral("Library/SMS/sms.db")))
                     .contains("messages"));

    struct Attempt {
        QStringList environment;
        QStringList passwordArguments;
        bool succeeds;
        const char* says;
    };
    const QList<Attempt> attempts = {
        {{}, {}, false, "password is needed"},
        {{"ORVANE_BACKUP_PASSWORD", "wrong"}, {}, false, "not correct"},
        {{"ORVANE_BACKUP_PASSWORD", ""}, {}, false, "not correct"},
        {{}, {"--p", "Correct horse"}, false, "not correct"},
        {{"ORVANE_BACKUP_PASSWORD", "correct horse"}, {}, true, ""},
        {{}, {"--p", "correct horse"}, true, ""},
    };
    const QString extracted =
        Locations::backupRoot() + QStringLiteral("/com.apple.springboard.plist");
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(attempt.environment.join(' ').toStdString()
                     + attempt.passwordArguments.join(' ').toStdString());
        QFile::remove(extracted);
        const ToolRun run =
            tool(QStringList{"--extract", "Library/Preferences/com.apple.springboard.plist", "-s",
                             phone.udid()}
                     + attempt.passwordArguments,
                 attempt.environment);
        EXPECT_EQ(run.exitCode == 0, attempt.succeeds) << run.output().constData();
        EXPECT_TRUE(run.output().contains(attempt.says)) << run.output().constData();
        EXPECT_EQ(QFileInfo::exists(extracted), attempt.succeeds);
    }
    QFile::remove(extracted);

    // Listing needs no password, but refuses a wrong one.
    EXPECT_EQ(tool({"--list", "--source", phone.udid(), "--target", phone.udid()}).exitCode, 0);
    EXPECT_NE(
        tool({"--list", "--source", phone.udid(), "--target", phone.udid(), "--password", "wrong"})
            .exitCode,
        0);
    expectRoundTrip(phone, {"ORVANE_BACKUP_PASSWORD", "correct horse"});
}

TEST_F(BackupTool, TamperedEncryptedFileIsRefused)
{
    SimulatedBackupDevice phone = device(QStringLiteral("tampered-phone"));
    phone.password(QStringLiteral("pw"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString stored = backupFolder(phone.udid()) + QLatin1Char('/')
        + backupFileIdentifier(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"));
    QByteArray bytes = readFixtureFile(stored);
    bytes[30] = char(bytes[30] ^ 1);
    ASSERT_TRUE(writeFixtureFile(stored, bytes));
    const ToolRun run = tool({"--extract", "Library/SMS/sms.db", "-s", phone.udid()},
                             {"ORVANE_BACKUP_PASSWORD", "pw"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.output().contains("damaged")) << run.output().constData();
    EXPECT_FALSE(QFileInfo::exists(Locations::backupRoot() + QStringLiteral("/sms.db")));
}

TEST_F(BackupTool, LockedDeviceFailsWithTheLockedError)
{
    SimulatedBackupDevice phone = device(QStringLiteral("locked-phone"));
    phone.locked();
    add(phone);
    const ToolRun run = tool({"--backup", "--target", phone.udid()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.output().toLower().contains("mberrordomain/208")) << run.output().constData();
    EXPECT_FALSE(QFileInfo::exists(backupFolder(phone.udid())));
}

TEST_F(BackupTool, ReadsAManifestDbBackup)
{
    const QString udid = QStringLiteral("00008030-001A2B3C4D5E6F70");
    ManifestDbBackupBuilder builder(backupFolder(udid));
    const QList<SimulatedBackupDevice::File> files = {
        {QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"),
         QByteArray("modern messages")},
        {QStringLiteral("AppDomainGroup-group.com.apple.notes"), QStringLiteral("NoteStore.sqlite"),
         QByteArray(100000, 'N')},
        {QStringLiteral("MediaDomain"), QStringLiteral("Library/SMS/Attachments/0a/x,y,z.heic"),
         QByteArray("pic")},
    };
    builder.directory(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS"));
    for (const auto& file : files)
        builder.file(file.domain, file.relativePath, file.content);
    builder.write();

    const ToolRun listing = runBackupTool({"--list", "--source", udid, "--target", udid});
    ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
    const QList<QStringList> lines = listingLines(listing.out);
    ASSERT_EQ(lines.size(), files.size());
    for (const auto& file : files) {
        SCOPED_TRACE(file.relativePath.toStdString());
        const QString id = backupFileIdentifier(file.domain, file.relativePath);
        const QString stored = id.left(2) + QLatin1Char('/') + id;
        bool listed = false;
        for (const QStringList& fields : lines) {
            if (fields.at(0) == stored) {
                listed = true;
                EXPECT_EQ(fields.at(11), file.domain);
                EXPECT_EQ(fields.mid(12).join(QLatin1Char(',')), file.relativePath);
                EXPECT_EQ(fields.at(2).toLongLong(), file.content.size());
            }
        }
        EXPECT_TRUE(listed);
        const ToolRun name =
            runBackupTool({"--filename", file.relativePath, "-s", udid, "-D", file.domain});
        EXPECT_EQ(name.out.trimmed(), stored.toLatin1());
        const QString extracted = Locations::backupRoot() + QLatin1Char('/')
            + file.relativePath.section(QLatin1Char('/'), -1);
        const ToolRun run =
            runBackupTool({"--extract", file.relativePath, "-D", file.domain, "-s", udid});
        ASSERT_EQ(run.exitCode, 0) << run.output().constData();
        EXPECT_EQ(readFixtureFile(extracted), file.content);
        QFile::remove(extracted);
    }
    // The domain decides: the same path in another domain is not there.
    EXPECT_NE(runBackupTool({"--extract", "Library/SMS/sms.db", "-D", "MediaDomain", "-s", udid})
                  .exitCode,
              0);
}

TEST_F(BackupTool, EncryptedManifestDbFailsClearly)
{
    const QString udid = QStringLiteral("encrypted-modern");
    ManifestDbBackupBuilder(backupFolder(udid)).encrypted().write();
    // Its Manifest.plist has no key bag: without a password that is a
    // missing password, with one a backup in a form the tool cannot read.
    QProcessEnvironment withPassword;
    withPassword.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), QStringLiteral("secret"));
    for (const QStringList& arguments :
         {QStringList{"--extract", "Library/SMS/sms.db", "-s", udid},
          QStringList{"--list", "--source", udid, "--target", udid},
          QStringList{"--filename", "Library/SMS/sms.db", "-s", udid}}) {
        const ToolRun run = runBackupTool(arguments, QProcessEnvironment());
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.err.contains("password is needed")) << run.output().constData();
        const ToolRun given = runBackupTool(arguments, withPassword);
        EXPECT_EQ(given.exitCode, 1);
        EXPECT_TRUE(given.err.contains("holds no key bag")) << given.output().constData();
    }
}

// Manifest entries that name something outside the backup are never listed,
// extracted or followed; neither generation writes anything outside the root.
TEST_F(BackupTool, HostileManifestEntriesAreRefused)
{
    const QStringList hostile = {QStringLiteral(".."),
                                 QStringLiteral("../../outside.txt"),
                                 QStringLiteral("/etc/passwd"),
                                 QString(),
                                 QStringLiteral("Library/../../../x"),
                                 QStringLiteral("a\nb,HomeDomain,fake"),
                                 QStringLiteral("./x")};
    const QString modern = QStringLiteral("hostile-modern");
    ManifestDbBackupBuilder builder(backupFolder(modern));
    builder.file(QStringLiteral("HomeDomain"), QStringLiteral("Library/good.db"),
                 QByteArray("good"));
    for (const QString& path : hostile)
        builder.file(QStringLiteral("HomeDomain"), path, QByteArray("evil"));
    builder.row(QStringLiteral("../../../../etc/passwd"), QStringLiteral("HomeDomain"),
                QStringLiteral("Library/byid.db"), 1);
    builder.file(QStringLiteral("../HomeDomain"), QStringLiteral("Library/x.db"),
                 QByteArray("evil"));
    builder.write();

    const QString flat = QStringLiteral("hostile-flat");
    MbdbBuilder records;
    records.record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/good.db"), 0x81A4,
                   4);
    ASSERT_TRUE(writeFixtureFile(
        backupFolder(flat) + QLatin1Char('/')
            + backupFileIdentifier(QStringLiteral("HomeDomain"), QStringLiteral("Library/good.db")),
        "good"));
    for (const QString& path : hostile) {
        records.record(QByteArrayLiteral("HomeDomain"), path.toUtf8(), 0x81A4, 4);
        writeFixtureFile(backupFolder(flat) + QLatin1Char('/')
                             + backupFileIdentifier(QStringLiteral("HomeDomain"), path),
                         "evil");
    }
    records.record(QByteArrayLiteral("HomeDomain"), QByteArray("Library/nul\0.db", 15), 0x81A4, 4);
    ASSERT_TRUE(writeFixtureFile(backupFolder(flat) + QStringLiteral("/Manifest.mbdb"),
                                 records.manifest()));

    const QSet<QString> before = filesBelow(TestEnvironment::home());
    for (const QString& udid : {modern, flat}) {
        SCOPED_TRACE(udid.toStdString());
        const ToolRun listing = runBackupTool({"--list", "--source", udid, "--target", udid});
        ASSERT_EQ(listing.exitCode, 0) << listing.output().constData();
        const QList<QStringList> lines = listingLines(listing.out);
        ASSERT_EQ(lines.size(), 1) << listing.out.constData();
        EXPECT_EQ(lines.first().at(12), QStringLiteral("Library/good.db"));
        EXPECT_TRUE(listing.err.contains("Left out")) << listing.err.constData();
        for (const QString& path : hostile + QStringList{QStringLiteral("Library/byid.db")}) {
            const ToolRun run = runBackupTool({"--extract", path, "-s", udid});
            EXPECT_NE(run.exitCode, 0) << path.toStdString();
        }
    }
    EXPECT_EQ(filesBelow(TestEnvironment::home()), before);
}

TEST_F(BackupTool, HostilePathsOnTheCommandLineWriteNothing)
{
    const SimulatedBackupDevice phone = device(QStringLiteral("path-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QSet<QString> before = filesBelow(TestEnvironment::home());
    for (const QString& path :
         {QStringLiteral(".."), QStringLiteral("/"), QStringLiteral("Library/SMS/.."),
          QStringLiteral("Library/SMS/"), QStringLiteral("../plain-phone/Manifest.plist"),
          QStringLiteral("Library//SMS/sms.db")}) {
        const ToolRun run = tool({"--extract", path, "-s", phone.udid()});
        EXPECT_NE(run.exitCode, 0) << path.toStdString();
    }
    // A device identifier is a folder name and nothing more.
    for (const QString& udid :
         {QStringLiteral(".."), QStringLiteral("../x"), QStringLiteral(".hidden"), QString()})
        EXPECT_EQ(tool({"--list", "--source", udid, "--target", udid}).exitCode, 2)
            << udid.toStdString();
    // The extracted name may not replace a folder (another device's backup).
    ASSERT_TRUE(QDir().mkpath(Locations::backupRoot() + QStringLiteral("/sms.db")));
    EXPECT_NE(tool({"--extract", "Library/SMS/sms.db", "-s", phone.udid()}).exitCode, 0);
    EXPECT_TRUE(QFileInfo(Locations::backupRoot() + QStringLiteral("/sms.db")).isDir());
    QDir(Locations::backupRoot() + QStringLiteral("/sms.db")).removeRecursively();
    EXPECT_EQ(filesBelow(TestEnvironment::home()), before);
}

TEST_F(BackupTool, DamagedManifestsFailClearly)
{
    const QByteArray good =
        MbdbBuilder()
            .record(QByteArrayLiteral("HomeDomain"), QByteArrayLiteral("Library/SMS/sms.db"))
            .manifest();
    struct Damage {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    const QList<Damage> damages = {
        {"empty", QByteArray(), "not a backup manifest"},
        {"wrong magic", QByteArray("MBDB\x05\x00", 6), "not a backup manifest"},
        {"truncated record", good.left(good.size() - 3), "damaged"},
        {"length past the end",
         good
             + QByteArray("\x40\x00"
                          "HomeDomain",
                          12),
         "damaged"},
        {"garbage", QByteArray(300, '\xFF').prepend("mbdb\x05\x00"), "damaged"},
    };
    int n = 0;
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const QString udid = QStringLiteral("damaged-%1").arg(n++);
        ASSERT_TRUE(
            writeFixtureFile(backupFolder(udid) + QStringLiteral("/Manifest.mbdb"), damage.bytes));
        for (const QStringList& arguments :
             {QStringList{"--list", "--source", udid, "--target", udid},
              QStringList{"--extract", "Library/SMS/sms.db", "-s", udid}}) {
            const ToolRun run = runBackupTool(arguments, QProcessEnvironment());
            EXPECT_FALSE(run.crashed);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(run.err.contains(damage.says)) << run.err.constData();
        }
    }
    // A Manifest.db that is not a database.
    ASSERT_TRUE(writeFixtureFile(backupFolder(QStringLiteral("damaged-db"))
                                     + QStringLiteral("/Manifest.db"),
                                 QByteArray("SQLite format 3\0garbage", 23)));
    const ToolRun run =
        runBackupTool({"--list", "--source", "damaged-db", "--target", "damaged-db"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.isEmpty());
    // No backup at all.
    EXPECT_EQ(
        runBackupTool({"--list", "--source", "nothing-here", "--target", "nothing-here"}).exitCode,
        1);
}

TEST_F(BackupTool, ExtractsIntoTheFolderItIsGiven)
{
    const SimulatedBackupDevice phone = device(QStringLiteral("scratch-phone"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    QTemporaryDir scratch;
    ASSERT_EQ(tool({"--extract", "Library/SMS/sms.db-wal", "-s", phone.udid()},
                   {"ORVANE_EXTRACT_TO", scratch.path()})
                  .exitCode,
              0);
    EXPECT_EQ(readFixtureFile(scratch.path() + QStringLiteral("/sms.db-wal")),
              QByteArray(5000, 'w'));
    EXPECT_FALSE(QFileInfo::exists(Locations::backupRoot() + QStringLiteral("/sms.db-wal")));
    EXPECT_NE(tool({"--extract", "Library/SMS/sms.db", "-s", phone.udid()},
                   {"ORVANE_EXTRACT_TO", "relative/folder"})
                  .exitCode,
              0);
}

TEST_F(BackupTool, RestoresASimulatedDevice)
{
    SimulatedBackupDevice phone = device(QStringLiteral("restore-phone"));
    phone.password(QStringLiteral("pw"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    const QString onDevice =
        phone.folder() + QStringLiteral("/backup/HomeDomain/Library/SMS/sms.db");
    ASSERT_TRUE(writeFixtureFile(onDevice, "changed on the device"));
    EXPECT_NE(tool({"--restore", "-s", phone.udid()}).exitCode, 0);
    EXPECT_EQ(readFixtureFile(onDevice), QByteArray("changed on the device"));
    const ToolRun run = tool({"--restore", "-s", phone.udid()}, {"ORVANE_BACKUP_PASSWORD", "pw"});
    ASSERT_EQ(run.exitCode, 0) << run.output().constData();
    EXPECT_EQ(readFixtureFile(onDevice), QByteArray("SQLite format 3\0messages", 24));
}

// A link on the device that leads out must not let the restore make even a
// folder outside the device before it refuses.
TEST_F(BackupTool, ARestoreThroughALinkThatLeadsOutMakesNothingOutside)
{
    SimulatedBackupDevice phone = device(QStringLiteral("restore-link"));
    add(phone);
    ASSERT_EQ(tool({"--backup", "--target", phone.udid()}).exitCode, 0);
    QTemporaryDir outside;
    const QString library = phone.folder() + QStringLiteral("/backup/HomeDomain/Library");
    ASSERT_TRUE(QDir(library).removeRecursively());
    ASSERT_TRUE(QFile::link(outside.path(), library));

    const ToolRun run = tool({"--restore", "-s", phone.udid()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.output().contains("outside the device")) << run.output().constData();
    EXPECT_TRUE(filesBelow(outside.path()).isEmpty())
        << filesBelow(outside.path()).values().join(", ").toStdString();
}

struct CommandLineCase {
    QStringList arguments;
    bool accepted;
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    *os << '"' << c.arguments.join(' ').toStdString() << '"';
}

class BackupToolCommandLines : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(BackupToolCommandLines, AcceptsExactlyTheToolsForms)
{
    const ToolRun run = runBackupTool(GetParam().arguments);
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode != 2, GetParam().accepted)
        << GetParam().arguments.join(' ').toStdString() << "\n"
        << run.output().constData();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BackupToolCommandLines,
    ::testing::Values(
        CommandLineCase{{"--extract", "Library/a.db", "-s", "U1"}, true},
        CommandLineCase{{"--extract", "Library/a.db", "-s", "U1", "--p", "W", "-D", "MediaDomain"},
                        true},
        CommandLineCase{{"--extract", "Library/a.db", "-D", "MediaDomain", "-s", "U1", "--p", ""},
                        true},
        CommandLineCase{
            {"--filename", "Library/a.db", "-s", "U1", "--password", "W", "-D", "MediaDomain"},
            true},
        CommandLineCase{{"--list", "--source", "U1", "--target", "U1"}, true},
        CommandLineCase{{"--list", "--source", "U1", "--target", "U1", "--password", "W"}, true},
        CommandLineCase{{"--restore", "-s", "U1", "--password", "W"}, true},
        CommandLineCase{{"--help"}, true}, CommandLineCase{{}, false},
        CommandLineCase{{"--backup"}, false}, CommandLineCase{{"--backup", "--target"}, false},
        CommandLineCase{{"--extract", "-s", "U1"}, false},
        CommandLineCase{{"--extract", "Library/a.db", "-s", "U1", "--password", "W"}, false},
        CommandLineCase{{"--filename", "Library/a.db", "-s", "U1", "--p", "W"}, false},
        CommandLineCase{{"--list", "--source", "U1"}, false},
        CommandLineCase{{"--list", "--source", "U1", "--target", "U2"}, false},
        CommandLineCase{{"--extract", "Library/a.db", "-s", "U1", "-s", "U2"}, false},
        CommandLineCase{{"--unback", "U1"}, false}));

} // namespace
