#include "Clock.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(Clock, ScalesDelaysAndStopsEarly)
{
    using namespace std::chrono;
    const double before = Clock::scale();
    Clock::setScale(0.001);
    EXPECT_EQ(Clock::scaledMs(2000), 2);
    const auto start = steady_clock::now();
    EXPECT_TRUE(Clock::sleepFor(seconds(2)));
    EXPECT_LT(steady_clock::now() - start, milliseconds(500));

    Clock::setScale(1.0);
    std::atomic<bool> stop{true};
    EXPECT_FALSE(Clock::sleepFor(seconds(60), &stop));
    Clock::setScale(before);
}
