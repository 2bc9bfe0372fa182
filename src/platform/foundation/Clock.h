#pragma once

#include <atomic>
#include <chrono>

// Every delay of the program (polling, retries, debounces, time-outs) goes
// through this clock, so tests can run them many times faster than real time.
// A scale of 1 is real time; tests set e.g. 0.01 so that 2 s becomes 20 ms.
namespace Clock {

using Milliseconds = std::chrono::milliseconds;

void setScale(double scale);
double scale();

// The real duration that a nominal delay takes under the current scale.
Milliseconds scaled(Milliseconds nominal);

// For QTimer::start and the like.
int scaledMs(int nominalMs);

// Sleeps for the nominal delay. When `stop` is given, the sleep ends early as
// soon as it becomes true; the result says whether the full delay passed.
bool sleepFor(Milliseconds nominal, const std::atomic<bool>* stop = nullptr);

} // namespace Clock
