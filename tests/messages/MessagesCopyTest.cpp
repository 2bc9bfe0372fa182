// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of conversations into a folder: one page each, their names, the
// range, cancelling and what the end of the run counts.
#include <atomic>
#include <memory>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>

#include "MessagesPageSupport.h"
#include "MessagesTestSupport.h"
#include "QELCopyMessages.h"
#include "QELMessagesDBReaderProtocol.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"

using namespace MessagesTest;

namespace {

// Answers each conversation with one message of its number; can hold a read
// until the test lets it go.
class ScriptedReader : public QELMessagesDBReaderProtocol {
public:
    bool loadMessages() override { return true; }
    QList<QELMessagesConversation> getConversationList() override { return {}; }
    QList<QELMessageDetail> getMessagesFromConversationWithStartDateAndEndDate(
        const QELMessagesConversation& conversation, const QDateTime& startDate,
        const QDateTime& endDate) override
    {
        {
            QMutexLocker lock(&m_mutex);
            asked.append({startDate, endDate});
        }
        reads.record(conversation.conversationId());
        while (hold.load())
            std::this_thread::yield();
        QELMessageDetail message;
        message.setTime(utc(2014, 3, 10));
        message.setMessage(QStringLiteral("message %1").arg(conversation.conversationId()));
        return {message};
    }
    QList<std::pair<QDateTime, QDateTime>> askedDates()
    {
        QMutexLocker lock(&m_mutex);
        return asked;
    }
    std::atomic<bool> hold{false};
    EventRecorder<qint64> reads;

private:
    QMutex m_mutex;
    QList<std::pair<QDateTime, QDateTime>> asked;
};

class CopyMessages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_job.setDelegate(&m_delegate);
        m_job.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        m_job.setTimeZone(QTimeZone::utc());
        m_job.setReaders({m_reader});
        m_job.setBaseCopyPath(m_dir.path());
    }
    QVariant item(const QString& title, qint64 id, bool withReader = true)
    {
        QELMessagesConversation c;
        QELMessageParticipant p;
        p.setAddress(QStringLiteral("+1555"));
        p.setName(title);
        c.setParticipants({p});
        c.setConversationId(id);
        if (withReader)
            c.setConversationDBReader(m_reader.get());
        return QVariant::fromValue(c);
    }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    std::shared_ptr<ScriptedReader> m_reader = std::make_shared<ScriptedReader>();
    RecordingCopyDelegate m_delegate;
    QELCopyMessages m_job;
};

TEST_F(CopyMessages, ConversationsOfOneTitleGetNumberedPagesAndEachIsAnnounced)
{
    m_job.setItemQueue({item("T", 1), item("T", 2), item("T", 3), item("Zoë", 4)});
    m_job.startCopy();
    ASSERT_TRUE(m_delegate.waitForAllItemsCopied());
    EXPECT_EQ(files(), (QStringList{"T (1).html", "T (2).html", "T.html", "Zoë.html"}));
    EXPECT_TRUE(readPage(m_dir.filePath(QStringLiteral("T (2).html")))
                    .contains(QStringLiteral("message 3")));
    EXPECT_EQ(m_delegate.order(),
              (QStringList{"begin T", "begin T", "begin T", "begin Zoë", "all done"}));
    EXPECT_EQ(m_job.failedItemCount(), 0u);
    for (const auto& asked : m_reader->askedDates()) {
        EXPECT_FALSE(asked.first.isValid());
        EXPECT_FALSE(asked.second.isValid());
    }
}

TEST_F(CopyMessages, ARangeLimitsTheReadsAndNamesThePages)
{
    m_job.setStartDate(utc(2014, 3, 1, 8));
    m_job.setEndDate(utc(2014, 3, 31, 20));
    m_job.setItemQueue({item("T", 1)});
    m_job.startCopy();
    ASSERT_TRUE(m_delegate.waitForAllItemsCopied());
    EXPECT_EQ(files(), QStringList{"T (01 Mar 2014 - 31 Mar 2014).html"});
    ASSERT_EQ(m_reader->askedDates().size(), 1);
    EXPECT_EQ(m_reader->askedDates().first(),
              std::make_pair(utc(2014, 3, 1, 8), utc(2014, 3, 31, 20)));
}

TEST_F(CopyMessages, CancellingStopsTheConversationInHandLeavesNothingAndStillEnds)
{
    m_reader->hold = true;
    m_job.setItemQueue({item("A", 1), item("B", 2), item("C", 3)});
    m_job.startCopy();
    ASSERT_TRUE(m_reader->reads.waitForCount(1));
    m_job.cancelCopy();
    m_reader->hold = false;
    ASSERT_TRUE(m_delegate.waitForAllItemsCopied());
    // One conversation may hold gigabytes: a cancel stops inside it, and its
    // page is not left half-written.
    EXPECT_EQ(files(), QStringList());
    EXPECT_EQ(m_reader->reads.count(), 1u);
}

TEST_F(CopyMessages, UnwrittenConversationsAreCountedAtTheEnd)
{
    struct Case {
        const char* name;
        bool folderUsable;
        QVariantList items;
        quint32 notCopied;
        QStringList files;
    };
    const QList<Case> cases = {
        {"a conversation without reader", true, {item("A", 1, false), item("B", 2)}, 1, {"B.html"}},
        {"a folder that cannot be made", false, {item("A", 1), item("B", 2)}, 2, {}},
        {"nothing queued", true, {}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (!c.folderUsable) {
            QFile blocker(dir.filePath(QStringLiteral("file")));
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            folder = blocker.fileName() + QStringLiteral("/sub");
        }
        RecordingCopyDelegate delegate;
        QELCopyMessages job;
        job.setDelegate(&delegate);
        job.setReaders({m_reader});
        job.setBaseCopyPath(folder);
        job.setItemQueue(c.items);
        job.startCopy();
        ASSERT_TRUE(delegate.waitForAllItemsCopied());
        EXPECT_EQ(job.failedItemCount(), c.notCopied);
        if (c.folderUsable) {
            EXPECT_EQ(QDir(folder).entryList(QDir::Files), c.files);
        }
    }
}

} // namespace
