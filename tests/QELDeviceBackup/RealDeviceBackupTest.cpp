#include <csignal>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "Clock.h"
#include "Locations.h"
#include "Processes.h"
#include "WaitUntil.h"

namespace {

// A stand-in for idevicebackup2 on the PATH: a shell script written per test.
class FakeIdeviceBackup2 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bin.isValid()); }

    void script(const QByteArray& body)
    {
        const QString path = m_bin.path() + QStringLiteral("/idevicebackup2");
        ASSERT_TRUE(writeFixtureFile(path, "#!/bin/sh\n" + body));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"),
                   m_bin.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("ORVANE_SIMULATED_DEVICES"), QString());
        env.insert(QStringLiteral("FAKE_LOG"), m_bin.path() + QStringLiteral("/arguments"));
        env.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), QStringLiteral("hunter2"));
        return env;
    }

    QString loggedArguments() const
    {
        return QString::fromUtf8(readFixtureFile(m_bin.path() + QStringLiteral("/arguments")));
    }

    QTemporaryDir m_bin;
};

// Writes the Status.plist of a finished backup, as idevicebackup2 does.
const QByteArray kFinishedBackup =
    "echo \"$@\" > \"$FAKE_LOG\"\n"
    "mkdir -p \"$4/$2\"\n"
    "printf '<?xml version=\"1.0\"?><plist "
    "version=\"1.0\"><dict><key>SnapshotState</key><string>finished</string></dict></plist>' > "
    "\"$4/$2/Status.plist\"\n";

TEST_F(FakeIdeviceBackup2, RealDeviceIsBackedUpWithoutThePasswordOnAnyCommandLine)
{
    script(kFinishedBackup + "echo Backup Successful.\n");
    const ToolRun run = runBackupTool({"--backup", "--target", "real-udid"}, environment());
    ASSERT_EQ(run.exitCode, 0) << run.output().constData();
    EXPECT_EQ(loggedArguments().trimmed(),
              QStringLiteral("--udid real-udid backup ") + Locations::backupRoot());
    EXPECT_FALSE(loggedArguments().contains(QStringLiteral("hunter2")));
    EXPECT_TRUE(run.output().contains("Backup Successful."));
}

TEST_F(FakeIdeviceBackup2, LongOutputIsDrainedWhileItRuns)
{
    // 4 MB of output: a tool whose pipe is not read would block forever.
    script(kFinishedBackup + "head -c 4000000 /dev/zero | tr '\\0' 'x'\n");
    const ToolRun run = runBackupTool({"--backup", "--target", "chatty-udid"}, environment());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(run.out.size(), 4000000);
}

struct LockedCase {
    const char* name;
    QByteArray body;
    bool locked;
};

void PrintTo(const LockedCase& c, std::ostream* os) { *os << c.name; }

class LockedRealDevice : public FakeIdeviceBackup2,
                         public ::testing::WithParamInterface<LockedCase> {};

TEST_P(LockedRealDevice, FailureSaysWhetherTheDeviceIsLocked)
{
    script(GetParam().body);
    const ToolRun run = runBackupTool({"--backup", "--target", "locked-udid"}, environment());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.output().toLower().contains("mberrordomain/208"), GetParam().locked)
        << run.output().constData();
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, LockedRealDevice,
    ::testing::Values(
        LockedCase{"lockdown refuses",
                   "echo 'ERROR: Could not connect to lockdownd, error code -17'\nexit 255\n",
                   true},
        LockedCase{"device reports 208",
                   "echo 'ErrorCode 208: Device locked (MBErrorDomain/208)'\nexit 1\n", true},
        LockedCase{"other failure",
                   "echo 'ERROR: Could not start service com.apple.mobilebackup2.'\nexit 255\n",
                   false},
        LockedCase{"success without a finished backup", "echo done\nexit 0\n", false}));

TEST_F(FakeIdeviceBackup2, ProcessListSeesTheRunningTool)
{
    const QString fifo = m_bin.path() + QStringLiteral("/release");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    script(kFinishedBackup + "read line < \"" + QFile::encodeName(fifo) + "\"\n");

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    process.setProcessEnvironment(env);
    process.start(
        backupToolPath(),
        {QStringLiteral("--backup"), QStringLiteral("--target"), QStringLiteral("listed-udid")});
    ASSERT_TRUE(process.waitForStarted());

    QVariantMap found;
    bool backupChildSeen = false;
    for (int attempt = 0; attempt < 2000 && (found.isEmpty() || !backupChildSeen); ++attempt) {
        for (const QVariant& entry : GetProcessInfoList()) {
            const QVariantMap map = entry.toMap();
            if (map.value(QStringLiteral("processID")).toLongLong() == process.processId())
                found = map;
            if (map.value(QStringLiteral("processName")).toString()
                == QLatin1String("idevicebackup2"))
                backupChildSeen = true;
        }
        if (found.isEmpty() || !backupChildSeen)
            Clock::sleepFor(std::chrono::milliseconds(100));
    }
    // Linux keeps 15 characters of a command name.
    EXPECT_EQ(found.value(QStringLiteral("processName")).toString(),
              QStringLiteral("orvane-mobileba"));
    EXPECT_EQ(found.value(QStringLiteral("userID")).toULongLong(), quint64(getuid()));
    EXPECT_FALSE(found.value(QStringLiteral("userName")).toString().isEmpty());
    EXPECT_TRUE(GetProcessArguments(static_cast<pid_t>(process.processId()))
                    .contains(QStringLiteral("listed-udid")));
    EXPECT_TRUE(backupChildSeen);

    const int release = open(QFile::encodeName(fifo).constData(), O_WRONLY);
    ASSERT_GE(release, 0);
    ASSERT_EQ(write(release, "go\n", 3), 3);
    close(release);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
}

// Every file of a backup folder with a hash of its bytes.
QMap<QString, QByteArray> folderContents(const QString& folder)
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

// How a run of idevicebackup2 over an existing backup ends, after it has
// changed that backup in place part-way.
struct InPlaceCase {
    const char* name;
    QByteArray end;     // the stand-in's last lines
    int stopTool;       // 0, or the signal the tool gets while the stand-in waits
    bool newBackupKept; // false: the previous one is back
};

void PrintTo(const InPlaceCase& c, std::ostream* os) { *os << c.name; }

class InPlaceBackup : public FakeIdeviceBackup2,
                      public ::testing::WithParamInterface<InPlaceCase> {};

TEST_P(InPlaceBackup, LeavesThePreviousBackupWholeUnlessTheNewOneIsFinished)
{
    const InPlaceCase& c = GetParam();
    const QString udid = QStringLiteral("in-place-phone");
    const QString folder = Locations::backupRoot() + QLatin1Char('/') + udid;
    const QString home = QStringLiteral("HomeDomain");
    ManifestDbBackupBuilder(folder)
        .file(home, QStringLiteral("Library/SMS/sms.db"), "previous messages")
        .file(home, QStringLiteral("Library/Notes/notes.sqlite"), "previous notes")
        .file(home, QStringLiteral("Library/Calendar/Calendar.sqlitedb"), "unchanged calendar")
        .write();
    const QMap<QString, QByteArray> previous = folderContents(folder);
    const auto stored = [&](const char* path) {
        const QString id = backupFileIdentifier(home, QString::fromLatin1(path));
        return QFile::encodeName(id.left(2) + QLatin1Char('/') + id);
    };
    // What idevicebackup2 does to a backup it updates: removes files, writes
    // the ones it replaces as new files, rewrites the manifest and
    // Status.plist in place.
    script(
        "echo \"$@\" > \"$FAKE_LOG\"\n"
        "d=\"$4/$2\"\n"
        "rm -f \"$d/"
        + stored("Library/Notes/notes.sqlite")
        + "\"\n"
          "rm -f \"$d/"
        + stored("Library/SMS/sms.db")
        + "\"\n"
          "echo newer messages > \"$d/"
        + stored("Library/SMS/sms.db")
        + "\"\n"
          "mkdir -p \"$d/ff\" && echo added > \"$d/ff/ffffffffffffffffffffffffffffffffffffffff\"\n"
          "echo half-written > \"$d/Manifest.db\"\n"
          "printf '<plist version=\"1.0\"><dict><key>SnapshotState</key><string>new</string>"
          "</dict></plist>' > \"$d/Status.plist\"\n"
          "touch \"$FAKE_LOG.changed\"\n"
        + c.end);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(backupToolPath(), {QStringLiteral("--backup"), QStringLiteral("--target"), udid});
    ASSERT_TRUE(run.waitForStarted());
    if (c.stopTool) {
        ASSERT_TRUE(waitUntil([&] {
            return QFileInfo::exists(m_bin.path() + QStringLiteral("/arguments.changed"));
        }));
        ::kill(static_cast<pid_t>(run.processId()), c.stopTool);
    }
    ASSERT_TRUE(run.waitForFinished(60000));
    const QByteArray output = run.readAll();
    if (c.newBackupKept)
        EXPECT_EQ(run.exitCode(), 0) << output.constData();
    else
        EXPECT_TRUE(run.exitStatus() == QProcess::CrashExit || run.exitCode() != 0)
            << output.constData();
    // The stand-in ends with the tool, however the tool ends.
    EXPECT_TRUE(waitUntil([&] {
        for (const QVariant& entry : GetProcessInfoList()) {
            const QStringList arguments = GetProcessArguments(
                static_cast<pid_t>(entry.toMap().value(QStringLiteral("processID")).toLongLong()));
            if (arguments.contains(QStringLiteral("sleep"))
                && arguments.contains(QStringLiteral("601")))
                return false;
        }
        return true;
    })) << "idevicebackup2 outlived the tool";

    // Any next run of the tool (here a listing) first puts back what a killed
    // run could not.
    const ToolRun listing =
        runBackupTool({"--list", "--source", udid, "--target", udid}, environment());
    const QMap<QString, QByteArray> after = folderContents(folder);
    if (c.newBackupKept) {
        EXPECT_NE(after, previous);
        EXPECT_EQ(readFixtureFile(folder + QLatin1Char('/')
                                  + QString::fromLatin1(stored("Library/SMS/sms.db"))),
                  QByteArray("newer messages\n"));
    } else {
        EXPECT_EQ(listing.exitCode, 0) << listing.output().constData();
        EXPECT_EQ(after, previous);
    }
    EXPECT_EQ(QDir(Locations::backupRoot())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{udid});
}

INSTANTIATE_TEST_SUITE_P(
    Ends, InPlaceBackup,
    ::testing::Values(
        InPlaceCase{"Fails", "echo 'ERROR: Backup failed'\nexit 1\n", 0, false},
        InPlaceCase{"IsKilled", "kill -KILL $$\n", 0, false},
        InPlaceCase{"ToolIsStopped", "exec sleep 601\n", SIGTERM, false},
        InPlaceCase{"ToolIsInterrupted", "exec sleep 601\n", SIGINT, false},
        InPlaceCase{"ToolIsKilled", "exec sleep 601\n", SIGKILL, false},
        InPlaceCase{"Finishes",
                    "printf '<plist version=\"1.0\"><dict><key>SnapshotState</key>"
                    "<string>finished</string></dict></plist>' > \"$d/Status.plist\"\nexit 0\n",
                    0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProcessList, EntriesCarryTheirKeys)
{
    const QVariantList entries = GetProcessInfoList();
    ASSERT_FALSE(entries.isEmpty());
    bool self = false;
    for (const QVariant& entry : entries) {
        const QVariantMap map = entry.toMap();
        EXPECT_TRUE(map.contains(QStringLiteral("processID")));
        EXPECT_TRUE(map.contains(QStringLiteral("processName")));
        EXPECT_EQ(map.contains(QStringLiteral("userID")), map.contains(QStringLiteral("userName")));
        if (map.value(QStringLiteral("processID")).toLongLong() == getpid())
            self = true;
    }
    EXPECT_TRUE(self);
    QList<BSDProcessRecord> notEmpty{BSDProcessRecord{}};
    EXPECT_NE(GetBSDProcessList(&notEmpty), 0);
    EXPECT_NE(GetBSDProcessList(nullptr), 0);
}

} // namespace
