#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "WaitUntil.h"

// Collects events that arrive on any thread (delegate calls, callbacks) and
// lets a test wait for them. Thread-safe.
//
// waitFor blocks on a condition variable until the events recorded so far
// satisfy the predicate or the time-out passes. When the events come through
// queued calls to the main thread, the main thread must keep handling Qt
// events while it waits: ask for that with Wait::ProcessingQtEvents.
template <class T> class EventRecorder {
public:
    using Events = std::vector<T>;
    using Predicate = std::function<bool(const Events&)>;
    enum class Wait { Blocking, ProcessingQtEvents };

    void record(T event)
    {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(std::move(event));
        }
        m_changed.notify_all();
    }

    // A copy of the events recorded so far, in arrival order.
    Events events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    size_t count() const
    {
        std::lock_guard lock(m_mutex);
        return m_events.size();
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

    // Whether the predicate came to hold within `timeout` (real time).
    bool waitFor(const Predicate& predicate, std::chrono::milliseconds timeout = kTestWaitLimit,
                 Wait mode = Wait::Blocking) const
    {
        if (mode == Wait::ProcessingQtEvents) {
            return waitUntil(
                [&] {
                    std::lock_guard lock(m_mutex);
                    return predicate(m_events);
                },
                timeout);
        }
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return predicate(m_events); });
    }
    // Whether at least `n` events came within `timeout`.
    bool waitForCount(size_t n, std::chrono::milliseconds timeout = kTestWaitLimit,
                      Wait mode = Wait::Blocking) const
    {
        return waitFor([n](const Events& events) { return events.size() >= n; }, timeout, mode);
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Events m_events;
};
