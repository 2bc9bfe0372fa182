#include "WaitUntil.h"

#include <QEventLoop>
#include <QTimer>

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // Waits for the next event, or a millisecond at most for a change that
        // comes from another thread without one, instead of spinning.
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    return waitUntil(done, std::chrono::milliseconds(timeoutMs));
}
