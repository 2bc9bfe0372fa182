// SPDX-License-Identifier: GPL-3.0-or-later
// The call log copy job: the file it names, what it reports, and that an
// older page is replaced only by a complete new one.
#include <cerrno>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallLogTestSupport.h"
#include "CopyFailure.h"
#include "QELCallLogHTMLGenerator.h"
#include "QELCallLogStoreDataReader.h"
#include "QELCopyCallLogs.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"

using namespace CallLogTest;

namespace {

QELCallLogEntryDetail call(const QString& name, int day)
{
    QELCallLogEntryDetail entry;
    entry.setName(name);
    entry.setAddress(QStringLiteral("+1555000") + QString::number(day));
    entry.setDate(utc(2024, 4, day));
    entry.setDuration(day * 10);
    return entry;
}

QList<QELCallLogEntryDetail> callsOf(const QStringList& names)
{
    QList<QELCallLogEntryDetail> calls;
    int day = 0;
    for (const QString& name : names)
        calls.append(call(name, ++day));
    return calls;
}

QVariantList items(const QList<QELCallLogEntryDetail>& calls)
{
    QVariantList list;
    for (const QELCallLogEntryDetail& c : calls)
        list.append(QVariant::fromValue(c));
    return list;
}

TEST(CallLogCopyFileName, IsTheOneParticipantsSafeNameOrCallLogs)
{
    struct Case {
        QStringList names;
        const char* file;
    };
    const Case cases[] = {
        {{"Ann Lee"}, "Ann Lee.html"},
        {{"Ann Lee", "Ann Lee"}, "Ann Lee.html"},
        {{"Ann Lee", "Bo"}, "Call Logs.html"},
        {{}, "Call Logs.html"},
        {{"+44 20 7946 0018"}, "+44 20 7946 0018.html"},
        {{"a/b"}, "a_b.html"},
        {{"../x"}, "___x.html"},
        {{".."}, "Call Logs.html"},
        {{""}, "Call Logs.html"},
        {{"<script>O'Brien"}, "<script>O'Brien.html"},
        {{QString(300, QLatin1Char('x'))}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.join(QLatin1Char('|')).left(40).toStdString());
        const QString name = QELCopyCallLogs::fileNameForCalls(callsOf(c.names));
        if (c.file) {
            EXPECT_EQ(name, QString::fromUtf8(c.file));
        }
        EXPECT_LE(name.toUtf8().size(), 255);
        EXPECT_TRUE(name.endsWith(QStringLiteral(".html")));
        EXPECT_FALSE(name.contains(QLatin1Char('/')));
    }
}

class CallLogCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_job.setDelegate(&m_delegate);
    }
    QString run(const QList<QELCallLogEntryDetail>& calls, const QString& folder)
    {
        m_job.cancelCopy();
        m_job.setItemQueue(items(calls));
        m_job.setBaseCopyPath(folder);
        m_job.startCopy();
        EXPECT_TRUE(m_delegate.waitForAllItemsCopied(++m_runs));
        return folder;
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QELCopyCallLogs m_job;
    RecordingCopyDelegate m_delegate;
    size_t m_runs = 0;
};

TEST_F(CallLogCopy, WritesOnePageReportsEachCallAndASecondCopyIsNumberedBesideIt)
{
    const QList<QELCallLogEntryDetail> first = callsOf({"Ann", "Ann"});
    run(first, m_dir.path());
    const QString path = m_dir.filePath(QStringLiteral("Ann.html"));
    EXPECT_EQ(contents(path), QELCallLogHTMLGenerator::generateHTMLForCallLogs(first).toUtf8());
    EXPECT_EQ(m_delegate.order(), (QStringList{"begin Ann", "begin Ann", "all done"}));
    const auto begins = m_delegate.begins();
    ASSERT_EQ(begins.size(), 2u);
    EXPECT_EQ(begins[1].itemNumber, 2u);
    EXPECT_EQ(begins[1].itemCount, 2u);
    EXPECT_TRUE(begins[1].senderClass == typeid(QELCopyCallLogs));
    EXPECT_EQ(m_job.failedItemCount(), 0u);

    const QList<QELCallLogEntryDetail> second = callsOf({"Ann"});
    run(second, m_dir.path());
    EXPECT_EQ(contents(path), QELCallLogHTMLGenerator::generateHTMLForCallLogs(first).toUtf8());
    EXPECT_EQ(contents(m_dir.filePath(QStringLiteral("Ann 1.html"))),
              QELCallLogHTMLGenerator::generateHTMLForCallLogs(second).toUtf8());
    // Nothing but the pages: no temporary file is left beside them.
    QStringList files = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"Ann 1.html", "Ann.html"}));
}

TEST_F(CallLogCopy, AnEmptyQueueOrNoFolderWritesNothingAndStillEnds)
{
    run({}, m_dir.path());
    EXPECT_EQ(m_delegate.allItemsCopied().size(), 1u);
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
    EXPECT_EQ(m_job.failedItemCount(), 0u);
    // Calls without a folder could not be saved, and say so.
    run(callsOf({"Ann", "Bo"}), QString());
    EXPECT_EQ(m_delegate.allItemsCopied().size(), 2u);
    EXPECT_EQ(m_job.failedItemCount(), 2u);
}

TEST_F(CallLogCopy, APageThatCannotBeWrittenCountsItsCallsAndLeavesTheOlderFileWhole)
{
    // The disk fills up while the page is written: nothing is left of it.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("Call Logs.html")));
    {
        CopyFailures::ScopedInjectedWriteFailure full(ENOSPC, 100);
        run(callsOf({"Ann", "Bo", "Cy"}), m_dir.path());
    }
    EXPECT_EQ(m_job.failedItemCount(), 3u);
    EXPECT_EQ(m_job.outcome().firstFailure, CopyFailure::DiskFull);
    EXPECT_TRUE(QFileInfo(m_dir.filePath(QStringLiteral("Call Logs.html"))).isDir());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // A folder that does not exist.
    run(callsOf({"Ann"}), m_dir.filePath(QStringLiteral("missing/deeper")));
    EXPECT_EQ(m_job.failedItemCount(), 1u);
}

} // namespace

namespace {

// The saved page, read back: a contact's calls under the name with the number
// beside it, a stranger's under the number, withheld calls as "No Caller ID".
TEST_F(CallLogCopy, TheSavedPageNamesEveryPartyAsThePageDoes)
{
    AddressBookFixture book;
    book.phone(book.person(AddressBookFixture::Person::named("Elif", "Yılmaz")),
               QStringLiteral("+90 212 555 0134"));
    const QString bookPath = m_dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
    ASSERT_TRUE(book.write(bookPath));
    using namespace CallLogTest;
    const QString history =
        writeHistory(Generation::StoreWithTextAddress, m_dir.path(),
                     {{QStringLiteral("011 90 212 555 01 34"), utc(2024, 1, 1), 10, false, false},
                      {QStringLiteral("+15550000134"), utc(2024, 1, 2), 20, false, false},
                      {QString(), utc(2024, 1, 3), 30, false, true}});
    QELCallLogStoreDataReader reader(history, bookPath, QString());
    ASSERT_TRUE(reader.loadCallLog());
    const QList<QELCallLogEntryDetail> calls =
        reader.getCallLogForParticipants(reader.getCallLogParticipantList());
    ASSERT_EQ(calls.size(), 3);
    const QString out = m_dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    run(calls, out);
    const QString page = QString::fromUtf8(contents(out + QStringLiteral("/Call Logs.html")));
    EXPECT_TRUE(page.contains(QStringLiteral("Elif Yılmaz (011 90 212 555 01 34) on")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("from +15550000134 on")));
    EXPECT_TRUE(page.contains(QStringLiteral("</div>No Caller ID on")));
    EXPECT_EQ(page.count(QStringLiteral("<hr size=1 noshade/>")), 3);
}

} // namespace
