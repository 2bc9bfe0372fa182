// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect calls` run as a program over a folder of copies of each
// call history generation.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallLogTestSupport.h"
#include "FolderBackupFileSource.h"
#include "QELCallLogReader.h"
#include "QELCopyCallLogs.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "ToolRun.h"

using namespace CallLogTest;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments);
}

class InspectCalls : public ::testing::TestWithParam<Generation> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }
    QTemporaryDir m_dir;
    QString m_folder;
};

TEST_P(InspectCalls, PrintsEachParticipantsCallsAndExportsTheCopysPage)
{
    ASSERT_FALSE(
        writeHistory(GetParam(), m_folder,
                     {{QStringLiteral("+15550100"), utc(2010, 6, 1, 8), 65, true, false},
                      {QStringLiteral("ann@example.com"), utc(2011, 2, 3), 0, false, true},
                      {QStringLiteral("+15550199"), utc(2012, 7, 4, 20, 15), 30, false, false},
                      {QStringLiteral("+15550100"), utc(2012, 1, 1), 0, true, false}})
            .isEmpty());
    AddressBookFixture book;
    const qint64 ann = book.person(AddressBookFixture::Person::named("Ann", "Lee"));
    book.phone(ann, QStringLiteral("+1 555 0100"));
    book.email(ann, QStringLiteral("ann@example.com"));
    ASSERT_TRUE(book.write(m_folder + QStringLiteral("/AddressBook.sqlitedb")));
    const qint64 cara = book.person(AddressBookFixture::Person::named("Cara", "May"));
    book.email(cara, QStringLiteral("cara@example.com"));
    ASSERT_TRUE(book.write(m_folder + QStringLiteral("/AddressBook.sqlitedb")));
    // Only the messages cache names this number.
    ASSERT_TRUE(CallHistoryFixture::writeMobileSMSPlist(
        m_folder + QStringLiteral("/com.apple.MobileSMS.plist"),
        {{QStringLiteral("+15550199"), cara}}));

    const QString exportFolder = m_dir.filePath(QStringLiteral("export"));
    const ToolRun run =
        inspect({QStringLiteral("calls"), m_folder, QStringLiteral("--export"), exportFolder});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject expected = QJsonDocument::fromJson(R"({"participants": [
        {"name": "Ann Lee", "address": "+15550100", "calls": [
            {"date": "2012-01-01T12:00:00Z", "durationSeconds": 0, "direction": "outgoing",
             "answered": false, "service": "Phone"},
            {"date": "2011-02-03T12:00:00Z", "durationSeconds": 0, "direction": "incoming",
             "answered": false, "service": "FaceTime"},
            {"date": "2010-06-01T08:00:00Z", "durationSeconds": 65, "direction": "outgoing",
             "answered": true, "service": "Phone"}]},
        {"name": "Cara May", "address": "+15550199", "calls": [
            {"date": "2012-07-04T20:15:00Z", "durationSeconds": 30, "direction": "incoming",
             "answered": true, "service": "Phone"}]}]})")
                                     .object();
    EXPECT_EQ(run.json(), expected) << run.out.constData();

    // The page of every call, as the view's copy writes it with nothing selected.
    QFile page(exportFolder + QStringLiteral("/Call Logs.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    FolderBackupFileSource source(m_folder);
    auto reader = QELCallLogReader::makeReader(source);
    ASSERT_TRUE(reader && reader->loadCallLog());
    QTemporaryDir ours;
    QString ourPath;
    ASSERT_TRUE(QELCopyCallLogs::writePage(
        ours.path(), reader->getCallLogForParticipants(reader->getCallLogParticipantList()),
        &ourPath));
    QFile expectedPage(ourPath);
    ASSERT_TRUE(expectedPage.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), expectedPage.readAll());
}

INSTANTIATE_TEST_SUITE_P(EachGeneration, InspectCalls,
                         ::testing::Values(Generation::CallHistoryDb,
                                           Generation::StoreWithTextAddress,
                                           Generation::StoreWithBlobAddress,
                                           Generation::StoreOfLaterSystems,
                                           Generation::StoreWithCallsInWal),
                         [](const auto& info) { return generationName(info.param); });

TEST(InspectCallsInput, WithoutACallHistoryOrWithADamagedOneItRefusesWithAReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(AddressBookFixture().write(dir.filePath(QStringLiteral("AddressBook.sqlitedb"))));
    ToolRun run = inspect({QStringLiteral("calls"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("no call history")) << run.err.constData();

    QFile damaged(dir.filePath(QStringLiteral("CallHistory.storedata")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("SQLite format 3\0", 16) + QByteArray(200, '\xff'));
    damaged.close();
    run = inspect({QStringLiteral("calls"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("could not be read")) << run.err.constData();
}

TEST(InspectCallsInput, AnEmptyHistoryPrintsNoParticipants)
{
    QTemporaryDir dir;
    ASSERT_FALSE(writeHistory(Generation::CallHistoryDb, dir.path(), {}).isEmpty());
    const ToolRun run = inspect({QStringLiteral("calls"), dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.json().value(QStringLiteral("participants")).toArray().size(), 0);
}

// A history damaged mid-table ends the run as the messages' damage does:
// exit code 2, the file and "this database is damaged" on standard error,
// nothing on standard output. Damaged messages preferences only cost the
// names they give: the calls print, and standard error says which file.
TEST(InspectCallsInput, ADamagedHistoryFailsAndDamagedPreferencesAreAWarning)
{
    QTemporaryDir dir;
    QList<Call> calls;
    for (int i = 0; i < 600; ++i)
        calls.append({QStringLiteral("+1555%1").arg(i, 7, 10, QLatin1Char('0')) + QString(80, 'x'),
                      utc(2020, 1, 1), i});
    const QString store = writeHistory(Generation::StoreWithTextAddress, dir.path(), calls);
    ASSERT_TRUE(QFile::copy(store, dir.filePath(QStringLiteral("whole.storedata"))));
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(store, QStringLiteral("ZCALLRECORD")));
    ToolRun run = inspect({QStringLiteral("calls"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(
        run.err.startsWith("orvane-inspect: CallHistory.storedata: this database is damaged: "))
        << run.err.constData();

    ASSERT_TRUE(QFile::remove(store));
    ASSERT_TRUE(QFile::copy(dir.filePath(QStringLiteral("whole.storedata")), store));
    QFile plist(dir.filePath(QStringLiteral("com.apple.MobileSMS.plist")));
    ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
    plist.write("bplist00\xff\xff");
    plist.close();
    QFile preferences(dir.filePath(QStringLiteral(".GlobalPreferences.plist")));
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.close();
    run = inspect({QStringLiteral("calls"), dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.json().value(QStringLiteral("participants")).toArray().size(), 600);
    EXPECT_TRUE(run.err.contains("orvane-inspect: warning: the messages preferences "
                                 "com.apple.MobileSMS.plist are damaged"))
        << run.err.constData();
    EXPECT_TRUE(run.err.contains("orvane-inspect: warning: the global preferences "
                                 ".GlobalPreferences.plist are empty; numbers are read as of "
                                 "the region US"))
        << run.err.constData();
}

} // namespace
