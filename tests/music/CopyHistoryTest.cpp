// SPDX-License-Identifier: GPL-3.0-or-later
// The copy history kept on the device: records, the commit that replaces the
// device file only once the upload is whole, a reconnect, erase, and device
// files the history cannot use.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "Locations.h"
#include "MusicTestDevice.h"
#include "QELCopyHistory.h"
#include "QELDeviceInterface.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteStatement.h"

namespace {

const QString kName = QStringLiteral("ovipodchm.db");

class CopyHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_device.connect()); }

    QString deviceFile() const { return m_device.afcRoot() + QLatin1Char('/') + kName; }

    std::unique_ptr<QELCopyHistory> open()
    {
        QString why;
        auto history = QELCopyHistory::create(&m_device.device(), kName, &why);
        EXPECT_TRUE(history) << why.toStdString();
        return history;
    }

    MusicTestDevice m_device;
};

} // namespace

TEST_F(CopyHistoryTest, RecordsOneEntryPerItemWithItsLatestResult)
{
    auto history = open();
    ASSERT_TRUE(history);
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 0);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("1"), false);
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 1);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("1"), true);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("2"), false);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("3"), true);
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 2);
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("2")), 1);
    EXPECT_EQ(history->GetItemIDSetForCopiedItems(), (QStringList{"1", "3"}));

    // The file holds one row per item, the two flags a pair.
    QELSQLiteDatabase db = QELSQLiteDatabase::openReadOnly(history->historyLocalCopy());
    QELSQLiteStatement rows(db.handle(),
                            QStringLiteral("SELECT itemId, statusOK, statusFAIL FROM "
                                           "CopyHistoryEntry ORDER BY itemId"));
    QStringList seen;
    rows.forEachRow([&](const QELSQLiteStatement& row) {
        seen << QStringLiteral("%1:%2:%3").arg(row.text(0)).arg(row.int64(1)).arg(row.int64(2));
        return true;
    });
    EXPECT_EQ(seen, (QStringList{"1:1:0", "2:0:1", "3:1:0"}));
}

TEST_F(CopyHistoryTest, CommitCreatesAndReplacesTheDeviceFileAndSurvivesAReconnect)
{
    auto history = open();
    ASSERT_TRUE(history);
    EXPECT_FALSE(QFileInfo::exists(deviceFile()));
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("-42"), true);
    ASSERT_TRUE(history->CommitHistoryToDevice());
    ASSERT_TRUE(QFileInfo::exists(deviceFile()));
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("77"), false);
    ASSERT_TRUE(history->CommitHistoryToDevice());
    // No upload left under its temporary name.
    EXPECT_EQ(QDir(m_device.afcRoot()).entryList(QDir::Files | QDir::Hidden), QStringList{kName});
    history.reset();

    ASSERT_TRUE(m_device.reconnect());
    // The local copy of the last run is gone; the device's file is what counts.
    QFile::remove(Locations::temporaryFolder() + QLatin1Char('/') + kName);
    auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("-42")), 2);
    EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("77")), 1);
    EXPECT_EQ(again->GetItemIDSetForCopiedItems(), QStringList{"-42"});
}

TEST_F(CopyHistoryTest, EraseForgetsEverythingUntilTheNextCommit)
{
    auto history = open();
    ASSERT_TRUE(history);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("1"), true);
    ASSERT_TRUE(history->CommitHistoryToDevice());
    history->EraseCopyHistory();
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 0);
    EXPECT_TRUE(history->GetItemIDSetForCopiedItems().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(deviceFile()));
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("2"), true);
    ASSERT_TRUE(history->CommitHistoryToDevice());
    history.reset();
    auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 0);
    EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("2")), 2);
}

TEST_F(CopyHistoryTest, ADeviceFileItCannotUseReadsAsAFreshHistoryReplacedAtCommit)
{
    QByteArray random(4096, '\0');
    QRandomGenerator generator(7);
    for (char& c : random)
        c = char(generator.bounded(256));
    QByteArray truncatedDatabase;
    {
        // Another program's layout: a table of the same name, other columns.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("other.db"));
        {
            QELSQLiteDatabase db = QELSQLiteDatabase::openOrCreate(path);
            QELSQLiteStatement(db.handle(),
                               QStringLiteral("CREATE TABLE CopyHistoryEntry "
                                              "(ZITEMID TEXT, ZOK INT)"))
                .execute();
            QELSQLiteStatement(db.handle(),
                               QStringLiteral("INSERT INTO CopyHistoryEntry VALUES ('1', 1)"))
                .execute();
        }
        truncatedDatabase = readLocal(path);
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"random bytes", random},
        {"another layout", truncatedDatabase},
        {"a truncated database", truncatedDatabase.left(600)},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_device.putFile(kName, c.bytes));
        auto history = open();
        ASSERT_TRUE(history);
        EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("1")), 0);
        history->RecordCopyHistoryForItemWithSucess(QStringLiteral("5"), true);
        ASSERT_TRUE(history->CommitHistoryToDevice());
        history.reset();
        auto again = open();
        ASSERT_TRUE(again);
        EXPECT_EQ(again->GetCopyHistoryResultForItemWithID(QStringLiteral("5")), 2);
    }
}

TEST_F(CopyHistoryTest, AFailedUploadKeepsTheOldDeviceFile)
{
    auto history = open();
    ASSERT_TRUE(history);
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("1"), true);
    ASSERT_TRUE(history->CommitHistoryToDevice());
    const QByteArray committed = readLocal(deviceFile());
    ASSERT_FALSE(committed.isEmpty());

    // Something the upload cannot replace sits where it goes.
    ASSERT_TRUE(m_device.putFile(kName + QStringLiteral(".orvane-upload/keep"), "x"));
    history->RecordCopyHistoryForItemWithSucess(QStringLiteral("2"), true);
    EXPECT_FALSE(history->CommitHistoryToDevice());
    EXPECT_EQ(readLocal(deviceFile()), committed);
    // The records stay for the next commit.
    EXPECT_EQ(history->GetCopyHistoryResultForItemWithID(QStringLiteral("2")), 2);
}

TEST_F(CopyHistoryTest, NoStoreAtAllAnswersNullWithAReason)
{
    // A temporary folder that is a link is refused.
    const QString folder = Locations::temporaryFolder();
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(m_device.scratch(QStringLiteral("elsewhere")), folder));
    QString why;
    EXPECT_EQ(QELCopyHistory::create(&m_device.device(), kName, &why), nullptr);
    EXPECT_FALSE(why.isEmpty());
}
