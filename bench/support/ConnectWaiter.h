// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "QELDeviceConnectivityDelegate.h"

// Waits, in a benchmark, until the simulated device it attached has connected.
class ConnectWaiter : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_connected = arguments.success();
        m_changed.notify_all();
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}
    bool wait()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_connected; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_connected = false;
};
