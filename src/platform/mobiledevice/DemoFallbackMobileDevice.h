// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

#include <QSet>

#include "MobileDevice.h"

// The real backend with a demo in front of an empty desk: the demo backend's
// devices are announced only while no real device is attached over USB. A
// real device that arrives takes the demo's place (the demo device leaves
// first), and when the last real device leaves, the demo device comes back.
// Every call goes to the backend of the device it names.
class DemoFallbackMobileDevice : public MobileDevice {
public:
    DemoFallbackMobileDevice(std::shared_ptr<MobileDevice> real,
                             std::shared_ptr<MobileDevice> demo);
    ~DemoFallbackMobileDevice() override;

    uint32_t notificationSubscribe(NotificationCallback callback) override;
    void notificationUnsubscribe() override;
    uint32_t connect(const QString& device) override;
    uint32_t disconnect(const QString& device) override;
    QVariant copyValue(const QString& device, const QString& key) override;
    int isPaired(const QString& device) override;
    uint32_t pair(const QString& device) override;
    uint32_t validatePairing(const QString& device) override;
    uint32_t startSession(const QString& device) override;
    uint32_t stopSession(const QString& device) override;
    uint32_t startService(const QString& device, const QString& name,
                          std::unique_ptr<ServiceConnection>* service) override;
    uint32_t afcConnectionOpen(std::unique_ptr<ServiceConnection> service,
                               std::unique_ptr<AfcConnection>* connection) override;
    uint32_t installationProxyOpen(std::unique_ptr<ServiceConnection> service,
                                   std::unique_ptr<InstallationProxy>* proxy) override;
    uint32_t springBoardServicesOpen(std::unique_ptr<ServiceConnection> service,
                                     std::unique_ptr<SpringBoardServices>* services) override;

private:
    MobileDevice& backendOf(const QString& device);
    MobileDevice& backendOf(const ServiceConnection* service);
    void onReal(const DeviceNotification& notification);
    void onDemo(const DeviceNotification& notification);
    // Under m_mutex: announces the demo devices as arrived or left.
    void showDemoLocked(bool show);
    void deliverLocked(const DeviceNotification& notification);

    std::shared_ptr<MobileDevice> m_real;
    std::shared_ptr<MobileDevice> m_demo;

    // Guards the sets and serialises every notification the receiver gets:
    // the two backends deliver on threads of their own.
    std::recursive_mutex m_mutex;
    NotificationCallback m_callback;
    QSet<QString> m_realAttached; // over USB
    bool m_demoShown = false;
    std::mutex m_routeMutex; // guards m_demoDevices alone, for the calls
    QSet<QString> m_demoDevices;
    // Services the demo started and that are not opened yet.
    QSet<const ServiceConnection*> m_demoServices;
};
