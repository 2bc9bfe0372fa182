#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BackupFixtures.h"
#include "Clock.h"
#include "Locations.h"
#include "Processes.h"

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
