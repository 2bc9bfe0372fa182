// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThreadCheck.h"

#include <atomic>
#include <mutex>
#include <utility>

#include <QCoreApplication>
#include <QThread>

#include "Log.h"

namespace {

std::atomic<bool> g_enabled{false};
std::mutex g_handlerMutex;
ThreadCheck::ViolationHandler g_handler;

void defaultViolation(const char* function)
{
    qCWarning(lcOrvane) << "A blocking read on the GUI thread:" << function;
#ifndef QT_NO_DEBUG
    qFatal("A blocking read on the GUI thread: %s", function);
#endif
}

} // namespace

namespace ThreadCheck {

void setEnabled(bool enabled) { g_enabled.store(enabled); }

bool isEnabled() { return g_enabled.load(); }

void setViolationHandler(ViolationHandler handler)
{
    std::lock_guard lock(g_handlerMutex);
    g_handler = std::move(handler);
}

bool onGuiThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

} // namespace ThreadCheck

void assertNotOnGuiThread(const char* function)
{
    if (!g_enabled.load(std::memory_order_relaxed) || !ThreadCheck::onGuiThread())
        return;
    ThreadCheck::ViolationHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler)
        handler(function);
    else
        defaultViolation(function);
}
