#include <csignal>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include "Clock.h"
#include "DeviceBackupTestSupport.h"
#include "InfoPlistGenerator.h"
#include "Locations.h"
#include "Plist.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "WaitUntil.h"

namespace {

QString backupFolder(const QString& udid)
{
    return Locations::backupRoot() + QLatin1Char('/') + udid;
}

QByteArray contentOfType(int type)
{
    return QByteArray("content of data type ") + QByteArray::number(type);
}

// Releases a fake program that waits on a named pipe.
void release(const QString& fifo)
{
    const int fd = open(QFile::encodeName(fifo).constData(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "go\n", 3), 3);
    close(fd);
}

class DeviceBackup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_devices.isValid());
        m_savedPath = qgetenv("PATH");
        // Backups that other tests run at the same time are not waited for.
        m_tool.processNames = QStringList{QStringLiteral("no-such-backup")};
    }
    void TearDown() override
    {
        qputenv("PATH", m_savedPath);
        qunsetenv("ORVANE_SIMULATED_DEVICES");
    }

    // A simulated device holding a file of every data type.
    SimulatedBackupDevice fullDevice(const QString& udid, const QList<int>& without = {})
    {
        SimulatedBackupDevice device(m_devices.path() + QLatin1Char('/') + udid, udid);
        for (int type = 0; type <= 15; ++type) {
            const auto element = QELDeviceBackup::relativePathElementForDataType(type);
            if (element && !without.contains(type))
                device.file(element->domain(), element->relativeDevicePath(), contentOfType(type));
        }
        device
            .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-wal"),
                  "wal of sms.db")
            .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-shm"),
                  "shm of sms.db")
            .file(QStringLiteral("HomeDomain"),
                  QStringLiteral("Library/Preferences/com.apple.springboard.plist"), "<plist/>")
            .file(QStringLiteral("MediaDomain"),
                  QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG"), "first picture")
            .file(QStringLiteral("MediaDomain"),
                  QStringLiteral("Library/SMS/Attachments/bb/IMG_0001.JPG"), "second picture");
        return device;
    }

    void useDevices(const QList<SimulatedBackupDevice>& devices)
    {
        QStringList folders;
        for (const SimulatedBackupDevice& device : devices)
            folders << device.write();
        qputenv("ORVANE_SIMULATED_DEVICES", folders.join(QLatin1Char(':')).toUtf8());
    }

    // Backs the device up through a new backup object and answers it.
    std::unique_ptr<QELDeviceBackup> backedUp(const SimulatedBackupDevice& device,
                                              const std::optional<QString>& password = std::nullopt)
    {
        auto backup = std::make_unique<QELDeviceBackup>(m_tool);
        backup->setDelegate(&m_events);
        const size_t before = m_events.backups().size();
        EXPECT_TRUE(backup->PerformBackupForDeviceID(device.udid()));
        const bool arrived = m_events.waitForBackups(before + 1);
        EXPECT_TRUE(arrived);
        EXPECT_TRUE(arrived && m_events.backups().back().successfull());
        backup->setPassword(password);
        return backup;
    }

    void fakeIdeviceBackup2(const FakeProgram& program)
    {
        qputenv("PATH", (program.folder() + QLatin1Char(':')).toUtf8() + m_savedPath);
    }

    QTemporaryDir m_devices;
    QByteArray m_savedPath;
    // What the backup objects a test makes run and wait for.
    BackupToolSettings m_tool;
    RecordingBackupDelegate m_events;
};

TEST_F(DeviceBackup, MakesTheBackupOncePerConnection)
{
    const SimulatedBackupDevice phone = fullDevice(QStringLiteral("once-phone"));
    useDevices({phone});
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(phone.udid()));
    ASSERT_TRUE(m_events.waitForBackups(1));
    const QELDeviceBackupCompleteArguments event = m_events.backups().front();
    EXPECT_TRUE(event.successfull());
    EXPECT_FALSE(event.encrypted());
    EXPECT_FALSE(event.locked());
    EXPECT_EQ(event.deviceID(), phone.udid());
    EXPECT_TRUE(backup.hasBackUpBeenPerformed());
    EXPECT_FALSE(backup.isBackUpInProgress());
    EXPECT_EQ(backup.deviceBackUpPath(), backupFolder(phone.udid()));

    const QVariantMap info =
        Plist::readFile(backupFolder(phone.udid()) + QStringLiteral("/Info.plist")).toMap();
    EXPECT_EQ(info.value(QStringLiteral("Device Name")).toString(), QStringLiteral("Test Phone"));
    EXPECT_EQ(info.value(QStringLiteral("Product Version")).toString(), QStringLiteral("17.2"));
    EXPECT_EQ(info.value(QStringLiteral("Target Type")).toString(), QStringLiteral("Device"));
    EXPECT_EQ(info.value(QStringLiteral("GUID")).toString(), phone.udid());

    // Made once: asking again answers yes and sends nothing.
    EXPECT_TRUE(backup.PerformBackupForDeviceID(phone.udid()));
    EXPECT_EQ(m_events.backups().size(), 1u);
    // The next connection backs up again with the same object.
    backup.setHasBackUpBeenPerformed(false);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(phone.udid()));
    ASSERT_TRUE(m_events.waitForBackups(2));
    EXPECT_TRUE(m_events.backups().back().successfull());
}

TEST_F(DeviceBackup, EncryptedAndLockedDevicesAreReported)
{
    SimulatedBackupDevice secret = fullDevice(QStringLiteral("encrypted-phone"));
    secret.password(QStringLiteral("pw"));
    SimulatedBackupDevice locked = fullDevice(QStringLiteral("locked-phone"));
    locked.locked();
    useDevices({secret, locked});
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(secret.udid()));
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_TRUE(m_events.backups().back().successfull());
    EXPECT_TRUE(m_events.backups().back().encrypted());

    QELDeviceBackup other(m_tool);
    other.setDelegate(&m_events);
    ASSERT_TRUE(other.PerformBackupForDeviceID(locked.udid()));
    ASSERT_TRUE(m_events.waitForBackups(2));
    EXPECT_FALSE(m_events.backups().back().successfull());
    EXPECT_TRUE(m_events.backups().back().locked());
    EXPECT_FALSE(other.hasBackUpBeenPerformed());
    EXPECT_FALSE(other.isBackUpInProgress());
}

TEST_F(DeviceBackup, ASecondRequestDuringARunAnswersNo)
{
    FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                     "read line < \"$(dirname \"$0\")/release\"\nexit 1\n");
    ASSERT_EQ(
        mkfifo(QFile::encodeName(tool.folder() + QStringLiteral("/release")).constData(), 0600), 0);
    m_tool.executablePath = tool.path();
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(QStringLiteral("busy-phone")));
    EXPECT_FALSE(backup.PerformBackupForDeviceID(QStringLiteral("busy-phone")));
    EXPECT_TRUE(backup.isBackUpInProgress());
    release(tool.folder() + QStringLiteral("/release"));
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_FALSE(m_events.backups().front().successfull());
    EXPECT_FALSE(m_events.backups().front().locked());
    EXPECT_EQ(tool.runs().first(), QStringLiteral("|--backup|--target|busy-phone"));
}

TEST_F(DeviceBackup, MissingToolFailsTheBackup)
{
    m_tool.executablePath = m_devices.path() + QStringLiteral("/no-such-tool");
    QELDeviceBackup backup(m_tool);
    EXPECT_TRUE(backup.appleMobileDeviceBackupExecutablePath().isNull());
    // The path is the object's own: another object still runs the program's tool.
    EXPECT_FALSE(QELDeviceBackup().appleMobileDeviceBackupExecutablePath().isNull());
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(QStringLiteral("toolless")));
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_FALSE(m_events.backups().front().successfull());
    EXPECT_FALSE(m_events.backups().front().locked());
    // The program is incomplete; nothing is known of the device.
    EXPECT_TRUE(m_events.backups().front().toolMissing());

    // A tool that is there but cannot be run is just as missing.
    ASSERT_TRUE(writeFixtureFile(m_tool.executablePath, "#!/bin/sh\nexit 0\n"));
    QELDeviceBackup unrunnable(m_tool);
    unrunnable.setDelegate(&m_events);
    ASSERT_TRUE(unrunnable.PerformBackupForDeviceID(QStringLiteral("toolless")));
    ASSERT_TRUE(m_events.waitForBackups(2));
    EXPECT_FALSE(m_events.backups().back().successfull());
    EXPECT_TRUE(m_events.backups().back().toolMissing());
}

TEST_F(DeviceBackup, OurOwnToolRunsAreNoOtherProgramsBackup)
{
    // A name of this test's own, so that tool runs of other tests do not count.
    const QString name = QStringLiteral("ownrun-%1").arg(getpid());
    FakeProgram tool(name,
                     "[ \"$1\" = --extract ] && read line < \"$(dirname \"$0\")/release\"\n"
                     "exit 1\n");
    const QString fifo = tool.folder() + QStringLiteral("/release");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    m_tool.executablePath = tool.path();
    m_tool.processNames = QStringList{name};
    ASSERT_TRUE(QDir().mkpath(Locations::backupRoot()));

    // A lookup of this program runs the tool, and its run is under way...
    std::thread lookup([&] {
        QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("Library/SMS/sms.db"), QStringLiteral("own-phone"), std::nullopt,
            QString(), QString(), m_tool);
    });
    ASSERT_TRUE(waitUntil([&] { return !tool.runs().isEmpty(); }));
    // ... when a backup is asked for: it runs at once instead of waiting.
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(QStringLiteral("own-phone")));
    const bool ran = waitUntil([&] { return tool.runs().size() >= 2; });
    release(fifo);
    lookup.join();
    ASSERT_TRUE(ran) << "the backup waited for the program's own tool run";
    EXPECT_EQ(tool.runs().at(1), QStringLiteral("|--backup|--target|own-phone"));
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_FALSE(m_events.backups().front().toolMissing());
}

TEST_F(DeviceBackup, AFailedBackupIsRetriedOnceAfterItsStatusIsRemoved)
{
    // A real device whose first backup fails half-way and whose second works.
    FakeProgram idevicebackup2(
        QStringLiteral("idevicebackup2"),
        "mkdir -p \"$4/$2\"\n"
        "if [ ! -e \"$(dirname \"$0\")/failed-once\" ]; then\n"
        "  touch \"$(dirname \"$0\")/failed-once\"\n"
        "  printf '<plist "
        "version=\"1.0\"><dict><key>SnapshotState</key><string>new</string></dict></plist>' > "
        "\"$4/$2/Status.plist\"\n"
        "  echo 'ERROR: Could not start service com.apple.mobilebackup2.'; exit 255\n"
        "fi\n"
        "[ -e \"$4/$2/Status.plist\" ] && exit 3\n"
        "printf '<plist "
        "version=\"1.0\"><dict><key>SnapshotState</key><string>finished</string></dict></plist>' > "
        "\"$4/$2/Status.plist\"\n");
    fakeIdeviceBackup2(idevicebackup2);
    const QString udid = QStringLiteral("retried-phone");
    QELDeviceBackup backup(m_tool);
    EXPECT_FALSE(backup.removeBackupStatusForDeviceID(udid)); // no backup folder yet
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(udid));
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_FALSE(m_events.backups().back().successfull());
    EXPECT_FALSE(m_events.backups().back().locked());

    ASSERT_TRUE(backup.removeBackupStatusForDeviceID(m_events.backups().back().deviceID()));
    EXPECT_FALSE(QFileInfo::exists(backupFolder(udid) + QStringLiteral("/Status.plist")));
    EXPECT_TRUE(backup.removeBackupStatusForDeviceID(udid)); // none left: still yes
    ASSERT_TRUE(backup.PerformBackupForDeviceID(udid));
    ASSERT_TRUE(m_events.waitForBackups(2));
    EXPECT_TRUE(m_events.backups().back().successfull());
    EXPECT_EQ(idevicebackup2.runs().size(), 2);
}

TEST_F(DeviceBackup, InfoPlistIsMergedAndWrittenWhole)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Info.plist");
    ASSERT_TRUE(
        Plist::writeFile(path,
                         QVariantMap{{QStringLiteral("iTunes Version"), QStringLiteral("12")},
                                     {QStringLiteral("GUID"), QStringLiteral("old")}}));
    ASSERT_TRUE(InfoPlistGenerator::GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(
        path, QStringLiteral("U1"), QStringLiteral("Phone"), QStringLiteral("iPhone15,2"),
        QStringLiteral("17.2")));
    QVariantMap info = Plist::readFile(path).toMap();
    EXPECT_EQ(info.size(), 10);
    EXPECT_EQ(info.value(QStringLiteral("iTunes Version")).toString(), QStringLiteral("12"));
    EXPECT_EQ(info.value(QStringLiteral("GUID")).toString(), QStringLiteral("U1"));
    EXPECT_EQ(info.value(QStringLiteral("Display Name")).toString(), QStringLiteral("Phone"));
    EXPECT_TRUE(info.value(QStringLiteral("Last Backup Date")).toDateTime().isValid());

    // Without a version: the short form's five keys.
    const QString shortPath = dir.path() + QStringLiteral("/short.plist");
    ASSERT_TRUE(InfoPlistGenerator::GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(
        shortPath, QStringLiteral("U1"), QStringLiteral("Phone"), QStringLiteral("iPhone15,2"),
        QString()));
    info = Plist::readFile(shortPath).toMap();
    EXPECT_EQ(info.keys(),
              (QStringList{"GUID", "Last Backup Date", "Target Identifier", "Target Type",
                           "Unique Identifier"}));
    EXPECT_FALSE(InfoPlistGenerator::GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(
        dir.path() + QStringLiteral("/missing/Info.plist"), QStringLiteral("U1"), QString(),
        QString(), QString()));
}

// Another program's backup, standing in under a name of its own: it waits on
// a named pipe, then leaves a finished backup of the device it was given.
class RivalBackup {
public:
    RivalBackup()
        : m_program(QStringLiteral("rival-backup"),
                    "read line < \"$(dirname \"$0\")/release\"\n"
                    "mkdir -p \"$4/$2\"\n"
                    "printf '<plist "
                    "version=\"1.0\"><dict><key>SnapshotState</key><string>finished</string></"
                    "dict></plist>' > \"$4/$2/Status.plist\"\n")
    {
        mkfifo(QFile::encodeName(fifo()).constData(), 0600);
    }
    // What a backup object must look for to see this backup running.
    static QStringList processNames() { return {QStringLiteral("rival-backup")}; }
    QString fifo() const { return m_program.folder() + QStringLiteral("/release"); }
    bool start(const QString& udid)
    {
        m_process.start(
            m_program.path(),
            {QStringLiteral("--udid"), udid, QStringLiteral("backup"), Locations::backupRoot()});
        if (!m_process.waitForStarted())
            return false;
        for (int i = 0; i < 2000 && m_program.runs().isEmpty(); ++i)
            Clock::sleepFor(std::chrono::milliseconds(100));
        return !m_program.runs().isEmpty();
    }
    bool finish()
    {
        release(fifo());
        return m_process.waitForFinished(60000);
    }

private:
    FakeProgram m_program;
    QProcess m_process;
};

TEST_F(DeviceBackup, AnotherProcesssBackupOfTheSameDeviceIsWaitedForAndCounts)
{
    // Our own tool would fail: the event's success can only come from the other backup.
    FakeProgram failing(QStringLiteral("orvane-mobilebackup"), "exit 1\n");
    m_tool.executablePath = failing.path();
    const QString udid = QStringLiteral("shared-phone");
    ASSERT_TRUE(QDir().mkpath(Locations::backupRoot()));
    RivalBackup other;
    m_tool.processNames = RivalBackup::processNames();
    ASSERT_TRUE(other.start(udid));
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(udid));
    EXPECT_FALSE(backup.PerformBackupForDeviceID(udid));
    EXPECT_TRUE(m_events.backups().empty());
    ASSERT_TRUE(other.finish());
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_TRUE(m_events.backups().front().successfull());
    EXPECT_TRUE(failing.runs().isEmpty());
}

TEST_F(DeviceBackup, AnotherDevicesBackupIsWaitedForThenOurOwnRuns)
{
    const SimulatedBackupDevice phone = fullDevice(QStringLiteral("own-phone"));
    useDevices({phone});
    ASSERT_TRUE(QDir().mkpath(Locations::backupRoot()));
    RivalBackup other;
    m_tool.processNames = RivalBackup::processNames();
    ASSERT_TRUE(other.start(QStringLiteral("someone-elses-phone")));
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(phone.udid()));
    EXPECT_FALSE(QFileInfo::exists(backupFolder(phone.udid())));
    ASSERT_TRUE(other.finish());
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_TRUE(m_events.backups().front().successfull());
    EXPECT_TRUE(QFileInfo::exists(backupFolder(phone.udid()) + QStringLiteral("/Manifest.mbdb")));
}

// Backup tools left behind that hold no backup: one stopped (as a debugger or
// a suspended session leaves it), one ended but never collected by its parent,
// and one that only extracts a file.
struct LeftToolCase {
    const char* name;
    QByteArray holder; // run as `sh -c holder`, with $0 the tool and $1 the pid file
    char state;        // what the tool's process shows once it is left
};

void PrintTo(const LeftToolCase& c, std::ostream* os) { *os << c.name; }

class LeftBackupTool : public DeviceBackup,
                       public ::testing::WithParamInterface<LeftToolCase> {};

char processState(const QString& pid)
{
    const QByteArray stat = readFixtureFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray state = stat.mid(stat.lastIndexOf(')') + 1).trimmed().left(1);
    return state.isEmpty() ? '?' : state.at(0);
}

TEST_P(LeftBackupTool, IsNoOtherBackupToWaitFor)
{
    const SimulatedBackupDevice phone = fullDevice(QStringLiteral("left-tool-phone"));
    useDevices({phone});
    ASSERT_TRUE(QDir().mkpath(Locations::backupRoot()));
    const QString name = QStringLiteral("left-%1").arg(getpid());
    // The quick one ends only once its parent shell has become `sleep`: a
    // shell may collect a child that ended before it moved on.
    FakeProgram left(name,
                     "case \"$*\" in\n"
                     "*quick*) while [ \"$(cat /proc/$PPID/comm)\" != sleep ]; do sleep 0.01; "
                     "done; exit 0 ;;\n"
                     "*stop*) kill -STOP $$ ;;\n"
                     "esac\n"
                     "sleep 600\n");
    const QString pidFile = left.folder() + QStringLiteral("/left.pid");
    QProcess holder;
    holder.setChildProcessModifier([] { ::setpgid(0, 0); });
    holder.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QString::fromLatin1(GetParam().holder), left.path(), pidFile});
    ASSERT_TRUE(holder.waitForStarted());
    const auto stopHolder = qScopeGuard([&] {
        ::kill(-static_cast<pid_t>(holder.processId()), SIGKILL);
        holder.waitForFinished();
    });
    QString pid;
    // Starting three shells takes a while on a loaded machine running a
    // sanitized build; the wait is generous and ends as soon as it holds.
    ASSERT_TRUE(waitUntil(
        [&] {
            pid = QString::fromLatin1(readFixtureFile(pidFile)).trimmed();
            return !pid.isEmpty() && !left.runs().isEmpty()
                && processState(pid) == GetParam().state;
        },
        60000));

    m_tool.processNames = QStringList{name};
    QELDeviceBackup backup(m_tool);
    backup.setDelegate(&m_events);
    ASSERT_TRUE(backup.PerformBackupForDeviceID(phone.udid()));
    // Our own backup runs at once, long before a wait for the left tool would end.
    ASSERT_TRUE(m_events.waitForBackups(1));
    EXPECT_TRUE(m_events.backups().front().successfull());
    EXPECT_TRUE(QFileInfo::exists(backupFolder(phone.udid()) + QStringLiteral("/Manifest.mbdb")));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LeftBackupTool,
    ::testing::Values(
        LeftToolCase{"stopped",
                     "\"$0\" --backup --target left-tool-phone stop & echo $! > \"$1\"; wait", 'T'},
        // The tool ends at once; its parent, now `sleep`, never collects it.
        LeftToolCase{"ended",
                     "\"$0\" --backup --target left-tool-phone quick & echo $! > \"$1\"; "
                     "exec sleep 600",
                     'Z'},
        LeftToolCase{"extracting",
                     "\"$0\" --extract Library/SMS/sms.db -s left-tool-phone & echo $! > "
                     "\"$1\"; wait",
                     'S'}),
    [](const auto& info) { return std::string(info.param.name); });

class DataTypes : public DeviceBackup,
                  public ::testing::WithParamInterface<bool> {};

TEST_P(DataTypes, EveryTypeAnswersACallerOwnedCopy)
{
    const bool encrypted = GetParam();
    SimulatedBackupDevice phone =
        fullDevice(encrypted ? QStringLiteral("types-secret") : QStringLiteral("types-plain"));
    if (encrypted)
        phone.password(QStringLiteral("s3cret"));
    useDevices({phone});
    // A file of the user's that happens to bear a data type's name.
    ASSERT_TRUE(writeFixtureFile(Locations::backupRoot() + QStringLiteral("/sms.db"),
                                 "the user's own file"));
    auto backup = backedUp(
        phone, encrypted ? std::optional<QString>(QStringLiteral("s3cret")) : std::nullopt);
    const QString temporary = Locations::temporaryFolder();

    for (int type = 0; type <= 15; ++type) {
        SCOPED_TRACE(type);
        const QString path = backup->GetPathToDataOfType(type);
        if (type == 7) {
            EXPECT_TRUE(path.isNull());
            continue;
        }
        ASSERT_FALSE(path.isEmpty());
        EXPECT_TRUE(path.startsWith(temporary + QLatin1Char('/')));
        EXPECT_EQ(readFixtureFile(path), contentOfType(type));
        EXPECT_EQ(QFileInfo(path).fileName(),
                  QFileInfo(backup->relativePathElementForDataType(type)->relativeDevicePath())
                      .fileName());
        // The copy is the caller's: changing it leaves the backup alone.
        ASSERT_TRUE(writeFixtureFile(path, "changed by the caller"));
    }
    const QString messages = backup->GetPathToDataOfType(5);
    EXPECT_EQ(readFixtureFile(messages), contentOfType(5));
    EXPECT_EQ(readFixtureFile(messages + QStringLiteral("-wal")), QByteArray("wal of sms.db"));
    EXPECT_EQ(readFixtureFile(messages + QStringLiteral("-shm")), QByteArray("shm of sms.db"));
    // Two answers never share a file.
    const QString again = backup->GetPathToDataOfType(5);
    EXPECT_NE(again, messages);
    EXPECT_TRUE(QFileInfo::exists(messages));
    for (int type : {-1, 7, 16, 1000})
        EXPECT_TRUE(backup->GetPathToDataOfType(type).isNull()) << type;

    // Nothing in the backup root was written or removed.
    EXPECT_EQ(readFixtureFile(Locations::backupRoot() + QStringLiteral("/sms.db")),
              QByteArray("the user's own file"));
    EXPECT_EQ(QDir(Locations::backupRoot())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("sms.db"), phone.udid()}));
    QFile::remove(Locations::backupRoot() + QStringLiteral("/sms.db"));
}

TEST_P(DataTypes, AMissingTypeAnswersNothing)
{
    const bool encrypted = GetParam();
    SimulatedBackupDevice phone = fullDevice(
        encrypted ? QStringLiteral("few-secret") : QStringLiteral("few-plain"), {9, 13, 15});
    if (encrypted)
        phone.password(QStringLiteral("pw"));
    useDevices({phone});
    auto backup =
        backedUp(phone, encrypted ? std::optional<QString>(QStringLiteral("pw")) : std::nullopt);
    for (int type : {9, 13, 15})
        EXPECT_TRUE(backup->GetPathToDataOfType(type).isNull()) << type;
    EXPECT_FALSE(backup->GetPathToDataOfType(14).isNull());
}

INSTANTIATE_TEST_SUITE_P(Backups, DataTypes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Encrypted" : "Plain"; });

TEST_F(DeviceBackup, DataTypeIdentifiersAreTheHashesOfTheirPaths)
{
    for (int type = 0; type <= 15; ++type) {
        const auto element = QELDeviceBackup::relativePathElementForDataType(type);
        if (!element) {
            EXPECT_EQ(type, 7);
            continue;
        }
        EXPECT_EQ(QELDeviceBackup::fileIdentifierForDataType(type),
                  backupFileIdentifier(element->domain(), element->relativeDevicePath()))
            << type;
    }
    EXPECT_TRUE(QELDeviceBackup::fileNameForDataType(4).isNull());
    EXPECT_TRUE(QELDeviceBackup::fileNameForDataType(15).isNull());
    EXPECT_EQ(QELDeviceBackup::fileNameForDataType(14), QStringLiteral("Contacts.sqlite"));
}

// When the tool cannot extract, the manifests and the identifiers are used;
// the record of the type's own domain wins over another file of that name.
TEST_F(DeviceBackup, ManifestWaysPreferTheTypesDomainAndAnswerOnlyExistingFiles)
{
    FakeProgram failing(QStringLiteral("orvane-mobilebackup"), "exit 1\n");
    m_tool.executablePath = failing.path();
    const QString udid = QStringLiteral("manifest-only");
    const QString folder = backupFolder(udid);
    MbdbBuilder records;
    records
        .record(QByteArrayLiteral("AppDomain-com.other.app"),
                QByteArrayLiteral("Documents/Contacts.sqlite"))
        .record(QByteArrayLiteral("AppDomain-net.whatsapp.WhatsApp"),
                QByteArrayLiteral("Documents/Contacts.sqlite"))
        // Not empty: an empty file has no stored file and is answered empty.
        .record(QByteArrayLiteral("HomeDomain"),
                QByteArrayLiteral("Library/Calendar/Calendar.sqlitedb"), 0x81A4, 4096);
    ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Manifest.mbdb"), records.manifest()));
    ASSERT_TRUE(writeFixtureFile(folder + QStringLiteral("/Manifest.mbdx"), records.index()));
    ASSERT_TRUE(
        writeFixtureFile(folder + QLatin1Char('/')
                             + backupFileIdentifier(QStringLiteral("AppDomain-com.other.app"),
                                                    QStringLiteral("Documents/Contacts.sqlite")),
                         "another app's contacts"));
    ASSERT_TRUE(
        writeFixtureFile(folder + QLatin1Char('/') + QELDeviceBackup::fileIdentifierForDataType(14),
                         "whatsapp contacts"));
    ASSERT_TRUE(
        writeFixtureFile(folder + QLatin1Char('/') + QELDeviceBackup::fileIdentifierForDataType(5),
                         "messages by identifier"));
    ASSERT_TRUE(Plist::writeFile(folder + QStringLiteral("/Manifest.plist"),
                                 QVariantMap{{QStringLiteral("IsEncrypted"), false}}));

    QELDeviceBackup backup(m_tool);
    backup.setDeviceUID(udid);
    backup.setDeviceBackUpPath(folder);
    EXPECT_EQ(readFixtureFile(backup.GetPathToDataOfType(14)), QByteArray("whatsapp contacts"));
    EXPECT_EQ(readFixtureFile(backup.GetPathToDataOfType(5)), QByteArray("messages by identifier"));
    // Calendar's record names a file the backup lacks: no answer.
    EXPECT_TRUE(backup.GetPathToDataOfType(1).isNull());

    // An encrypted backup's stored files are never copied as they are.
    ASSERT_TRUE(Plist::writeFile(folder + QStringLiteral("/Manifest.plist"),
                                 QVariantMap{{QStringLiteral("IsEncrypted"), true}}));
    EXPECT_TRUE(backup.GetPathToDataOfType(5).isNull());
}

// A plain backup's manifest is read once for the backup object: no lookup,
// found or not, runs the tool (here one that always fails), so asking for
// every data type of a backup without most of them costs one reading.
TEST_F(DeviceBackup, PlainBackupLookupsReadTheManifestOnceWithoutTheTool)
{
    FakeProgram failing(QStringLiteral("orvane-mobilebackup"), "exit 1\n");
    m_tool.executablePath = failing.path();
    const QString udid = QStringLiteral("plain-db-phone");
    ManifestDbBackupBuilder builder(backupFolder(udid));
    builder.file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"), "messages")
        .file(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-wal"), "wal")
        .file(QStringLiteral("MediaDomain"), QStringLiteral("Library/SMS/Attachments/ab/a.jpg"),
              "picture")
        .directory(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS"));
    for (int i = 0; i < 2000; ++i)
        builder.file(QStringLiteral("CameraRollDomain"),
                     QStringLiteral("Media/DCIM/100APPLE/IMG_%1.JPG").arg(i), "photo");
    builder.write();
    QELDeviceBackup backup(m_tool);
    backup.setDeviceUID(udid);

    for (int type = 0; type <= 15; ++type) {
        SCOPED_TRACE(type);
        const QString path = backup.GetPathToDataOfType(type);
        if (type == 5) {
            EXPECT_EQ(readFixtureFile(path), QByteArray("messages"));
            EXPECT_EQ(readFixtureFile(path + QStringLiteral("-wal")), QByteArray("wal"));
            EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-shm")));
            continue;
        }
        EXPECT_TRUE(path.isNull());
        EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
    }
    EXPECT_EQ(
        readFixtureFile(backup.GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/SMS/Attachments/ab/a.jpg"), QStringLiteral("MediaDomain"))),
        QByteArray("picture"));
    EXPECT_TRUE(
        backup.GetPathForDeviceFileNameInDomain(QStringLiteral("Library/SMS"), QString()).isNull());
    EXPECT_TRUE(backup
                    .GetPathForDeviceFileNameInDomain(QStringLiteral("Library/SMS/none.jpg"),
                                                      QStringLiteral("MediaDomain"))
                    .isNull());
    EXPECT_EQ(backup.lastLookupError().kind, QELDeviceBackup::LookupErrorKind::NotInBackup);
    EXPECT_EQ(backup.GetAllFilesInDomain(QStringLiteral("CameraRollDomain")).size(), 2000);
    EXPECT_TRUE(failing.runs().isEmpty()) << failing.runs().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DeviceBackup, PasswordTest)
{
    SimulatedBackupDevice phone = fullDevice(QStringLiteral("password-phone"));
    phone.password(QStringLiteral("open sesame"));
    useDevices({phone});
    auto backup = backedUp(phone);
    using Result = QELDeviceBackupBrowser::PasswordTestResult;
    const QString file = QStringLiteral("Library/Preferences/com.apple.springboard.plist");
    // The tool gets its nominal time here: on a fast clock a loaded machine can
    // take longer than the scaled limit to start it and decrypt the file.
    const double fastScale = Clock::scale();
    Clock::setScale(1.0);
    EXPECT_EQ(QELDeviceBackupBrowser::
                  TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                      file, phone.udid(), QStringLiteral("wrong"), QStringLiteral("HomeDomain")),
              Result::WrongPassword);
    EXPECT_EQ(QELDeviceBackupBrowser::
                  TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                      file, phone.udid(), std::nullopt, QStringLiteral("HomeDomain")),
              Result::WrongPassword);
    EXPECT_EQ(
        QELDeviceBackupBrowser::
            TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                file, phone.udid(), QStringLiteral("open sesame"), QStringLiteral("HomeDomain")),
        Result::Passed);
    // The decrypted test file is left nowhere.
    EXPECT_FALSE(QFileInfo::exists(Locations::backupRoot()
                                   + QStringLiteral("/com.apple.springboard.plist")));
    EXPECT_TRUE(QDir(Locations::temporaryFolder())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());

    // A tool that does not end is stopped: that is a time-out, not a wrong password.
    Clock::setScale(fastScale);
    FakeProgram hanging(QStringLiteral("orvane-mobilebackup"), "exec sleep 600\n");
    EXPECT_EQ(QELDeviceBackupBrowser::
                  TestExtractSingleFileFromReleativePathForDeviceIDWithPasswordFromDomain(
                      file, phone.udid(), QStringLiteral("open sesame"),
                      QStringLiteral("HomeDomain"), BackupToolSettings{hanging.path(), {}}),
              Result::TimedOut);
}

TEST_F(DeviceBackup, FilesByPathAreCallerOwnedCopies)
{
    for (const bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted);
        SimulatedBackupDevice phone =
            fullDevice(encrypted ? QStringLiteral("paths-secret") : QStringLiteral("paths-plain"));
        if (encrypted)
            phone.password(QStringLiteral("pw"));
        useDevices({phone});
        auto backup = backedUp(
            phone, encrypted ? std::optional<QString>(QStringLiteral("pw")) : std::nullopt);
        const QString picture = backup->GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG"),
            QStringLiteral("MediaDomain"));
        ASSERT_FALSE(picture.isEmpty());
        EXPECT_TRUE(picture.startsWith(Locations::temporaryFolder() + QLatin1Char('/')));
        EXPECT_EQ(QFileInfo(picture).fileName(), QStringLiteral("IMG_0001.JPG"));
        EXPECT_EQ(readFixtureFile(picture), QByteArray("first picture"));
        // A second file of the same name is a copy of its own, beside the first.
        const QString second = backup->GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/SMS/Attachments/bb/IMG_0001.JPG"),
            QStringLiteral("MediaDomain"));
        ASSERT_FALSE(second.isEmpty());
        EXPECT_NE(second, picture);
        EXPECT_EQ(readFixtureFile(second), QByteArray("second picture"));
        EXPECT_EQ(readFixtureFile(picture), QByteArray("first picture"));
        // The caller may move it away: the backup keeps its file.
        ASSERT_TRUE(QFile::remove(picture));
        EXPECT_EQ(readFixtureFile(backup->GetPathForDeviceFileNameInDomain(
                      QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG"),
                      QStringLiteral("MediaDomain"))),
                  QByteArray("first picture"));
        EXPECT_EQ(readFixtureFile(backup->GetPathForDeviceFileNameInDomain(
                      QStringLiteral("Library/SMS/sms.db"), QString())),
                  contentOfType(5));
        for (const QString& path : {QString(), QStringLiteral("../../Manifest.plist"),
                                    QStringLiteral("/etc/passwd"), QStringLiteral("Library/SMS/.."),
                                    QStringLiteral("Library/SMS/Attachments/cc/none.jpg")})
            EXPECT_TRUE(
                backup->GetPathForDeviceFileNameInDomain(path, QStringLiteral("MediaDomain"))
                    .isNull())
                << path.toStdString();
    }
}

TEST_F(DeviceBackup, TwoLookupsAtOnceDoNotMeet)
{
    const SimulatedBackupDevice phone = fullDevice(QStringLiteral("busy-lookups"));
    useDevices({phone});
    auto backup = backedUp(phone);
    QString first, second;
    std::thread a([&] {
        first = backup->GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG"),
            QStringLiteral("MediaDomain"));
    });
    std::thread b([&] {
        second = backup->GetPathForDeviceFileNameInDomain(
            QStringLiteral("Library/SMS/Attachments/bb/IMG_0001.JPG"),
            QStringLiteral("MediaDomain"));
    });
    a.join();
    b.join();
    EXPECT_NE(first, second);
    EXPECT_EQ(readFixtureFile(first), QByteArray("first picture"));
    EXPECT_EQ(readFixtureFile(second), QByteArray("second picture"));
}

TEST_F(DeviceBackup, DomainListingAndAllFiles)
{
    const SimulatedBackupDevice phone = fullDevice(QStringLiteral("listed-phone"));
    useDevices({phone});
    auto backup = backedUp(phone);
    const QList<QELDeviceBackupListingItem> notes =
        backup->GetAllFilesInDomain(QStringLiteral("AppDomainGroup-group.com.apple.notes"));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.first().relativePath(), QStringLiteral("NoteStore.sqlite"));
    EXPECT_EQ(notes.first().backupFile(), QELDeviceBackup::fileIdentifierForDataType(4));
    EXPECT_EQ(backup->GetAllFilesInDomain(QString()).size(),
              backup->GetAllFilesInDomain(QStringLiteral("HomeDomain")).size());

    const QList<QELBackupFileDetail> all = backup->GetAllFiles();
    QELBackupFileDetail sms;
    sms.setFilePath(QStringLiteral("Library/SMS/sms.db"));
    sms.setDomain(QStringLiteral("HomeDomain"));
    EXPECT_TRUE(all.contains(sms));
    EXPECT_EQ(sms.description(), QStringLiteral("Library/SMS/sms.db in domain HomeDomain"));

    const auto summaries = QELDeviceBackup::GetAvailableBackUps();
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries.first().deviceName(), QStringLiteral("Test Phone"));
    EXPECT_EQ(summaries.first().deviceUID(), phone.udid());
    EXPECT_EQ(summaries.first().iOSVersion(), QStringLiteral("17.2"));
    EXPECT_FALSE(summaries.first().isEncrypted());
    EXPECT_TRUE(summaries.first().backUpDate().isValid());
}

TEST_F(DeviceBackup, RestoreReportsItsOutcome)
{
    SimulatedBackupDevice phone = fullDevice(QStringLiteral("restored-phone"));
    phone.password(QStringLiteral("pw"));
    useDevices({phone});
    auto backup = backedUp(phone);
    ASSERT_TRUE(backup->PerformRestoreFromDeviceID(phone.udid()));
    ASSERT_TRUE(m_events.waitForRestores(1));
    EXPECT_FALSE(m_events.restores().back().successfull());
    EXPECT_TRUE(m_events.restores().back().details().contains(QLatin1String("password")));
    backup->setPassword(QStringLiteral("pw"));
    ASSERT_TRUE(backup->PerformRestoreFromDeviceID(phone.udid()));
    ASSERT_TRUE(m_events.waitForRestores(2));
    EXPECT_TRUE(m_events.restores().back().successfull());
}

} // namespace

namespace {

using Kind = QELDeviceBackup::LookupErrorKind;

// Each way a lookup can find nothing is told apart, and a later find clears it.
TEST_F(DeviceBackup, ALookupThatFindsNothingKeepsWhy)
{
    SimulatedBackupDevice plain = fullDevice(QStringLiteral("why-plain"), {9});
    SimulatedBackupDevice secret = fullDevice(QStringLiteral("why-secret"));
    secret.password(QStringLiteral("pw"));
    useDevices({plain, secret});
    auto plainBackup = backedUp(plain);
    auto secretBackup = backedUp(secret);
    const QString attachment = QStringLiteral("Library/SMS/Attachments/aa/IMG_0001.JPG");

    struct Case {
        const char* name;
        QELDeviceBackup* backup;
        std::optional<QString> password;
        std::function<QString(QELDeviceBackup&)> lookup;
        Kind want;
    };
    const auto type = [](int t) {
        return [t](QELDeviceBackup& b) { return b.GetPathToDataOfType(t); };
    };
    const auto file = [](const QString& path, const QString& domain) {
        return [path, domain](QELDeviceBackup& b) {
            return b.GetPathForDeviceFileNameInDomain(path, domain);
        };
    };
    const std::vector<Case> cases{
        {"found by type", plainBackup.get(), std::nullopt, type(5), Kind::None},
        {"type not backed up", plainBackup.get(), std::nullopt, type(9), Kind::NotInBackup},
        {"no such type", plainBackup.get(), std::nullopt, type(7), Kind::NotInBackup},
        {"found by path", plainBackup.get(), std::nullopt,
         file(attachment, QStringLiteral("MediaDomain")), Kind::None},
        {"path not backed up", plainBackup.get(), std::nullopt,
         file(QStringLiteral("Library/SMS/none.jpg"), QStringLiteral("MediaDomain")),
         Kind::NotInBackup},
        {"path leaving the domain", plainBackup.get(), std::nullopt,
         file(QStringLiteral("../Manifest.plist"), QString()), Kind::NotInBackup},
        {"wrong password, by type", secretBackup.get(), QStringLiteral("nope"), type(5),
         Kind::WrongPassword},
        {"no password, by type", secretBackup.get(), std::nullopt, type(5), Kind::WrongPassword},
        {"wrong password, by path", secretBackup.get(), QStringLiteral("nope"),
         file(attachment, QStringLiteral("MediaDomain")), Kind::WrongPassword},
        {"right password", secretBackup.get(), QStringLiteral("pw"), type(5), Kind::None},
        {"encrypted, not backed up", secretBackup.get(), QStringLiteral("pw"),
         file(QStringLiteral("Library/none.db"), QString()), Kind::NotInBackup},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.backup == secretBackup.get())
            c.backup->setPassword(c.password);
        const QString answer = c.lookup(*c.backup);
        EXPECT_EQ(answer.isEmpty(), c.want != Kind::None);
        // The answer is ours: its private folder goes, leaving the temporary folder as it was.
        if (!answer.isEmpty())
            QDir(QFileInfo(answer).path()).removeRecursively();
        const QELDeviceBackup::LookupError error = c.backup->lastLookupError();
        EXPECT_EQ(error.kind, c.want) << error.detail.toStdString();
        EXPECT_EQ(error.detail.isEmpty(), c.want == Kind::None) << error.detail.toStdString();
    }
}

TEST_F(DeviceBackup, ListedFilesThatCannotBeCopiedAndAMissingTemporaryFolderAreTold)
{
    SimulatedBackupDevice phone = fullDevice(QStringLiteral("why-broken"));
    useDevices({phone});
    auto backup = backedUp(phone);
    // The backup lost the stored file: listed, but not copied out.
    ASSERT_TRUE(QFile::remove(backupFolder(phone.udid()) + QLatin1Char('/')
                              + QELDeviceBackup::fileIdentifierForDataType(5)));
    EXPECT_TRUE(backup->GetPathToDataOfType(5).isNull());
    EXPECT_EQ(backup->lastLookupError().kind, Kind::ExtractionFailed);
    EXPECT_TRUE(backup->lastLookupError().detail.contains(QStringLiteral("Library/SMS/sms.db")));

    // A temporary folder that is a symbolic link is refused, so nothing can be answered.
    QTemporaryDir cache;
    ASSERT_TRUE(cache.isValid());
    ASSERT_TRUE(QDir().mkpath(cache.path() + QStringLiteral("/Orvane")));
    ASSERT_TRUE(QFile::link(cache.path(), cache.path() + QStringLiteral("/Orvane/orvane")));
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const QString byType = backup->GetPathToDataOfType(0);
    const Kind typeKind = backup->lastLookupError().kind;
    const QString byPath =
        backup->GetPathForDeviceFileNameInDomain(QStringLiteral("Library/SMS/sms.db"), QString());
    const Kind pathKind = backup->lastLookupError().kind;
    qputenv("XDG_CACHE_HOME", savedCache);
    EXPECT_TRUE(byType.isNull());
    EXPECT_EQ(typeKind, Kind::NoTemporaryFolder);
    EXPECT_TRUE(byPath.isNull());
    EXPECT_EQ(pathKind, Kind::NoTemporaryFolder);
}

} // namespace
