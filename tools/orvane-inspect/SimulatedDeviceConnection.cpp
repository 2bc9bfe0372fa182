// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedDeviceConnection.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QFileInfo>

#include "IPodFramework.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "SimulatedMobileDevice.h"

namespace {

// Waits for the device's connection event.
class ConnectionWaiter : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_connected = arguments.success();
        m_changed.notify_all();
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}

    bool waitForConnection(std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, limit, [this] { return m_connected; });
        return m_connected;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_connected = false;
};

} // namespace

struct SimulatedDeviceConnection::Private {
    std::shared_ptr<SimulatedMobileDevice> simulator = std::make_shared<SimulatedMobileDevice>();
    QELDeviceInterface device{
        simulator, std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}})};
    ConnectionWaiter waiter;
};

SimulatedDeviceConnection::SimulatedDeviceConnection()
    : d(std::make_unique<Private>())
{
}

SimulatedDeviceConnection::~SimulatedDeviceConnection()
{
    d->device.shutdown();
    d->device.setDelegate(nullptr);
}

QELDeviceInterface& SimulatedDeviceConnection::device() { return d->device; }

bool SimulatedDeviceConnection::connect(const QString& folder, QString* why)
{
    if (!QFileInfo::exists(folder + QStringLiteral("/device.plist"))) {
        *why = QStringLiteral("not a simulated device folder: %1").arg(folder);
        return false;
    }
    d->device.setDelegate(&d->waiter);
    d->device.BeginDeviceConnectionDetect();
    if (d->simulator->attach(folder).isEmpty()) {
        *why = QStringLiteral("the device folder %1 cannot be used").arg(folder);
        return false;
    }
    if (!d->waiter.waitForConnection(std::chrono::seconds(30))) {
        *why = QStringLiteral("the device of %1 did not connect").arg(folder);
        return false;
    }
    return true;
}
