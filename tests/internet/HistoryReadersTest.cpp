// SPDX-License-Identifier: GPL-3.0-or-later
// The history readers over History.plist (both encodings) and History.db
// (with and without load_successful): which visits count, the day they fall
// on in the reader's time zone, and bad files.
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "DeviceTime.h"
#include "QELSQLiteDatabase.h"
#include "QELWebHistoryFromDBReader.h"
#include "QELWebHistoryFromPlistReader.h"
#include "QtPrinters.h"
#include "SafariFixture.h"

namespace {

// Midnight of 2024-01-02 in this zone is 725839200 seconds after 2001.
const QTimeZone kZone(2 * 3600);
const QLocale kLocale(QLocale::English, QLocale::UnitedStates);

QString day(int year, int month, int d)
{
    return kLocale.toString(QDate(year, month, d), QLocale::ShortFormat);
}

QStringList titles(const QList<QELSafariHistoryItem>* items)
{
    QStringList list;
    if (items) {
        for (const QELSafariHistoryItem& item : *items)
            list << item.title();
    }
    return list;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(WebHistoryReader, TheBaseHasNoFormatAndSaysSo)
{
    QELWebHistoryReader reader;
    try {
        reader.populateWebHistoryFromPath(QStringLiteral("/nowhere"));
        FAIL() << "no exception";
    } catch (const std::logic_error& error) {
        const QString what = QString::fromLatin1(error.what());
        EXPECT_TRUE(what.contains(QStringLiteral("Method not overriden")));
        EXPECT_TRUE(what.contains(
            QStringLiteral("populateWebHistoryFromPath should be overriden in subclass")));
    }
    EXPECT_TRUE(reader.getAllDates().isEmpty());
}

TEST(WebHistoryReader, DaysFollowTheReadersZoneAndComeNewestFirst)
{
    QELWebHistoryReader reader(kZone, kLocale);
    auto visit = [](const char* title) {
        QELSafariHistoryItem item;
        item.setTitle(QString::fromLatin1(title));
        return item;
    };
    // Added oldest day last and out of order: the list is sorted by date, a
    // day's visits keep the order they came in.
    reader.addHistoryItemToStore(visit("before midnight"), 725839200.0 - 120);
    reader.addHistoryItemToStore(visit("after midnight"), QStringLiteral("725839320"));
    reader.addHistoryItemToStore(visit("first of the year before"), 694224000.0 - 7300);
    reader.addHistoryItemToStore(visit("later after midnight"), 725839400.0);
    reader.addHistoryItemToStore(visit("not a number"), QStringLiteral("soon"));
    EXPECT_EQ(reader.getAllDates(),
              (QStringList{day(2024, 1, 2), day(2024, 1, 1), day(2022, 12, 31)}));
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(day(2024, 1, 2))),
              (QStringList{"after midnight", "later after midnight"}));
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(day(2024, 1, 1))),
              (QStringList{"before midnight"}));
    EXPECT_EQ(reader.getHistoryItemsForDateString(QString()), nullptr);
    EXPECT_EQ(reader.getHistoryItemsForDateString(day(2024, 1, 3)), nullptr);
    // In UTC both visits around that midnight fall on the first of January.
    QELWebHistoryReader utc(QTimeZone::utc(), kLocale);
    utc.addHistoryItemToStore(visit("before"), 725839200.0 - 120);
    utc.addHistoryItemToStore(visit("after"), 725839320.0);
    EXPECT_EQ(utc.getAllDates(), QStringList{day(2024, 1, 1)});
}

class HistoryPlist : public ::testing::TestWithParam<Plist::Format> {};

TEST_P(HistoryPlist, KeepsTitledDatedElementsWithTheirAddressAndCount)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.plist"));
    ASSERT_TRUE(writeFile(
        path, SafariFixture::historyPlist(SafariFixture::edgeCasePlistVisits(), GetParam())));
    QELWebHistoryFromPlistReader reader(kZone, kLocale);
    ASSERT_TRUE(reader.populateWebHistoryFromPath(path));
    EXPECT_TRUE(reader.lastError().isEmpty()) << reader.lastError().toStdString();
    const QStringList days = reader.getAllDates();
    ASSERT_EQ(days, (QStringList{day(2024, 1, 2), day(2024, 1, 1), day(2023, 12, 23)}));
    // Without "title" or without "lastVisitedDate" an element adds nothing.
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(days[0])),
              (QStringList{"a/b", "No address"}));
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(days[2])), (QStringList{"..", "", "App"}));
    const QList<QELSafariHistoryItem> all = reader.allItems();
    ASSERT_EQ(all.size(), 6);
    EXPECT_EQ(all[0].address(), QStringLiteral("https://example.org/late"));
    EXPECT_EQ(all[0].lastVisitied(), DeviceTime::fromReferenceSeconds(725839320.75));
    EXPECT_EQ(all[0].visitCount(), std::nullopt);
    EXPECT_TRUE(all[1].address().isEmpty());
    EXPECT_EQ(all[2].title(), QStringLiteral("News"));
    EXPECT_EQ(all[2].address(), QStringLiteral("https://example.org/ä"));
    EXPECT_EQ(all[2].visitCount(), 4);
    EXPECT_EQ(all[5].address(), QStringLiteral("x-app://open"));
}

INSTANTIATE_TEST_SUITE_P(Formats, HistoryPlist,
                         ::testing::Values(Plist::Format::Xml, Plist::Format::Binary),
                         [](const auto& info) {
                             return info.param == Plist::Format::Xml ? "Xml" : "Binary";
                         });

struct DbCase {
    const char* name;
    bool withLoadSuccessful;
    QStringList newestDay;
};

class HistoryDb : public ::testing::TestWithParam<DbCase> {};

TEST_P(HistoryDb, KeepsTitledVisitsThatLoadedInWholeSeconds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.db"));
    QString error;
    ASSERT_TRUE(SafariFixture::writeHistoryDb(path, SafariFixture::edgeCaseDbVisits(),
                                              GetParam().withLoadSuccessful, &error))
        << error.toStdString();
    QELWebHistoryFromDBReader reader(kZone, kLocale);
    ASSERT_TRUE(reader.populateWebHistoryFromPath(path));
    EXPECT_TRUE(reader.lastError().isEmpty()) << reader.lastError().toStdString();
    const QStringList days = reader.getAllDates();
    ASSERT_EQ(days, (QStringList{day(2024, 1, 2), day(2024, 1, 1), day(2023, 12, 23)}));
    // Empty and NULL titles are left out; failed loads only where the file records them.
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(days[0])), GetParam().newestDay);
    const QList<QELSafariHistoryItem>* lastEvening = reader.getHistoryItemsForDateString(days[1]);
    ASSERT_NE(lastEvening, nullptr);
    ASSERT_EQ(lastEvening->size(), 1);
    // 725839199.9 is cut to 725839199, a second before midnight; rounded it
    // would be the next day.
    EXPECT_EQ(lastEvening->first().lastVisitied(),
              QDateTime(QDate(2024, 1, 1), QTime(21, 59, 59), Qt::UTC));
    EXPECT_EQ(lastEvening->first().address(), QStringLiteral("https://example.org/ä"));
    // The page's stored count: two visits of that address.
    EXPECT_EQ(lastEvening->first().visitCount(), 2);
    EXPECT_EQ(titles(reader.getHistoryItemsForDateString(days[2])),
              (QStringList{"..", "Passwd", "App"}));
}

INSTANTIATE_TEST_SUITE_P(
    Schemas, HistoryDb,
    ::testing::Values(DbCase{"WithLoadSuccessful", true, {"a/b", "News again"}},
                      DbCase{"WithoutLoadSuccessful", false, {"a/b", "Failed", "News again"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryDb, ReadsVisitsThatLiveOnlyInTheWal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("History.db"));
    ASSERT_TRUE(SafariFixture::writeHistoryDb(
        path, {{QStringLiteral("https://a.example/"), QStringLiteral("Old"), 725000000, true}}));
    {
        QELSQLiteDatabase db = QELSQLiteDatabase::openExisting(path);
        ASSERT_TRUE(db.execute(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA "
                                              "wal_autocheckpoint=0;")));
        ASSERT_TRUE(db.execute(QStringLiteral(
            "INSERT INTO history_visits (history_item, visit_time, title, load_successful) "
            "VALUES (1, 725000100, 'Recent', 1)")));
        // Copy the database with its WAL while the connection still holds it
        // open, as a backup copy is taken.
        ASSERT_TRUE(QFile::copy(path, dir.filePath(QStringLiteral("copy.db"))));
        ASSERT_TRUE(QFile::copy(path + QStringLiteral("-wal"),
                                dir.filePath(QStringLiteral("copy.db-wal"))));
    }
    QELWebHistoryFromDBReader reader(kZone, kLocale);
    ASSERT_TRUE(reader.populateWebHistoryFromPath(dir.filePath(QStringLiteral("copy.db"))));
    ASSERT_EQ(reader.allItems().size(), 2);
    EXPECT_EQ(reader.allItems()[1].title(), QStringLiteral("Recent"));
}

// Bad input: a clear answer and an empty reader, never a crash.
TEST(HistoryReaders, BadFilesLeaveTheReaderEmpty)
{
    struct Case {
        const char* name;
        bool database;
        std::optional<QByteArray> bytes; // none: no file
        bool answer;
    };
    QByteArray truncatedBinary =
        SafariFixture::historyPlist(SafariFixture::edgeCasePlistVisits(), Plist::Format::Binary);
    truncatedBinary.chop(truncatedBinary.size() / 2);
    QString error;
    const QByteArray noTables = SafariFixture::bookmarksDbBytes({}, &error);
    ASSERT_FALSE(noTables.isEmpty()) << error.toStdString();
    QByteArray truncatedDb =
        SafariFixture::historyDbBytes(SafariFixture::edgeCaseDbVisits(), true, &error);
    truncatedDb.truncate(100);
    const Case cases[] = {
        {"plist: missing", false, std::nullopt, false},
        {"plist: empty file", false, QByteArray(), true},
        {"plist: truncated binary", false, truncatedBinary, true},
        {"plist: not a list", false, QByteArray("WebHistoryDates"), true},
        {"plist: an array at the top", false, Plist::serialize(QVariantList{1, 2}), true},
        {"plist: dates not an array", false,
         Plist::serialize(QVariantMap{{QStringLiteral("WebHistoryDates"), QStringLiteral("x")}}),
         true},
        {"db: missing", true, std::nullopt, false},
        {"db: empty file", true, QByteArray(), false},
        {"db: not a database", true, QByteArray(4096, 'x'), false},
        {"db: truncated", true, truncatedDb, false},
        {"db: without the history tables", true, noTables, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("History"));
        if (c.bytes) {
            ASSERT_TRUE(writeFile(path, *c.bytes));
        }
        std::unique_ptr<QELWebHistoryReader> reader;
        if (c.database)
            reader = std::make_unique<QELWebHistoryFromDBReader>(kZone, kLocale);
        else
            reader = std::make_unique<QELWebHistoryFromPlistReader>(kZone, kLocale);
        EXPECT_EQ(reader->populateWebHistoryFromPath(path), c.answer);
        EXPECT_FALSE(reader->lastError().isEmpty());
        EXPECT_TRUE(reader->getAllDates().isEmpty());
        EXPECT_EQ(reader->getHistoryItemsForDateString(day(2024, 1, 1)), nullptr);
    }
}

} // namespace
