#pragma once

#include "FakeDeviceFixture.h"

#include "IPodFramework.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "RealMobileDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Our device interface over its real backend (libimobiledevice) and the fake device.

// Records the device events; tests wait on them.
class Events : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_connected.append(arguments);
        m_changed.notify_all();
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_disconnected.append(arguments);
        m_changed.notify_all();
    }
    void OnDeviceCommunicatingWithSourceFile(bool communicating, const QString& devicePath) override
    {
        std::lock_guard lock(m_mutex);
        m_communicating.append({communicating, devicePath});
    }
    QList<QPair<bool, QString>> communicating() const
    {
        std::lock_guard lock(m_mutex);
        return m_communicating;
    }
    QList<QELDeviceConnectivityArguments> connected() const
    {
        std::lock_guard lock(m_mutex);
        return m_connected;
    }
    QList<qint64> failedStatuses() const
    {
        QList<qint64> out;
        for (const auto& arguments : connected())
            if (!arguments.success())
                out.append(arguments.devicePairingStatus());
        return out;
    }
    // Bounded wait (real time) for another thread; never a fixed sleep.
    bool waitFor(const std::function<bool(const QList<QELDeviceConnectivityArguments>&, int)>& condition)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20),
                                  [&] { return condition(m_connected, int(m_disconnected.size())); });
    }
    bool waitForSuccess()
    {
        return waitFor([](const QList<QELDeviceConnectivityArguments>& connected, int) {
            return !connected.isEmpty() && connected.last().success();
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QELDeviceConnectivityArguments> m_connected;
    QList<QELDeviceConnectivityArguments> m_disconnected;
    QList<QPair<bool, QString>> m_communicating;
};

class DeviceLayer : public FakeDeviceFixture {
protected:
    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
        m_interface.reset();
        FakeDeviceFixture::TearDown();
    }

    void startDetection()
    {
        m_interface = std::make_unique<QELDeviceInterface>(
            std::make_shared<RealMobileDevice>(), std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
    }

    void writeLocal(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(afcPath(relative)).absolutePath());
        QFile file(afcPath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // The disconnect event is sent before the interface forgets the device.
    bool waitUntilDisconnected()
    {
        return m_events.waitFor([this](const auto&, int) { return !m_interface->isValidDeviceConnected(); });
    }

    Events m_events;
    std::unique_ptr<QELDeviceInterface> m_interface;
};

