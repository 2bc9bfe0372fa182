#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "Clock.h"
#include "CopyByteMeter.h"
#include "QELCopy.h"
#include "QELCopyDelegate.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyItemEndEventArgs.h"
#include "RecordingCopyDelegate.h"
#include "WaitUntil.h"

namespace {

// Lets a test hold a worker between two items.
class Gate {
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void waitOpen()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// A job over plain strings that runs its queue on one worker, as the
// category jobs do. With a gate it waits at it after taking each item.
class FakeJob : public QELCopy {
public:
    using QELCopy::_getNextItemFromQueue;

    void startCopy() override
    {
        QELCopy::startCopy();
        _startWorker([this, gate = this->gate] {
            while (!_isCancelled()) {
                const std::optional<QVariant> item = _getNextItemFromQueue();
                if (!item)
                    break;
                QELCopyItemBeginEventArgs args;
                args.setItemDescription(item->toString());
                args.setSenderClass(typeid(*this));
                _callOnItemCopyBeginEventWith(args);
                taken.fetch_add(1);
                if (gate)
                    gate->waitOpen();
            }
            _callAllItemsCopiedDelegate();
            finished.fetch_add(1);
        });
    }

    std::atomic<int> taken{0};
    std::atomic<int> finished{0};
    std::shared_ptr<Gate> gate;
};

class OtherJob : public QELCopy {};

QVariantList items(std::initializer_list<const char*> names)
{
    QVariantList list;
    for (const char* name : names)
        list.append(QString::fromLatin1(name));
    return list;
}

TEST(CopyQueue, TakesItemsInOrderAndCountsThem)
{
    FakeJob job;
    EXPECT_EQ(job.itemCount(), 0u);
    EXPECT_EQ(job.itemNumber(), 0u);
    EXPECT_FALSE(job._getNextItemFromQueue().has_value());
    EXPECT_EQ(job.itemNumber(), 0u);

    QVariantList mine = items({"a", "b", "c"});
    job.setItemQueue(mine);
    mine.append(QStringLiteral("d"));
    mine[0] = QStringLiteral("changed");
    EXPECT_EQ(job.itemCount(), 3u);
    EXPECT_EQ(job.itemNumber(), 0u);
    EXPECT_EQ(job.itemQueue(), items({"a", "b", "c"}));

    EXPECT_EQ(job._getNextItemFromQueue().value(), QVariant(QStringLiteral("a")));
    EXPECT_EQ(job.itemNumber(), 1u);
    EXPECT_EQ(job._getNextItemFromQueue().value(), QVariant(QStringLiteral("b")));
    EXPECT_EQ(job._getNextItemFromQueue().value(), QVariant(QStringLiteral("c")));
    EXPECT_EQ(job.itemNumber(), 3u);
    EXPECT_FALSE(job._getNextItemFromQueue().has_value());
    EXPECT_EQ(job.itemNumber(), 3u);

    job.setItemQueue({});
    EXPECT_EQ(job.itemCount(), 0u);
    EXPECT_EQ(job.itemNumber(), 0u);
}

TEST(CopyQueue, ACancelledJobTakesNoMoreItemsUntilItStartsAgain)
{
    FakeJob job;
    job.setItemQueue(items({"a", "b"}));
    job.cancelCopy();
    EXPECT_FALSE(job._getNextItemFromQueue().has_value());
    EXPECT_EQ(job.itemNumber(), 0u);
    EXPECT_EQ(job.itemQueue().size(), 2);
}

TEST(CopyQueue, AnItemThatIsItselfEmptyIsStillAnItem)
{
    FakeJob job;
    job.setItemQueue({QVariant()});
    const std::optional<QVariant> item = job._getNextItemFromQueue();
    ASSERT_TRUE(item.has_value());
    EXPECT_FALSE(item->isValid());
}

TEST(CopyEvents, ArriveOnTheMainThreadInOrderWithTheirOwnNumbers)
{
    RecordingCopyDelegate delegate;
    FakeJob job;
    job.setDelegate(&delegate);
    job.setItemQueue(items({"one", "two", "three"}));
    job.startCopy();

    // The worker takes all three items before the main thread handles any
    // event, so each event must carry the numbers of the moment it was sent.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (job.finished == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(job.finished, 1);
    ASSERT_TRUE(delegate.begins().empty());
    ASSERT_TRUE(waitUntil([&] { return !delegate.allItemsCopied().empty(); }));
    QCoreApplication::processEvents();

    const auto begins = delegate.begins();
    ASSERT_EQ(begins.size(), 3u);
    const char* names[] = {"one", "two", "three"};
    for (quint32 i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(begins[i].itemNumber, i + 1);
        EXPECT_EQ(begins[i].itemCount, 3u);
        EXPECT_EQ(begins[i].itemDescription, QString::fromLatin1(names[i]));
        EXPECT_TRUE(begins[i].senderClass == typeid(FakeJob));
        EXPECT_TRUE(begins[i].onMainThread);
    }
    EXPECT_EQ(delegate.order(), QStringList({"begin one", "begin two", "begin three", "all done"}));
    EXPECT_EQ(delegate.copyTypes(), std::vector<int>{0});
    EXPECT_TRUE(delegate.allItemsCopied().back().onMainThread);
    EXPECT_EQ(delegate.ends().size(), 0u);
}

TEST(CopyEvents, SenderClassTellsJobsApart)
{
    QELCopyItemBeginEventArgs args;
    EXPECT_TRUE(args.senderClass() == typeid(void));
    args.setSenderClass(typeid(OtherJob));
    EXPECT_TRUE(args.senderClass() == typeid(OtherJob));
    EXPECT_FALSE(args.senderClass() == typeid(FakeJob));
}

TEST(CopyEvents, CarryTheCopyTypeAndNeedNoDelegate)
{
    class TypedJob : public FakeJob {
    public:
        void startCopy() override
        {
            _copyType = 1;
            FakeJob::startCopy();
        }
    };
    {
        RecordingCopyDelegate delegate;
        TypedJob job;
        job.setDelegate(&delegate);
        job.setItemQueue(items({"x"}));
        job.startCopy();
        ASSERT_TRUE(waitUntil([&] { return !delegate.allItemsCopied().empty(); }));
        EXPECT_EQ(delegate.copyTypes(), std::vector<int>{1});
    }
    {
        TypedJob job; // no delegate: the events go nowhere
        job.setItemQueue(items({"x", "y"}));
        job.startCopy();
        ASSERT_TRUE(waitUntil([&] { return job.finished == 1; }));
        QCoreApplication::processEvents();
    }
}

TEST(CopyCancel, StopsBetweenItemsAndStillEndsTheRun)
{
    RecordingCopyDelegate delegate;
    FakeJob job;
    job.gate = std::make_shared<Gate>();
    job.setDelegate(&delegate);
    job.setItemQueue(items({"a", "b", "c", "d"}));
    job.startCopy();

    ASSERT_TRUE(waitUntil([&] { return job.taken == 1; }));
    job.cancelCopy();
    job.gate->open();
    ASSERT_TRUE(waitUntil([&] { return !delegate.allItemsCopied().empty(); }));
    QCoreApplication::processEvents();

    EXPECT_EQ(job.taken, 1);
    EXPECT_EQ(job.itemNumber(), 1u);
    EXPECT_EQ(job.itemQueue(), items({"b", "c", "d"}));
    ASSERT_EQ(delegate.begins().size(), 1u);
    EXPECT_EQ(delegate.begins()[0].itemDescription, QStringLiteral("a"));
    EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
}

TEST(CopyCancel, ARestartWhileTheOldWorkerRunsNeverMixesTheRuns)
{
    RecordingCopyDelegate delegate;
    FakeJob job;
    auto firstGate = std::make_shared<Gate>();
    job.gate = firstGate;
    job.setDelegate(&delegate);
    job.setItemQueue(items({"old1", "old2", "old3"}));
    job.startCopy();
    ASSERT_TRUE(waitUntil([&] { return job.taken == 1; }));
    ASSERT_TRUE(waitUntil([&] { return delegate.begins().size() == 1; }));

    // The view's way of restarting: cancel, a new queue, start again, while the
    // first worker is still busy with its item.
    job.cancelCopy();
    job.gate.reset();
    job.setItemQueue(items({"new1", "new2"}));
    job.startCopy();
    ASSERT_TRUE(waitUntil([&] { return job.finished == 1; }));
    firstGate->open();
    ASSERT_TRUE(waitUntil([&] { return job.finished == 2; }));
    QCoreApplication::processEvents();

    EXPECT_EQ(job.taken, 3);
    const auto begins = delegate.begins();
    QStringList descriptions;
    for (const RecordingCopyDelegate::Call& begin : begins)
        descriptions << begin.itemDescription;
    EXPECT_EQ(descriptions, QStringList({"old1", "new1", "new2"}));
    ASSERT_EQ(begins.size(), 3u);
    EXPECT_EQ(begins[1].itemNumber, 1u);
    EXPECT_EQ(begins[2].itemNumber, 2u);
    EXPECT_EQ(begins[2].itemCount, 2u);
    EXPECT_EQ(delegate.allItemsCopied().size(), 1u); // the replaced run's end is dropped
}

TEST(CopyCancel, DeletingARunningJobWaitsForItsWorkerAndDeliversNothing)
{
    RecordingCopyDelegate delegate;
    auto gate = std::make_shared<Gate>();
    {
        auto job = std::make_unique<FakeJob>();
        job->gate = gate;
        job->setDelegate(&delegate);
        job->setItemQueue(items({"a", "b"}));
        job->startCopy();
        ASSERT_TRUE(waitUntil([&] { return job->taken == 1; }));
        gate->open();
        job.reset();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(delegate.allItemsCopied().empty());
}

TEST(CopyCancel, AJobThatThrowsEndsItsRunInsteadOfTheProgram)
{
    class ThrowingJob : public QELCopy {
    public:
        void startCopy() override
        {
            QELCopy::startCopy();
            _startWorker([] { throw std::runtime_error("device gone"); });
        }
    };
    RecordingCopyDelegate delegate;
    ThrowingJob job;
    job.setDelegate(&delegate);
    job.startCopy();
    ASSERT_TRUE(waitUntil([&] { return !delegate.allItemsCopied().empty(); }));
    EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
}

TEST(CopyDestination, BaseCopyPathIsKept)
{
    FakeJob job;
    EXPECT_TRUE(job.baseCopyPath().isEmpty());
    job.setBaseCopyPath(QStringLiteral("/home/u/Desktop/Orvane"));
    EXPECT_EQ(job.baseCopyPath(), QStringLiteral("/home/u/Desktop/Orvane"));
}

// A job whose items named "bad..." cannot be copied; with a gate it waits
// there after taking each item, before it knows the item's outcome.
class FailingJob : public QELCopy {
public:
    void startCopy() override
    {
        QELCopy::startCopy();
        _startWorker([this, gate = this->gate] {
            while (!_isCancelled()) {
                const std::optional<QVariant> item = _getNextItemFromQueue();
                if (!item)
                    break;
                if (gate)
                    gate->waitOpen();
                if (item->toString().startsWith(QLatin1String("bad")))
                    _itemCouldNotBeCopied();
            }
            _callAllItemsCopiedDelegate();
            finished.fetch_add(1);
        });
    }
    std::shared_ptr<Gate> gate;
    std::atomic<int> finished{0};
};

// Records the count the end of each run carries.
class CountingDelegate : public RecordingCopyDelegate {
public:
    void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied) override
    {
        notCopiedCounts.push_back(notCopied);
        RecordingCopyDelegate::OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
    }
    std::vector<quint32> notCopiedCounts;
};

TEST(CopyFailures, TheEndOfARunSaysHowManyItemsCouldNotBeCopied)
{
    struct Case {
        const char* name;
        QVariantList queue;
        quint32 notCopied;
    };
    const std::vector<Case> cases{
        {"all copied", items({"a", "b", "c"}), 0},
        {"some failed", items({"bad 1", "a", "bad 2", "b"}), 2},
        {"every one failed", items({"bad 1", "bad 2", "bad 3"}), 3},
        {"nothing to copy", items({}), 0},
    };
    // One job for every run: each start counts afresh.
    FailingJob job;
    CountingDelegate delegate;
    job.setDelegate(&delegate);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t runs = delegate.notCopiedCounts.size();
        job.setItemQueue(c.queue);
        job.startCopy();
        ASSERT_TRUE(waitUntil([&] { return delegate.notCopiedCounts.size() == runs + 1; }));
        EXPECT_EQ(delegate.notCopiedCounts.back(), c.notCopied);
        EXPECT_EQ(job.failedItemCount(), c.notCopied);
        // A receiver that does not ask for the count still hears of the end.
        EXPECT_EQ(delegate.allItemsCopied().size(), runs + 1);
    }
}

TEST(CopyFailures, AFailureOfAReplacedRunDoesNotCountInTheNewOne)
{
    FailingJob job;
    CountingDelegate delegate;
    job.setDelegate(&delegate);
    auto firstGate = std::make_shared<Gate>();
    job.gate = firstGate;
    job.setItemQueue(items({"bad old"}));
    job.startCopy();
    // The old worker holds "bad old" at the gate when the new run starts.
    ASSERT_TRUE(waitUntil([&] { return job.itemNumber() == 1; }));
    job.gate.reset();
    job.setItemQueue(items({"new"}));
    job.startCopy();
    ASSERT_TRUE(waitUntil([&] { return job.finished == 1; }));
    firstGate->open();
    ASSERT_TRUE(waitUntil([&] { return job.finished == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(delegate.notCopiedCounts, std::vector<quint32>{0});
    EXPECT_EQ(job.failedItemCount(), 0u);
}

// A job whose items are their sizes in bytes. Its worker "copies" each in
// blocks of 4 MiB through the byte meter, as the device interface's copies
// do, so a 2 GiB item costs no disk. With `hold`, it stops after the first
// block of item `holdAt`, tells `reached` and waits for `hold`.
class SizedJob : public QELCopy {
public:
    static constexpr quint64 kBlock = 4 * 1024 * 1024;

    void startCopy() override
    {
        QELCopy::startCopy();
        quint64 total = 0;
        for (const QVariant& size : itemQueue())
            total += size.toULongLong();
        if (knowsSizes)
            _setRunByteCount(total);
        _startWorker([this] {
            while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
                const quint64 size = item->toULongLong();
                if (knowsSizes)
                    _setItemByteCount(size);
                QELCopyItemBeginEventArgs args;
                args.setItemDescription(QString::number(size));
                _callOnItemCopyBeginEventWith(args);
                for (quint64 done = 0; done < size && !_isCancelled();) {
                    const quint64 block = std::min(kBlock, size - done);
                    ::CopyByteMeter::noteBytes(static_cast<qint64>(block));
                    done += block;
                    if (hold && itemNumber() == holdAt && done == block) {
                        reached->open();
                        hold->waitOpen();
                    }
                }
            }
            _callAllItemsCopiedDelegate();
        });
    }

    bool knowsSizes = true;
    quint32 holdAt = 0;
    std::shared_ptr<Gate> reached = std::make_shared<Gate>();
    std::shared_ptr<Gate> hold;
};

constexpr quint64 kKiB = 1024;
constexpr quint64 kGiB = 1024 * 1024 * 1024;

QVariantList sizes(std::initializer_list<quint64> bytes)
{
    QVariantList list;
    for (quint64 size : bytes)
        list.append(QVariant::fromValue(size));
    return list;
}

TEST(CopyBytes, ProgressFollowsTheBytesThroughALargeItemAndEndsFull)
{
    RecordingCopyDelegate delegate;
    SizedJob job;
    job.setDelegate(&delegate);
    const quint64 total = 1 * kKiB + 2 * kGiB + 3 * kKiB + 1;
    job.setItemQueue(sizes({1 * kKiB, 2 * kGiB, 3 * kKiB, 1}));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    QCoreApplication::processEvents();

    const auto steps = delegate.byteSteps();
    ASSERT_FALSE(steps.empty());
    quint64 last = 0;
    for (const auto& step : steps) {
        EXPECT_TRUE(step.onMainThread);
        EXPECT_EQ(step.byteCount, total);
        EXPECT_GE(step.bytesCopied, last) << "progress went back";
        EXPECT_EQ(step.itemCount, 4u); // the count text stays in items
        last = step.bytesCopied;
    }
    EXPECT_TRUE(steps.back().progress);
    EXPECT_EQ(steps.back().bytesCopied, total);

    // The 2 GiB item moves the bar while it is copied: in the test's clock
    // every block is told, each a block further.
    std::vector<quint64> inside;
    for (const auto& step : steps) {
        if (step.progress && step.itemNumber == 2)
            inside.push_back(step.bytesCopied - kKiB);
    }
    ASSERT_EQ(inside.size(), 2 * kGiB / SizedJob::kBlock);
    EXPECT_EQ(inside.front(), SizedJob::kBlock);
    EXPECT_EQ(inside.back(), 2 * kGiB);

    // When the third item starts, the bar is nearly full though only two of
    // four items are done.
    const auto begins = delegate.begins();
    ASSERT_EQ(begins.size(), 4u);
    const auto third = std::find_if(steps.begin(), steps.end(), [](const auto& step) {
        return !step.progress && step.itemNumber == 3;
    });
    ASSERT_NE(third, steps.end());
    EXPECT_EQ(third->bytesCopied, 1 * kKiB + 2 * kGiB);
}

TEST(CopyBytes, AJobThatDoesNotKnowItsSizesCountsItems)
{
    RecordingCopyDelegate delegate;
    SizedJob job;
    job.knowsSizes = false;
    job.setDelegate(&delegate);
    job.setItemQueue(sizes({kKiB, 64 * 1024 * kKiB, kKiB}));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    QCoreApplication::processEvents();

    EXPECT_TRUE(delegate.progressSteps().empty());
    const auto steps = delegate.byteSteps();
    ASSERT_EQ(steps.size(), 3u);
    for (const auto& step : steps)
        EXPECT_EQ(step.byteCount, 0u);
    const auto begins = delegate.begins();
    ASSERT_EQ(begins.size(), 3u);
    EXPECT_EQ(begins[2].itemNumber, 3u);
    EXPECT_EQ(begins[2].itemCount, 3u);
}

TEST(CopyBytes, ProgressWakesTheMainThreadAtMostOncePerInterval)
{
    // An interval of 50 s of real time: the blocks of a 64 MiB item all fall
    // into the one that began with the item's start.
    Clock::setScale(1000.0);
    RecordingCopyDelegate delegate;
    SizedJob job;
    job.setDelegate(&delegate);
    job.setItemQueue(sizes({64 * 1024 * kKiB, kKiB}));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    QCoreApplication::processEvents();

    // Only the end, which fills the bar.
    const auto progress = delegate.progressSteps();
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0].bytesCopied, 64 * 1024 * kKiB + kKiB);
}

TEST(CopyBytes, ACancelledRunReportsNoMoreProgress)
{
    RecordingCopyDelegate delegate;
    SizedJob job;
    job.hold = std::make_shared<Gate>();
    job.holdAt = 2;
    job.setDelegate(&delegate);
    job.setItemQueue(sizes({kKiB, 2 * kGiB, kKiB}));
    job.startCopy();

    // The worker has told the first block of the big item and waits; the
    // progress it posted is still in the queue when the user cancels.
    job.reached->waitOpen();
    job.cancelCopy();
    job.hold->open();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    QCoreApplication::processEvents();

    for (const auto& step : delegate.byteSteps())
        EXPECT_LE(step.itemNumber, 2u);
    EXPECT_TRUE(delegate.progressSteps().empty());
    // A new run starts from nothing.
    job.hold.reset();
    job.setItemQueue(sizes({kKiB}));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(2));
    QCoreApplication::processEvents();
    const auto progress = delegate.progressSteps();
    ASSERT_FALSE(progress.empty());
    for (const auto& step : progress)
        EXPECT_EQ(step.byteCount, kKiB);
    EXPECT_EQ(progress.back().bytesCopied, kKiB);
}

} // namespace
