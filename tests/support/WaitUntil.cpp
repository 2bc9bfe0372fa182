#include "WaitUntil.h"

#include <thread>

#include <QCoreApplication>
#include <QEventLoop>

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // processEvents returns at once when nothing is pending: let the
        // worker threads run instead of spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    return waitUntil(done, std::chrono::milliseconds(timeoutMs));
}
