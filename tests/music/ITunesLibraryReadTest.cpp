// SPDX-License-Identifier: GPL-3.0-or-later
// The read of the computer's music library index and the thread that waits for it.
#include <atomic>
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "QELITunesLibrary.h"
#include "WaitUntil.h"

namespace {

// The application's delegate waits in the event until the main thread has
// shown the content page; this one waits until the test releases it.
class WaitingDelegate : public QELITunesLibraryDelegate {
public:
    void OnITunesLibraryLoadCompleteWithArguments(
        const QELITunesLibraryReadCompleteArguments&) override
    {
        if (++events == 1) {
            entered.set_value();
            releasedInTime = released.wait_for(kTestWaitLimit) == std::future_status::ready;
        }
    }

    std::atomic<int> events{0};
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> releasedInTime{false};
};

TEST(ITunesLibraryRead, ANewReadDoesNotWaitForAnEarlierOneWhoseEventWaitsForTheCaller)
{
    WaitingDelegate delegate;
    QELITunesLibrary library(nullptr);
    library.setDelegate(&delegate);
    library.startReadingITunesLibrary();
    delegate.entered.get_future().wait();
    // The earlier read's event waits for this thread: starting the next read
    // here must return at once, or neither thread goes on.
    library.startReadingITunesLibrary();
    delegate.release.set_value();
    EXPECT_TRUE(waitUntil([&] { return delegate.events.load() == 2; }));
    library.stop();
    EXPECT_TRUE(delegate.releasedInTime.load());
    EXPECT_EQ(delegate.events.load(), 2);
    EXPECT_FALSE(library.isLibraryReadSuccessful());
}

class CountingDelegate : public QELITunesLibraryDelegate {
public:
    void OnITunesLibraryLoadCompleteWithArguments(
        const QELITunesLibraryReadCompleteArguments&) override
    {
        ++events;
    }
    std::atomic<int> events{0};
};

TEST(ITunesLibraryRead, EachReadEndsWithOneEventAndStopDropsNone)
{
    CountingDelegate delegate;
    QELITunesLibrary library(nullptr);
    library.setDelegate(&delegate);
    library.startReadingITunesLibrary();
    EXPECT_TRUE(waitUntil([&] { return delegate.events.load() == 1; }));
    library.stop();
    library.startReadingITunesLibrary();
    EXPECT_TRUE(waitUntil([&] { return delegate.events.load() == 2; }));
    library.stop();
    EXPECT_EQ(delegate.events.load(), 2);
}

} // namespace
