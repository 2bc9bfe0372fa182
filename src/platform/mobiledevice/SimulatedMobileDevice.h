// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MobileDevice.h"

#include <QHash>
#include <QStringList>
#include <QVariantMap>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Simulated iOS devices, each described by a folder (docs/simulated-devices.md).
// Tests attach and detach devices at any moment; notifications are delivered on
// the backend's own thread, in order, as the real backend delivers them.
class SimulatedMobileDevice : public MobileDevice {
public:
    // Attaches the given device folders at once (announced on subscription).
    explicit SimulatedMobileDevice(const QStringList& folders = {});
    ~SimulatedMobileDevice() override;

    // The folders named by ORVANE_SIMULATED_DEVICES (separated by ":").
    static QStringList foldersFromEnvironment();

    // Attaches the device described by `folder` and announces its arrival.
    // Answers its identifier, or an empty text when device.plist is unusable.
    QString attach(const QString& folder);
    // Announces that the device left; its open connections fail from now on.
    void detach(const QString& device);
    // Sends a notification of any kind (4 ends a pending pairing), as one of
    // the device's instances (a device on USB and Wi-Fi has one of each).
    void notify(const QString& device, int kind,
                DeviceConnectionType connection = DeviceConnectionType::Usb);
    QStringList attachedDevices() const;
    // The calls made on the device so far, by name ("connect", "startService
    // com.apple.afc", ...), in order.
    QStringList callLog(const QString& device) const;
    int callCount(const QString& device, const QString& call) const;
    // Waits until every queued notification has been delivered.
    void waitForNotifications();

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
    struct Device;

    std::shared_ptr<Device> device(const QString& udid) const;
    void record(Device& device, const QString& call);
    // Records a call of a service that runs without the backend's lock.
    void recordCall(const QString& udid, const QString& call);
    void enqueue(const DeviceNotification& notification);
    void deliverLoop();

    mutable std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Device>> m_devices;
    QStringList m_order;

    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<DeviceNotification> m_queue;
    NotificationCallback m_callback;
    bool m_delivering = false;
    bool m_stop = false;
    std::thread m_thread;
};
