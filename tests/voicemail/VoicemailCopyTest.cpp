// SPDX-License-Identifier: GPL-3.0-or-later
// Where a voicemail's audio comes from and what the copy job names and writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "Locations.h"
#include "QELCopyVoiceMails.h"
#include "QELVoiceMailItem.h"
#include "QELVoiceMailUtilities.h"
#include "RecordingCopyDelegate.h"
#include "VoicemailTestSupport.h"

using namespace VoicemailTest;

namespace {

const QLocale kBritish(QLocale::English, QLocale::UnitedKingdom);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers one prepared file for every question, as a backup that hands out
// a file under its own name would.
class OneFileSource : public BackupFileSource {
public:
    explicit OneFileSource(QString path)
        : m_path(std::move(path))
    {
    }
    QString GetPathToDataOfType(int) override { return {}; }
    QString GetPathForDeviceFileNameInDomain(const QString& path, const QString& domain) override
    {
        asked << domain + QLatin1Char(':') + path;
        return m_path;
    }
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString&) override { return {}; }
    QStringList asked;

private:
    QString m_path;
};

TEST(VoicemailAudio, ComesAsAnAmrCopyAndLeavesTheSourceAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeAudio(dir.path(), 7, 10));
    FolderBackupFileSource source(dir.path());
    const QString path = QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(7, &source);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.endsWith(QStringLiteral(".amr")));
    EXPECT_TRUE(path.startsWith(Locations::temporaryFolder()));
    EXPECT_EQ(readAll(path), VoicemailFixture::amrAudio(10));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Library/Voicemail/7.amr"))));
    // Each call makes a copy of its own.
    const QString again = QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(7, &source);
    EXPECT_NE(again, path);
    EXPECT_TRUE(QFile::exists(path));
}

TEST(VoicemailAudio, MissingAudioIsNone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeAudio(dir.path(), 1));
    FolderBackupFileSource source(dir.path());
    EXPECT_TRUE(QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(2, &source).isEmpty());
    EXPECT_TRUE(QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(2, nullptr).isEmpty());
}

TEST(VoicemailAudio, AnAnswerWithoutTheExtensionGetsAFreeAmrName)
{
    // The backup's copy is named by its backup file name; "<name>.amr" is
    // already taken beside it.
    const QString scratch = Locations::makeScratchFolder(QStringLiteral("test"));
    ASSERT_FALSE(scratch.isEmpty());
    const QString answer = scratch + QStringLiteral("/3f2a");
    ASSERT_TRUE(VoicemailFixture::writeAmrFile(answer, 4));
    ASSERT_TRUE(VoicemailFixture::writeAmrFile(answer + QStringLiteral(".amr"), 1));
    OneFileSource source(answer);
    const QString path = QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(12, &source);
    EXPECT_EQ(source.asked, QStringList{QStringLiteral("HomeDomain:Library/Voicemail/12.amr")});
    EXPECT_EQ(path, scratch + QStringLiteral("/3f2a 1.amr"));
    EXPECT_EQ(readAll(path), VoicemailFixture::amrAudio(4));
    // The file that held the name is untouched.
    EXPECT_EQ(readAll(answer + QStringLiteral(".amr")), VoicemailFixture::amrAudio(1));
}

TEST(VoicemailAudio, AFileOutsideTheTemporaryFolderIsCopiedNeverMoved)
{
    QTemporaryDir backup;
    const QString inBackup = backup.filePath(QStringLiteral("3f2a"));
    ASSERT_TRUE(VoicemailFixture::writeAmrFile(inBackup, 4));
    OneFileSource source(inBackup);
    const QString path = QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(12, &source);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.startsWith(Locations::temporaryFolder()));
    EXPECT_TRUE(path.endsWith(QStringLiteral(".amr")));
    EXPECT_EQ(readAll(inBackup), VoicemailFixture::amrAudio(4));
}

QELVoiceMailItem item(qint64 id, const QString& name, const QDateTime& date)
{
    QELVoiceMailItem v;
    v.id = id;
    v.dateRecorded = date;
    v.duration = 3;
    v.contact = QELVoiceMailContact(QStringLiteral("+1 555 0100"), name, true);
    return v;
}

QDateTime at(int hour, int minute, int second)
{
    // Local time, as the names show it.
    return QDateTime(QDate(2023, 5, 3), QTime(hour, minute, second));
}

class VoicemailCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_target = m_dir.filePath(QStringLiteral("copies"));
        m_device = m_dir.filePath(QStringLiteral("device"));
        ASSERT_TRUE(QDir().mkpath(m_target));
        ASSERT_TRUE(QDir().mkpath(m_device));
        m_job.setDelegate(&m_events);
        m_job.setLocale(kBritish);
        m_job.setDeviceBackUp(std::make_shared<FolderBackupFileSource>(m_device));
    }
    QStringList run(const QList<QELVoiceMailItem>& items)
    {
        QVariantList queue;
        for (const QELVoiceMailItem& v : items)
            queue.append(QVariant::fromValue(v));
        m_job.setItemQueue(queue);
        m_job.setBaseCopyPath(m_target);
        m_job.startCopy();
        EXPECT_TRUE(m_events.waitForAllItemsCopied());
        QStringList names = QDir(m_target).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    QTemporaryDir m_dir;
    QString m_target;
    QString m_device;
    RecordingCopyDelegate m_events;
    QELCopyVoiceMails m_job;
};

TEST_F(VoicemailCopy, NamesEachFileBySenderAndDateAndNumbersRepeats)
{
    struct Case {
        QString name;
        QDateTime date;
        QString expected;
    };
    const QList<Case> cases = {
        {QStringLiteral("Ann Lee"), at(15, 56, 5), QStringLiteral("Ann Lee 3 May 2023 15_56.amr")},
        // The same minute: numbered, never replacing the first.
        {QStringLiteral("Ann Lee"), at(15, 56, 40),
         QStringLiteral("Ann Lee 3 May 2023 15_56 1.amr")},
        {QStringLiteral("AC/DC"), at(9, 5, 0), QStringLiteral("AC_DC 3 May 2023 09_05.amr")},
        {QStringLiteral("../../escape"), at(10, 0, 0),
         QStringLiteral("___.._escape 3 May 2023 10_00.amr")},
        {QStringLiteral("No Date"), QDateTime(), QStringLiteral("No Date.amr")},
    };
    QList<QELVoiceMailItem> items;
    QStringList expected;
    for (int i = 0; i < cases.size(); ++i) {
        ASSERT_TRUE(writeAudio(m_device, i + 1, 2 + i));
        items.append(item(i + 1, cases[i].name, cases[i].date));
        expected.append(cases[i].expected);
    }
    expected.sort();
    EXPECT_EQ(run(items), expected);
    for (int i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].expected.toStdString());
        EXPECT_EQ(readAll(m_target + QLatin1Char('/') + cases[i].expected),
                  VoicemailFixture::amrAudio(2 + i));
    }
    EXPECT_EQ(m_job.failedItemCount(), 0u);
    EXPECT_EQ(m_events.order(),
              (QStringList{"begin Ann Lee", "begin Ann Lee", "begin AC/DC", "begin ../../escape",
                           "begin No Date", "all done"}));
    // Nothing left outside the chosen folder.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
}

TEST_F(VoicemailCopy, AnEarlierCopyStaysAndMissingAudioCountsAsNotCopied)
{
    const QString earlier = m_target + QStringLiteral("/Ann Lee 3 May 2023 15_56.amr");
    QFile old(earlier);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older copy");
    old.close();
    ASSERT_TRUE(writeAudio(m_device, 1, 6));
    // Voicemail 2 has no audio in the backup.
    EXPECT_EQ(run({item(1, QStringLiteral("Ann Lee"), at(15, 56, 0)),
                   item(2, QStringLiteral("Bob"), at(16, 0, 0))}),
              (QStringList{QStringLiteral("Ann Lee 3 May 2023 15_56 1.amr"),
                           QStringLiteral("Ann Lee 3 May 2023 15_56.amr")}));
    EXPECT_EQ(readAll(earlier), QByteArray("older copy"));
    EXPECT_EQ(readAll(m_target + QStringLiteral("/Ann Lee 3 May 2023 15_56 1.amr")),
              VoicemailFixture::amrAudio(6));
    EXPECT_EQ(m_job.failedItemCount(), 1u);
    EXPECT_EQ(m_events.begins().size(), 2u);
}

TEST_F(VoicemailCopy, WithoutABackupTheRunEndsAtOnce)
{
    m_job.setDeviceBackUp(nullptr);
    EXPECT_TRUE(run({item(1, QStringLiteral("Ann"), at(1, 0, 0))}).isEmpty());
    EXPECT_TRUE(m_events.begins().empty());
}

TEST_F(VoicemailCopy, ARestartedRunTakesNothingOfTheOldQueue)
{
    QList<QELVoiceMailItem> first;
    for (int i = 1; i <= 30; ++i) {
        ASSERT_TRUE(writeAudio(m_device, i, 2));
        first.append(item(i, QStringLiteral("First"), at(1, i, 0)));
    }
    QVariantList queue;
    for (const QELVoiceMailItem& v : first)
        queue.append(QVariant::fromValue(v));
    m_job.setItemQueue(queue);
    m_job.setBaseCopyPath(m_target);
    m_job.startCopy();
    // A new request while the first run may still go: cancel, refill, start.
    m_job.cancelCopy();
    const QStringList names = run({item(1, QStringLiteral("Second"), at(2, 0, 0))});
    EXPECT_TRUE(names.contains(QStringLiteral("Second 3 May 2023 02_00.amr")));
    // Only the new run reports: the old one's events are dropped.
    EXPECT_EQ(m_events.order(), (QStringList{"begin Second", "all done"}));
    EXPECT_EQ(m_job.failedItemCount(), 0u);
}

} // namespace
