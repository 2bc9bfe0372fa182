#pragma once

#include <chrono>
#include <functional>

// How long a test waits at most for something another thread or the event
// loop brings; far longer than any test needs, so a slow machine never fails
// a test, while a hang still ends.
constexpr std::chrono::milliseconds kTestWaitLimit{10000};

// Runs the calling thread's Qt events until `done` holds or `timeout` of real
// time has passed; answers whether it holds. For conditions that queued calls
// or worker threads make true; never a fixed sleep.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = kTestWaitLimit);
// The same with the time-out in milliseconds.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
