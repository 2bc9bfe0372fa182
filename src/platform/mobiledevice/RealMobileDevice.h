// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include <QHash>
#include <QVariantMap>

#include "MobileDevice.h"

// iOS devices through libimobiledevice and usbmuxd. Lockdown errors become the
// result codes of MobileDevice.h (the raw code is logged beside them):
// passcode protected -> kPasscodeLocked; pairing dialog pending ->
// kNotTrusted; user denied -> kPairingDenied; invalid host id ->
// kInvalidHostId. The host's pair records are usbmuxd's.
class RealMobileDevice : public MobileDevice {
public:
    RealMobileDevice();
    ~RealMobileDevice() override;

    static uint32_t fromLockdown(int lockdownError);
    // The installation proxy's "Error" value of a final reply.
    static uint32_t fromInstallationProxyError(const QString& error);
    static uint32_t fromSpringBoard(int springBoardError);

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

    struct Device;

private:
    static void eventCallback(const void* event, void* context);
    std::shared_ptr<Device> device(const QString& udid, bool create);
    void deliver(const DeviceNotification& notification);

    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Device>> m_devices;
    // Host identities made for devices that have not accepted them yet; they
    // outlive a replug, so a device is never offered a second one.
    QHash<QString, QVariantMap> m_identities;
    bool subscribeLocked();

    std::mutex m_callbackMutex;
    NotificationCallback m_callback;
    // The subscription and the thread that watches for usbmuxd.
    std::mutex m_watchMutex;
    std::condition_variable m_watchChanged;
    bool m_watchStop = false;
    bool m_subscribed = false;
    std::thread m_watch;
};
