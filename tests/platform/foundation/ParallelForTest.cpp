#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ParallelFor.h"

namespace {

// Every index runs exactly once, whatever the number of threads asked for,
// and the calling thread takes part.
TEST(ParallelFor, RunsEveryIndexOnceOnTheThreadsAskedFor)
{
    struct Case {
        size_t count;
        int threads;
    };
    for (const Case c : {Case{0, 4}, Case{1, 4}, Case{1000, 0}, Case{1000, 1}, Case{1000, 3},
                         Case{1000, 64}, Case{5, 64}}) {
        SCOPED_TRACE(testing::Message() << c.count << " indices on " << c.threads << " threads");
        std::vector<std::atomic<int>> runs(c.count);
        std::mutex mutex;
        std::set<std::thread::id> threads;
        EXPECT_TRUE(parallelFor(c.count, c.threads, [&](size_t i) {
            runs[i].fetch_add(1);
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            return true;
        }));
        for (size_t i = 0; i < c.count; ++i) {
            ASSERT_EQ(runs[i].load(), 1) << "index " << i;
        }
        EXPECT_LE(threads.size(), std::max<size_t>(1, std::min<size_t>(c.count, c.threads)));
        if (c.count > 0 && c.threads <= 1) {
            EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
        }
    }
}

// A failed call stops the handing out of further indices: when every call
// fails, each thread makes one call at most.
TEST(ParallelFor, AFailureStopsTheRestAndIsReported)
{
    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        std::atomic<size_t> ran{0};
        EXPECT_FALSE(parallelFor(10000, threads, [&](size_t) {
            ran.fetch_add(1);
            return false;
        }));
        EXPECT_GE(ran.load(), 1u);
        EXPECT_LE(ran.load(), static_cast<size_t>(threads));
    }
    std::atomic<size_t> ran{0};
    EXPECT_FALSE(parallelFor(100, 1, [&](size_t i) {
        ran.fetch_add(1);
        return i < 10;
    }));
    EXPECT_EQ(ran.load(), 11u);
}

} // namespace
