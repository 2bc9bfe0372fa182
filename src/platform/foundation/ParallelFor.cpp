#include "ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

bool parallelFor(size_t count, int threads, const std::function<bool(size_t)>& work)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const auto run = [&] {
        for (size_t i; !failed.load(std::memory_order_relaxed)
             && (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
            if (!work(i))
                failed.store(true, std::memory_order_relaxed);
        }
    };
    const size_t wanted = std::min(count, static_cast<size_t>(std::max(threads, 1)));
    std::vector<std::thread> helpers;
    helpers.reserve(wanted > 0 ? wanted - 1 : 0);
    for (size_t i = 1; i < wanted; ++i) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error&) {
            break;
        }
    }
    run();
    for (std::thread& helper : helpers)
        helper.join();
    return !failed.load();
}
