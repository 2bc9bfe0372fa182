#include "Clock.h"

#include <algorithm>
#include <thread>

namespace {
std::atomic<double> g_scale{1.0};
}

namespace Clock {

void setScale(double scale) { g_scale = std::max(0.0, scale); }

double scale() { return g_scale; }

Milliseconds scaled(Milliseconds nominal)
{
    return Milliseconds(static_cast<long long>(static_cast<double>(nominal.count()) * g_scale));
}

int scaledMs(int nominalMs) { return static_cast<int>(scaled(Milliseconds(nominalMs)).count()); }

bool sleepFor(Milliseconds nominal, const std::atomic<bool>* stop)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + scaled(nominal);
    // Sleep in short slices so that a stop request is seen promptly.
    constexpr Milliseconds slice(20);
    for (;;) {
        if (stop && stop->load())
            return false;
        const auto now = steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(slice, deadline - now));
    }
}

} // namespace Clock
