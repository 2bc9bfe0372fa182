// SPDX-License-Identifier: GPL-3.0-or-later
// The call history readers of both generations: what they read, how they
// group participants, and how they fail.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallLogTestSupport.h"
#include "FolderBackupFileSource.h"
#include "LocalizedStrings.h"
#include "QELCallLogDbReader.h"
#include "QELCallLogStoreDataReader.h"
#include "QELContactNameLookup.h"
#include "QELSQLiteDatabase.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"

using namespace CallLogTest;

namespace {

std::unique_ptr<QELCallLogReader> readerFor(const QString& history, const QString& addressBook = {},
                                            const QString& mobileSMS = {})
{
    if (history.endsWith(QStringLiteral("call_history.db")))
        return std::make_unique<QELCallLogDbReader>(history, addressBook, mobileSMS);
    return std::make_unique<QELCallLogStoreDataReader>(history, addressBook, mobileSMS);
}

QStringList names(const QList<QELCallLogParticipant>& participants)
{
    QStringList result;
    for (const QELCallLogParticipant& p : participants)
        result << p.name();
    return result;
}

QByteArray sha1Of(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
        : QByteArray();
}

class CallLogReaders : public ::testing::TestWithParam<Generation> {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString write(const QList<Call>& calls)
    {
        const QString path = writeHistory(GetParam(), m_dir.path(), calls);
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    QString addressBook(const AddressBookFixture& book)
    {
        const QString path = m_dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
        EXPECT_TRUE(book.write(path));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_P(CallLogReaders, ReadEveryCallWithItsDateLengthAndDirection)
{
    const QString path = write({
        {QStringLiteral("+15550100"), utc(2024, 3, 1, 9, 30), 65, true, false},
        {QStringLiteral("+15550199"), utc(2023, 12, 31, 23, 59, 59), 0, false, false},
        {QStringLiteral("+15550100"), utc(2024, 3, 2, 18), 0, true, true},
        {QStringLiteral("ann@example.com"), utc(2024, 1, 5), 125, false, true},
    });
    if (GetParam() == Generation::StoreWithCallsInWal) {
        ASSERT_GT(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
    }
    auto reader = readerFor(path);
    ASSERT_TRUE(reader->loadCallLog()) << reader->lastError().toStdString();
    EXPECT_EQ(reader->callCount(), 4);

    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    // Without an address book each address names itself.
    EXPECT_EQ(names(participants), (QStringList{"+15550100", "+15550199", "ann@example.com"}));
    const QList<QELCallLogEntryDetail> calls = reader->getCallLogForParticipants(participants);
    ASSERT_EQ(calls.size(), 4);
    struct Want {
        QDateTime date;
        qint64 duration;
        int flags;
        const char* name;
    };
    // The older generation keeps more bits (4: a telephony call) than the page reads.
    const int phone = GetParam() == Generation::CallHistoryDb ? 4 : 0;
    const Want want[] = {
        {utc(2024, 3, 2, 18), 0, 17 | phone, "+15550100"},
        {utc(2024, 3, 1, 9, 30), 65, 1 | phone, "+15550100"},
        {utc(2024, 1, 5), 125, 16 | phone, "ann@example.com"},
        {utc(2023, 12, 31, 23, 59, 59), 0, 0 | phone, "+15550199"},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].date(), want[i].date);
        EXPECT_EQ(calls[i].duration(), want[i].duration);
        EXPECT_EQ(calls[i].flags(), want[i].flags);
        EXPECT_EQ(calls[i].name(), QString::fromLatin1(want[i].name));
        EXPECT_EQ(calls[i].answered(), want[i].duration > 0);
        EXPECT_EQ(calls[i].service(),
                  (want[i].flags & 16) ? QStringLiteral("FaceTime") : QStringLiteral("Phone"));
    }
}

TEST_P(CallLogReaders, TwoAddressesOfOneNameAreOneParticipantWithTheCallsOfBoth)
{
    const QString path = write({
        {QStringLiteral("+15550111"), utc(2024, 5, 1), 10, false, false},
        {QStringLiteral("ann@example.com"), utc(2024, 5, 3), 20, true, false},
        {QStringLiteral("+15550111"), utc(2024, 5, 2), 30, false, false},
        {QStringLiteral("+15550999"), utc(2024, 5, 4), 40, false, false},
    });
    AddressBookFixture book;
    const qint64 ann = book.person(AddressBookFixture::Person::named("Ann", "Lee"));
    book.phone(ann, QStringLiteral("+15550111"));
    book.email(ann, QStringLiteral("ann@example.com"));
    auto reader = readerFor(path, addressBook(book));
    ASSERT_TRUE(reader->loadCallLog()) << reader->lastError().toStdString();

    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    ASSERT_EQ(names(participants), (QStringList{"+15550999", "Ann Lee"}));
    const QELCallLogParticipant& annLee = participants[1];
    // The address the table names first holds the group.
    EXPECT_EQ(annLee.address(), QStringLiteral("+15550111"));
    EXPECT_EQ(annLee.addresses(), (QStringList{"+15550111", "ann@example.com"}));
    const QList<QELCallLogEntryDetail> calls = reader->getCallLogForParticipants({annLee});
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[0].date(), utc(2024, 5, 3));
    EXPECT_EQ(calls[1].date(), utc(2024, 5, 2));
    EXPECT_EQ(calls[2].date(), utc(2024, 5, 1));
    for (const QELCallLogEntryDetail& call : calls)
        EXPECT_EQ(call.name(), QStringLiteral("Ann Lee"));
}

TEST_P(CallLogReaders, CallsOfOneDateStandByAddressAndAParticipantAskedTwiceCountsOnce)
{
    const QDateTime same = utc(2024, 2, 2);
    const QString path = write({
        {QStringLiteral("+3333"), same, 1, false, false},
        {QStringLiteral("+1111"), same, 2, false, false},
        {QStringLiteral("+2222"), same, 3, false, false},
    });
    auto reader = readerFor(path);
    ASSERT_TRUE(reader->loadCallLog());
    QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    participants << participants.first();
    const QList<QELCallLogEntryDetail> calls = reader->getCallLogForParticipants(participants);
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[0].address(), QStringLiteral("+1111"));
    EXPECT_EQ(calls[1].address(), QStringLiteral("+2222"));
    EXPECT_EQ(calls[2].address(), QStringLiteral("+3333"));
}

// Addresses reach no SQL: a quote, LIKE wildcards or mark-up find their calls.
TEST_P(CallLogReaders, HostileAddressesAreTheirOwnParticipantsAndKeepTheirCalls)
{
    const QStringList hostile = {"O'Brien", "50%_off", "<script>",
                                 "../x",    "a/b",     "x'); DROP TABLE call; --"};
    QList<Call> calls;
    for (int i = 0; i < hostile.size(); ++i)
        calls.append({hostile[i], utc(2024, 1, 1 + i), i + 1, false, false});
    const QString path = write(calls);
    const QByteArray before = sha1Of(path);
    auto reader = readerFor(path);
    ASSERT_TRUE(reader->loadCallLog()) << reader->lastError().toStdString();
    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    ASSERT_EQ(participants.size(), hostile.size());
    for (const QELCallLogParticipant& participant : participants) {
        SCOPED_TRACE(participant.name().toStdString());
        EXPECT_TRUE(hostile.contains(participant.name()));
        const QList<QELCallLogEntryDetail> found = reader->getCallLogForParticipants({participant});
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].duration(), hostile.indexOf(participant.name()) + 1);
    }
    // The copy is read, never changed (a blob address is decoded in memory).
    EXPECT_EQ(sha1Of(path), before);
}

// A withheld number and a group call keep no address; their calls are
// listed together under "No Caller ID", never dropped.
TEST_P(CallLogReaders, CallsWithoutAnAddressAreListedAsNoCallerId)
{
    const QString path = write({{QStringLiteral(""), utc(2024, 2, 1), 5, false, false},
                                {QStringLiteral("+15550100111"), utc(2024, 2, 2), 7, false, false},
                                {QString(), utc(2024, 2, 3), 0, false, true},
                                {QStringLiteral("  "), utc(2024, 2, 4), 9, true, false}});
    auto reader = readerFor(path);
    ASSERT_TRUE(reader->loadCallLog()) << reader->lastError().toStdString();
    EXPECT_EQ(reader->callCount(), 4);
    const QList<QELCallLogParticipant> participants = reader->getCallLogParticipantList();
    ASSERT_EQ(participants.size(), 2);
    const auto withheld =
        std::find_if(participants.cbegin(), participants.cend(),
                     [](const QELCallLogParticipant& p) { return p.address().isEmpty(); });
    ASSERT_NE(withheld, participants.cend());
    EXPECT_EQ(withheld->name(), L("NOCALLERID"));
    EXPECT_EQ(withheld->name(), QStringLiteral("No Caller ID"));
    const QList<QELCallLogEntryDetail> found = reader->getCallLogForParticipants({*withheld});
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].duration(), 9);
    EXPECT_EQ(found[1].duration(), 0);
    EXPECT_EQ(found[2].duration(), 5);
    for (const QELCallLogEntryDetail& call : found)
        EXPECT_EQ(call.name(), QStringLiteral("No Caller ID"));
    // Every call of the history is on the page of everyone.
    EXPECT_EQ(reader->getCallLogForParticipants(participants).size(), 4);
}

TEST_P(CallLogReaders, AHistoryWithoutCallsHasNoParticipants)
{
    auto reader = readerFor(write({}));
    ASSERT_TRUE(reader->loadCallLog()) << reader->lastError().toStdString();
    EXPECT_TRUE(reader->getCallLogParticipantList().isEmpty());
    EXPECT_TRUE(reader->getCallLogForParticipants({}).isEmpty());
}

TEST_P(CallLogReaders, ADateOfZeroIsTheGenerationsEpoch)
{
    const QString path = write({{QStringLiteral("+1"), QDateTime(), 0, false, false}});
    // Rewrite the date column to 0 exactly, whatever the generation stores.
    {
        QELSQLiteDatabase db = QELSQLiteDatabase::openExisting(path);
        ASSERT_TRUE(db.isOpen());
        ASSERT_TRUE(db.execute(GetParam() == Generation::CallHistoryDb
                                   ? QStringLiteral("UPDATE call SET date = 0")
                                   : QStringLiteral("UPDATE ZCALLRECORD SET ZDATE = 0")));
    }
    auto reader = readerFor(path);
    ASSERT_TRUE(reader->loadCallLog());
    const auto calls = reader->getCallLogForParticipants(reader->getCallLogParticipantList());
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].date(),
              GetParam() == Generation::CallHistoryDb ? utc(1970, 1, 1, 0) : utc(2001, 1, 1, 0));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, CallLogReaders,
                         ::testing::Values(Generation::CallHistoryDb,
                                           Generation::StoreWithTextAddress,
                                           Generation::StoreWithBlobAddress,
                                           Generation::StoreOfLaterSystems,
                                           Generation::StoreWithCallsInWal),
                         [](const auto& info) { return generationName(info.param); });

// What the later store's optional columns decide.
TEST(CallLogStoreColumns, AnsweredAndServiceComeFromTheColumnsTheStoreHas)
{
    QTemporaryDir dir;
    using namespace CallHistoryFixture;
    struct Case {
        const char* what;
        StoreSchema schema;
        StoreCall call;
        int flags;
        bool answered;
        const char* service;
    };
    StoreSchema all;
    all.callType = all.serviceProvider = true;
    StoreSchema bare;
    bare.faceTimeData = bare.answered = false;
    auto call = [](double duration, int originated, std::optional<int> answered,
                   std::optional<int> callType, const char* provider,
                   std::optional<QByteArray> faceTime = std::nullopt) {
        StoreCall c;
        c.address = QStringLiteral("+1555");
        c.date = 700000000;
        c.duration = duration;
        c.originated = originated;
        c.answered = answered;
        c.callType = callType;
        c.serviceProvider = provider ? QString::fromLatin1(provider) : QString();
        c.faceTimeData = faceTime;
        return c;
    };
    const Case cases[] = {
        {"answered column wins over the length", all, call(0, 0, 1, 1, "com.apple.Telephony"), 0,
         true, "Phone"},
        {"unanswered with a length", all, call(30, 1, 0, 1, nullptr), 1, false, "Phone"},
        {"FaceTime video by call type", all, call(30, 0, 1, 8, nullptr), 16, true, "FaceTime"},
        {"FaceTime audio by call type", all, call(30, 1, 1, 16, nullptr), 17, true, "FaceTime"},
        {"FaceTime by provider", all, call(30, 0, 1, std::nullopt, "com.apple.FaceTime"), 16, true,
         "FaceTime"},
        {"FaceTime by its data", all, call(0, 1, 0, 1, nullptr, QByteArray("x")), 17, false,
         "FaceTime"},
        {"another calling app", all, call(12, 0, 1, 1, "net.example.talk"), 0, true,
         "net.example.talk"},
        {"no optional columns: answered from the length", bare,
         call(3, 2, std::nullopt, std::nullopt, nullptr), 1, true, "Phone"},
        {"no optional columns, not connected", bare,
         call(0, 0, std::nullopt, std::nullopt, nullptr), 0, false, "Phone"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("%1/CallHistory.storedata").arg(++n));
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(writeCallHistoryStore(path, c.schema, {c.call}));
        QELCallLogStoreDataReader reader(path, {}, {});
        ASSERT_TRUE(reader.loadCallLog()) << reader.lastError().toStdString();
        const auto calls = reader.getCallLogForParticipants(reader.getCallLogParticipantList());
        ASSERT_EQ(calls.size(), 1);
        EXPECT_EQ(calls[0].flags(), c.flags);
        EXPECT_EQ(calls[0].answered(), c.answered);
        EXPECT_EQ(calls[0].service(), QString::fromLatin1(c.service));
        EXPECT_EQ(calls[0].date(), utc(2023, 3, 8, 20, 26, 40));
    }
}

// A file that is there but cannot be read fails with a reason; one that is
// not there is told apart from it.
TEST(CallLogReaderFailures, MissingDamagedAndForeignFilesFailClearly)
{
    QTemporaryDir dir;
    const QString store = writeHistory(Generation::StoreWithTextAddress, dir.path(),
                                       {{QStringLiteral("+1"), utc(2024, 1, 1), 1, false, false}});
    QFile whole(store);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    auto put = [&](const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    };
    {
        SCOPED_TRACE("missing");
        QELCallLogStoreDataReader reader(dir.filePath(QStringLiteral("none.storedata")), {}, {});
        EXPECT_FALSE(reader.loadCallLog());
        EXPECT_FALSE(reader.callLogExists());
        QELCallLogStoreDataReader nothing({}, {}, {});
        EXPECT_FALSE(nothing.loadCallLog());
    }
    struct Case {
        const char* what;
        QByteArray content;
    };
    const Case cases[] = {
        {"empty file", QByteArray()},
        {"truncated header", bytes.left(50)},
        {"truncated after the first page", bytes.left(4096 + 100)},
        {"not a database", QByteArray("just some text, not SQLite at all").repeated(200)},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = put(QStringLiteral("damaged%1.storedata").arg(++n), c.content);
        QELCallLogStoreDataReader reader(path, {}, {});
        EXPECT_FALSE(reader.loadCallLog());
        EXPECT_TRUE(reader.callLogExists());
        EXPECT_FALSE(reader.lastError().isEmpty());
        EXPECT_TRUE(reader.getCallLogParticipantList().isEmpty());
    }
    {
        SCOPED_TRACE("a database without the call table");
        const QString path = dir.filePath(QStringLiteral("other.db"));
        ASSERT_TRUE(AddressBookFixture().write(path));
        QELCallLogDbReader older(path, {}, {});
        EXPECT_FALSE(older.loadCallLog());
        EXPECT_TRUE(older.lastError().contains(QStringLiteral("call")));
        QELCallLogStoreDataReader later(path, {}, {});
        EXPECT_FALSE(later.loadCallLog());
        EXPECT_TRUE(later.lastError().contains(QStringLiteral("ZCALLRECORD")));
    }
}

// A call history that cannot be read to its end is not read at all: the load
// fails as damaged, keeps no call, and its reason is never "not an error".
TEST(CallLogReaderFailures, AHistoryThatCannotBeReadToItsEndIsDamaged)
{
    QList<Call> calls;
    for (int i = 0; i < 600; ++i)
        calls.append({QStringLiteral("+1555%1").arg(i, 7, 10, QLatin1Char('0')) + QString(80, 'x'),
                      utc(2020, 1, 1 + i % 28), i, i % 2 == 0, false});
    struct Case {
        const char* what;
        std::function<bool(const QString& path, const QString& table)> damage;
        const char* reason;
        // Short where only the budget ends the read; the row bound ends a
        // loop of pages long before the connection's own.
        std::chrono::milliseconds budget = std::chrono::milliseconds(300);
    };
    const std::vector<Case> cases = {
        {"a view in the table's place that never answers",
         [](const QString& path, const QString& table) {
             return SQLiteDamage::slowDown(path, table, 1'000'000'000'000);
         },
         "time limit"},
        {"a view of endless rows", SQLiteDamage::makeEndless, ""},
        {"a damaged page in the middle of the table", SQLiteDamage::damageMiddleOf, ""},
        {"pages that point back at one another",
         [](const QString& path, const QString& table) {
             return SQLiteDamage::repeatRows(path, table, 3, 40);
         },
         "more rows than the file could hold", std::chrono::milliseconds(0)},
    };
    for (const Generation generation :
         {Generation::CallHistoryDb, Generation::StoreOfLaterSystems}) {
        const QString table = generation == Generation::CallHistoryDb
            ? QStringLiteral("call")
            : QStringLiteral("ZCALLRECORD");
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " of " + table.toStdString());
            QTemporaryDir dir;
            const QString path = writeHistory(generation, dir.path(), calls);
            ASSERT_TRUE(c.damage(path, table));
            const auto reader = readerFor(path);
            reader->setReadBudget(c.budget);
            EXPECT_FALSE(reader->loadCallLog());
            const QString error = reader->lastError();
            EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: the calls ")))
                << error.toStdString();
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
            EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
            EXPECT_EQ(reader->callCount(), 0);
            EXPECT_TRUE(reader->getCallLogParticipantList().isEmpty());
        }
    }
}

// Damaged preferences beside the history cost only what they give: the
// calls are all read and named from the address book, the region falls back
// to "US", and the reader says which file is damaged.
TEST(CallLogReaderFailures, DamagedPreferencesAreReportedAndTheCallsStayWhole)
{
    QTemporaryDir dir;
    const QString history = writeHistory(Generation::StoreWithTextAddress, dir.path(),
                                         {{QStringLiteral("(555) 010-0111"), utc(2024, 1, 1), 5},
                                          {QStringLiteral("+15550100222"), utc(2024, 1, 2), 6}});
    AddressBookFixture book;
    book.phone(book.person(AddressBookFixture::Person::named("Ann", "Lee")),
               QStringLiteral("+1 555 010 0111"));
    const QString addressBook = dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
    ASSERT_TRUE(book.write(addressBook));
    const QString whole = dir.filePath(QStringLiteral("whole.plist"));
    ASSERT_TRUE(
        CallHistoryFixture::writeMobileSMSPlist(whole, {{QStringLiteral("+15550100222"), 1}}));
    QFile file(whole);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    struct Case {
        const char* what;
        QByteArray content;
        const char* says;
    };
    const Case cases[] = {
        {"empty", QByteArray(), "are empty"},
        {"truncated", bytes.left(bytes.size() / 2), "are damaged"},
        {"garbage", QByteArray("\xff\x01 not a property list at all \x02").repeated(50),
         "are damaged"},
        {"a list that holds no dictionary",
         QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>"),
         "hold no dictionary"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString plist = dir.filePath(QStringLiteral("%1/com.apple.MobileSMS.plist").arg(++n));
        QDir().mkpath(QFileInfo(plist).path());
        QFile out(plist);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.content);
        out.close();
        QELCallLogStoreDataReader reader(history, addressBook, plist);
        ASSERT_TRUE(reader.loadCallLog()) << reader.lastError().toStdString();
        EXPECT_EQ(names(reader.getCallLogParticipantList()),
                  (QStringList{QStringLiteral("+15550100222"), QStringLiteral("Ann Lee")}));
        EXPECT_EQ(reader.callCount(), 2);
        ASSERT_EQ(reader.warnings().size(), 1) << reader.warnings().join('\n').toStdString();
        EXPECT_TRUE(reader.warnings()[0].contains(QStringLiteral("com.apple.MobileSMS.plist")));
        EXPECT_TRUE(reader.warnings()[0].contains(QLatin1String(c.says)))
            << reader.warnings()[0].toStdString();
    }
    // Global preferences as damaged leave the region to "US", and say so.
    const QString preferences = dir.filePath(QStringLiteral(".GlobalPreferences.plist"));
    QFile damaged(preferences);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes.left(bytes.size() / 2));
    damaged.close();
    QString problem;
    EXPECT_EQ(QELContactNameLookup::regionFromGlobalPreferences(preferences, &problem),
              QStringLiteral("US"));
    EXPECT_TRUE(problem.contains(QStringLiteral(".GlobalPreferences.plist are damaged")))
        << problem.toStdString();
    EXPECT_EQ(QELContactNameLookup::regionFromGlobalPreferences(whole, &problem),
              QStringLiteral("US"));
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
}

// The backup's files: the later store first, the history also without an
// address book, nothing without either file.
TEST(CallLogReaderChoice, TheBackupsLaterStoreWinsAndNoAddressBookIsNeeded)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    FolderBackupFileSource source(folder);
    EXPECT_EQ(QELCallLogReader::makeReader(source), nullptr);

    writeHistory(Generation::CallHistoryDb, folder,
                 {{QStringLiteral("+1old"), utc(2010, 6, 1), 1, false, false}});
    auto older = QELCallLogReader::makeReader(source);
    ASSERT_NE(older, nullptr);
    EXPECT_NE(dynamic_cast<QELCallLogDbReader*>(older.get()), nullptr);
    EXPECT_TRUE(older->_contactsDbPath().isEmpty());
    ASSERT_TRUE(older->loadCallLog());
    ASSERT_EQ(older->getCallLogParticipantList().size(), 1);

    writeHistory(Generation::StoreWithTextAddress, folder,
                 {{QStringLiteral("+1new"), utc(2020, 6, 1), 1, false, false}});
    auto later = QELCallLogReader::makeReader(source);
    ASSERT_NE(later, nullptr);
    EXPECT_NE(dynamic_cast<QELCallLogStoreDataReader*>(later.get()), nullptr);
    ASSERT_TRUE(later->loadCallLog());
    const auto participants = later->getCallLogParticipantList();
    ASSERT_EQ(participants.size(), 1);
    EXPECT_EQ(participants[0].name(), QStringLiteral("+1new"));
    // It reads a private copy, never the folder's file.
    EXPECT_FALSE(later->_callLogDbPath().startsWith(folder + QLatin1Char('/')));
}

} // namespace
