#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "BackupToolRunner.h"
#include "DeviceBackupTestSupport.h"
#include "Locations.h"
#include "QELDeviceBackup.h"
#include "QELDeviceBackupBrowser.h"
#include "QELDeviceBackupListing.h"
#include "WaitUntil.h"

namespace {

struct ArgumentCase {
    const char* name;
    QString domain;
    QStringList passwordTest;
    QStringList singleExtraction;
    QStringList fileName;
};

void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.name; }

class ToolArguments : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ToolArguments, FollowTheToolsCommandLines)
{
    const ArgumentCase& c = GetParam();
    const QString path = QStringLiteral("Library/SMS/sms.db");
    const QString udid = QStringLiteral("U1");
    EXPECT_EQ(QELDeviceBackupBrowser::passwordTestArguments(path, udid, c.domain), c.passwordTest);
    EXPECT_EQ(QELDeviceBackupBrowser::singleExtractionArguments(path, udid, c.domain),
              c.singleExtraction);
    EXPECT_EQ(QELDeviceBackupBrowser::fileNameArguments(path, udid, c.domain), c.fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Domains, ToolArguments,
    ::testing::Values(ArgumentCase{"no domain",
                                   QString(),
                                   {"--extract", "Library/SMS/sms.db", "-s", "U1"},
                                   {"--extract", "Library/SMS/sms.db", "-s", "U1"},
                                   {"--filename", "Library/SMS/sms.db", "-s", "U1"}},
                      ArgumentCase{"home domain",
                                   QStringLiteral("HomeDomain"),
                                   {"--extract", "Library/SMS/sms.db", "-s", "U1"},
                                   {"--extract", "Library/SMS/sms.db", "-s", "U1"},
                                   {"--filename", "Library/SMS/sms.db", "-s", "U1"}},
                      ArgumentCase{
                          "media domain",
                          QStringLiteral("MediaDomain"),
                          {"--extract", "Library/SMS/sms.db", "-s", "U1", "-D", "MediaDomain"},
                          {"--extract", "Library/SMS/sms.db", "-D", "MediaDomain", "-s", "U1"},
                          {"--filename", "Library/SMS/sms.db", "-s", "U1", "-D", "MediaDomain"}}),
    [](const auto& info) {
        return std::string(info.param.name).replace(std::string(info.param.name).find(' '), 1, "_");
    });

class ToolRuns : public ::testing::Test {};

BackupToolSettings toolAt(const FakeProgram& program)
{
    return BackupToolSettings{program.path(), {}};
}

// A process that has ended, or whose end only its new parent has yet to collect.
bool processHasEnded(const QString& pid)
{
    const QByteArray stat = readFixtureFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.isEmpty())
        return true;
    const QByteArray state = stat.mid(stat.lastIndexOf(')') + 1).trimmed().left(1);
    return state == "Z" || state == "X";
}

TEST_F(ToolRuns, StoppingARunStopsTheProgramsTheToolStarted)
{
    // As the tool runs idevicebackup2: a helper of its own, which it waits for.
    FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                     "sleep 600 &\necho $! > \"$(dirname \"$0\")/helper.pid\"\nwait\n");
    const QString pidFile = tool.folder() + QStringLiteral("/helper.pid");
    struct Stop {
        const char* name;
        bool byCancel; // else by the time limit
    };
    for (const Stop& stop : {Stop{"cancel", true}, Stop{"time limit", false}}) {
        SCOPED_TRACE(stop.name);
        QFile::remove(pidFile);
        std::atomic<bool> cancel{false};
        BackupToolRunner::Options options;
        options.cancel = &cancel;
        if (!stop.byCancel)
            options.timeLimit = std::chrono::seconds(60);
        BackupToolRunner::Result result;
        std::thread run([&] { result = BackupToolRunner::run(tool.path(), {}, options); });
        QString helper;
        EXPECT_TRUE(waitUntil([&] {
            helper = QString::fromLatin1(readFixtureFile(pidFile)).trimmed();
            return !helper.isEmpty();
        }));
        // The run's group is this program's while it lasts.
        EXPECT_EQ(BackupToolRunner::runningProcessGroups().size(), 1);
        if (stop.byCancel)
            cancel = true;
        run.join();
        EXPECT_TRUE(stop.byCancel ? result.cancelled : result.timedOut);
        ASSERT_FALSE(helper.isEmpty());
        EXPECT_TRUE(waitUntil([&] { return processHasEnded(helper); }))
            << "helper " << helper.toStdString() << " outlived the stopped tool";
        EXPECT_TRUE(BackupToolRunner::runningProcessGroups().isEmpty());
    }
}

// However the program ends, a tool it was running ends with it. The program
// is a process of its own (a death test), killed while a worker thread waits
// for the tool; the tool writes its process identifier where the test finds it.
class ToolOutlivesNoProgram : public ::testing::TestWithParam<int> {};

TEST_P(ToolOutlivesNoProgram, TheToolEndsWithTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int signal = GetParam();
    // The program below is this test run again: it finds the file through the environment.
    const char* kPidFile = "ORVANE_TEST_TOOL_PID_FILE";
    if (!qEnvironmentVariableIsSet(kPidFile))
        qputenv(kPidFile,
                QStringLiteral("%1/orvane-tool-%2-%3.pid")
                    .arg(QDir::tempPath())
                    .arg(getpid())
                    .arg(signal)
                    .toLocal8Bit());
    const QString pidFile = qEnvironmentVariable(kPidFile);
    QFile::remove(pidFile);
    EXPECT_EXIT(
        {
            FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                             "echo $$ > \"$ORVANE_TEST_TOOL_PID_FILE\"\nexec sleep 600\n");
            std::thread run([&] { BackupToolRunner::run(tool.path(), {}); });
            const bool started =
                waitUntil([&] { return !readFixtureFile(pidFile).trimmed().isEmpty(); });
            // As a program that leaves the signal to its default action.
            ::signal(signal, SIG_DFL);
            if (started)
                ::raise(signal);
            run.detach();
            ::_exit(0);
        },
        ::testing::KilledBySignal(signal), "");
    const QString tool = QString::fromLatin1(readFixtureFile(pidFile)).trimmed();
    QFile::remove(pidFile);
    ASSERT_FALSE(tool.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return processHasEnded(tool); }))
        << "the tool " << tool.toStdString() << " outlived the program";
}

INSTANTIATE_TEST_SUITE_P(Signals, ToolOutlivesNoProgram,
                         ::testing::Values(SIGKILL, SIGTERM, SIGINT, SIGSEGV),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_F(ToolRuns, PasswordGoesThroughTheEnvironmentOnly)
{
    FakeProgram tool(QStringLiteral("orvane-mobilebackup"), "exit 0\n");
    qputenv("ORVANE_BACKUP_PASSWORD", "inherited"); // never passed on by accident
    EXPECT_TRUE(
        QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("a.db"), QStringLiteral("U1"), std::nullopt, QString(), QString(),
            toolAt(tool)));
    EXPECT_TRUE(
        QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("a.db"), QStringLiteral("U1"), QString(""), QString(), QString(),
            toolAt(tool)));
    EXPECT_TRUE(
        QELDeviceBackupBrowser::ExtractDataBySingleRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("a.db"), QStringLiteral("U1"), QStringLiteral("s3cret"), QString(),
            QString(), toolAt(tool)));
    qunsetenv("ORVANE_BACKUP_PASSWORD");
    EXPECT_EQ(tool.runs(),
              (QStringList{"|--extract|a.db|-s|U1", "|--extract|a.db|-s|U1",
                           "password=", "|--extract|a.db|-s|U1", "password=s3cret"}));
}

TEST_F(ToolRuns, DatabaseWithCompanions)
{
    // Only the database and its "-shm" companion are in the backup.
    FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                     "case \"$2\" in *-wal) exit 1;; esac\nexit 0\n");
    EXPECT_FALSE(QELDeviceBackupBrowser::ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
                     QString(), QStringLiteral("U1"), std::nullopt, QString(), toolAt(tool))
                     .has_value());
    EXPECT_EQ(tool.runs().size(), 0);
    const auto names =
        QELDeviceBackupBrowser::ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("Library/SMS/sms.db"), QStringLiteral("U1"), std::nullopt, QString(),
            toolAt(tool));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, (QStringList{"sms.db", "sms.db-shm"}));

    FakeProgram failing(QStringLiteral("orvane-mobilebackup"), "exit 1\n");
    const auto none =
        QELDeviceBackupBrowser::ExtractDataByRelativePathForDeviceIDWithPasswordFromDomain(
            QStringLiteral("Library/SMS/sms.db"), QStringLiteral("U1"), std::nullopt, QString(),
            toolAt(failing));
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->isEmpty());
    EXPECT_EQ(failing.runs().size(), 1); // companions only after the database
}

TEST_F(ToolRuns, FileNameRunAnswersOnlyABackupFileName)
{
    const QString id = QStringLiteral("3d0d7e5fb2ce288813306e4d4636395e047a3d28");
    struct Case {
        QByteArray printed;
        QString answer;
    };
    const QList<Case> cases = {
        {"   " + id.toLatin1() + "\r\n", id},
        {"3d/" + id.toLatin1() + "\n", QStringLiteral("3d/") + id},
        {"../../../etc/passwd\n", QString()},
        {"ab/" + id.toLatin1() + "\n", QString()},
        {"", QString()},
    };
    for (const Case& c : cases) {
        FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                         "printf '%s' '" + c.printed + "'\n");
        EXPECT_EQ(
            QELDeviceBackupBrowser::GetBackupPathFromReleativePathForDeviceIDWithPasswordFromDomain(
                QStringLiteral("Library/SMS/sms.db"), QStringLiteral("U1"), std::nullopt, QString(),
                toolAt(tool)),
            c.answer)
            << c.printed.constData();
    }
}

TEST(BackupListing, ParsesTheToolsLines)
{
    const QByteArray output =
        "f0,1,2,3,4,5,6,7,8,9,10,HomeDomain\n"                              // 12 fields: skipped
        " f1 ,1,2,3,4,5,6,7,8,9,10, HomeDomain ,Library/SMS/sms.db-wal\r\n" // trimmed
        "f2,1,2,3,4,5,6,7,8,9,10,HomeDomain,Library/SMS/sms.db\n"
        "f3,1,2,3,4,5,6,7,8,9,10,MediaDomain,Library/SMS/Attachments/a,b,c.jpg\n"
        "\n";
    const QList<QELDeviceBackupListingItem> items = QELDeviceBackupListing::parseListing(output);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items.at(0),
              QELDeviceBackupListingItem(QStringLiteral("Library/SMS/sms.db-wal"),
                                         QStringLiteral("f1"), QStringLiteral("HomeDomain")));
    EXPECT_EQ(items.at(2).relativePath(), QStringLiteral("Library/SMS/Attachments/a,b,c.jpg"));
    EXPECT_EQ(QELDeviceBackupListingItem::initWithCoder(items.at(2).encodeWithCoder()),
              items.at(2));
    EXPECT_TRUE(QELDeviceBackupListing::parseListing(
                    QByteArray("\xFF\xFE,1,2,3,4,5,6,7,8,9,10,HomeDomain,x\n"))
                    .isEmpty());
}

TEST(BackupListing, MatchesTheExactPathFirstAndRunsTheToolOnce)
{
    FakeProgram tool(
        QStringLiteral("orvane-mobilebackup"),
        "echo 'f1,1,2,3,4,5,6,7,8,9,10,HomeDomain,Library/SMS/sms.db-wal'\n"
        "echo 'f2,1,2,3,4,5,6,7,8,9,10,HomeDomain,Library/SMS/sms.db'\n"
        "echo 'f3,1,2,3,4,5,6,7,8,9,10,MediaDomain,Library/SMS/sms.db'\n"
        "echo 'f4,1,2,3,4,5,6,7,8,9,10,HomeDomain,Library/Old/Library/Notes/notes.db'\n");
    QELDeviceBackupListing listing(tool.path());
    EXPECT_EQ(listing.filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                  QStringLiteral("Library/SMS/sms.db"), QStringLiteral("U1"), QStringLiteral("pw"),
                  QString()),
              QStringLiteral("f2"));
    EXPECT_EQ(listing.filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                  QStringLiteral("Library/SMS/sms.db"), QStringLiteral("U1"), std::nullopt,
                  QStringLiteral("MediaDomain")),
              QStringLiteral("f3"));
    // Without an exact match a path that contains it still answers.
    EXPECT_EQ(listing.filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                  QStringLiteral("Library/Notes/notes.db"), QStringLiteral("U1"), std::nullopt,
                  QString()),
              QStringLiteral("f4"));
    EXPECT_TRUE(listing
                    .filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                        QString(), QStringLiteral("U1"), std::nullopt, QString())
                    .isNull());
    EXPECT_EQ(listing.getAllFilesInDomainForDeviceId(QString(), QStringLiteral("U1")).size(), 3);
    EXPECT_EQ(tool.runs(), (QStringList{"|--list|--source|U1|--target|U1", "password=pw"}));

    listing.reset();
    EXPECT_TRUE(listing.backUpItemsDictionaryForDeviceId(QStringLiteral("U1")).isEmpty());
    EXPECT_EQ(tool.runs().size(), 2);
    // Another device's backup is listed anew.
    EXPECT_EQ(listing.backUpItemsDictionaryForDeviceId(QStringLiteral("U2")).size(), 4);
    EXPECT_EQ(tool.runs().size(), 3);
}

TEST(BackupListing, AFailedListingIsEmptyAndNotRunAgain)
{
    FakeProgram tool(QStringLiteral("orvane-mobilebackup"),
                     "echo 'f1,1,2,3,4,5,6,7,8,9,10,HomeDomain,a.db'\nexit 1\n");
    QELDeviceBackupListing listing(tool.path());
    EXPECT_TRUE(listing
                    .filenameFromBackUpListingForRelativePathOnDeviceWithPasswordFromDomain(
                        QStringLiteral("a.db"), QStringLiteral("U1"), std::nullopt, QString())
                    .isNull());
    EXPECT_TRUE(listing.getAllFilesInDomainForDeviceId(QString(), QStringLiteral("U1")).isEmpty());
    EXPECT_EQ(tool.runs().size(), 1);
    QELDeviceBackupListing toolless{QString()};
    EXPECT_TRUE(toolless.backUpItemsDictionaryForDeviceId(QStringLiteral("U1")).isEmpty());
}

} // namespace
