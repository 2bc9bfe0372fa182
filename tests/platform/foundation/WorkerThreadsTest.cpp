// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include <QStringList>

#include "WorkerThreads.h"

namespace {

// The warnings logged while it lives (any thread).
class LogCapture {
public:
    LogCapture() { s_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(s_previous); }
    QStringList lines()
    {
        std::lock_guard lock(s_mutex);
        return s_lines;
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        std::lock_guard lock(s_mutex);
        s_lines << text;
    }
    static inline std::mutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

// Spins (yielding) until `done` holds; false after ten seconds.
template <class F> bool spinUntil(F done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

struct ThrowCase {
    const char* name;
    std::function<void()> body;
    const char* logged;
};

} // namespace

TEST(WorkerThreads, AThrowingWorkerIsLoggedAndEndsAloneThenIsReaped)
{
    const std::vector<ThrowCase> cases{
        {"std::exception", [] { throw std::runtime_error("the disk went away"); },
         "the disk went away"},
        {"another type", [] { throw 42; }, "unknown exception"},
    };
    for (const ThrowCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        WorkerThreads workers(QStringLiteral("A test worker"));
        std::atomic<bool> release{false};
        std::atomic<bool> otherFinished{false};
        ASSERT_TRUE(workers.start([&] {
            spinUntil([&] { return release.load(); });
            otherFinished = true;
        }));
        ASSERT_TRUE(workers.start(c.body));
        // The thrower ends; the other worker is still running and unharmed.
        ASSERT_TRUE(spinUntil([&] { return workers.runningCount() == 1; }));
        workers.reapFinished();
        EXPECT_EQ(workers.count(), 1u);
        release = true;
        workers.joinAll();
        EXPECT_TRUE(otherFinished);
        EXPECT_EQ(workers.count(), 0u);
        EXPECT_TRUE(log.lines().contains(QStringLiteral("A test worker stopped: ")
                                         + QLatin1String(c.logged)))
            << log.lines().join(QLatin1Char('\n')).toStdString();
    }
}

TEST(WorkerThreads, FinishedWorkersDoNotPileUp)
{
    WorkerThreads workers;
    std::atomic<int> runs{0};
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(workers.start([&] { ++runs; }));
        // Each start joins the ended ones first: at most the one just started remains.
        EXPECT_LE(workers.count(), 1u);
        ASSERT_TRUE(spinUntil([&] { return workers.runningCount() == 0; }));
    }
    EXPECT_EQ(runs, 50);
    workers.reapFinished();
    EXPECT_EQ(workers.count(), 0u);
}

TEST(WorkerThreads, StopAndJoinAllWaitsForEveryWorkerAndRefusesNewOnes)
{
    WorkerThreads workers;
    std::atomic<bool> release{false};
    std::atomic<bool> outerFinished{false};
    std::atomic<bool> innerFinished{false};
    // A worker that starts another one while the owner is already waiting.
    ASSERT_TRUE(workers.start([&] {
        spinUntil([&] { return release.load(); });
        workers.start([&] {
            spinUntil([&] { return release.load(); });
            innerFinished = true;
        });
        outerFinished = true;
    }));
    std::thread releaser([&] {
        spinUntil([&] { return workers.runningCount() >= 1; });
        release = true;
    });
    workers.joinAll();
    releaser.join();
    EXPECT_TRUE(outerFinished);
    EXPECT_TRUE(innerFinished);
    EXPECT_EQ(workers.count(), 0u);

    workers.stopAndJoinAll();
    EXPECT_TRUE(workers.isStopped());
    std::atomic<bool> ran{false};
    EXPECT_FALSE(workers.start([&] { ran = true; }));
    EXPECT_EQ(workers.count(), 0u);
    EXPECT_FALSE(ran);
}

TEST(WorkerThreads, TheDestructorJoinsAndAWorkerMayEndItsOwner)
{
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    std::thread releaser;
    {
        WorkerThreads workers;
        ASSERT_TRUE(workers.start([&] {
            spinUntil([&] { return release.load(); });
            finished = true;
        }));
        releaser = std::thread([&] { release = true; });
    }
    EXPECT_TRUE(finished);
    releaser.join();

    // A worker whose owner is destroyed on it (the last reference goes there)
    // cannot wait for itself: it is let go instead of deadlocking.
    std::atomic<bool> returned{false};
    std::atomic<bool> mainDropped{false};
    auto owner = std::make_shared<WorkerThreads>();
    std::weak_ptr<WorkerThreads> weak = owner;
    ASSERT_TRUE(owner->start([&returned, &mainDropped, held = owner]() mutable {
        spinUntil([&] { return mainDropped.load(); });
        held.reset();
        returned = true;
    }));
    owner.reset();
    mainDropped = true;
    ASSERT_TRUE(spinUntil([&] { return returned.load() && weak.expired(); }));
}
