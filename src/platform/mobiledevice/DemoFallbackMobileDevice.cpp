// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoFallbackMobileDevice.h"

#include "AfcConnection.h"
#include "InstallationProxy.h"
#include "Log.h"
#include "ServiceConnection.h"
#include "SpringBoardServices.h"

DemoFallbackMobileDevice::DemoFallbackMobileDevice(std::shared_ptr<MobileDevice> real,
                                                   std::shared_ptr<MobileDevice> demo)
    : m_real(std::move(real))
    , m_demo(std::move(demo))
{
}

DemoFallbackMobileDevice::~DemoFallbackMobileDevice() { notificationUnsubscribe(); }

uint32_t DemoFallbackMobileDevice::notificationSubscribe(NotificationCallback callback)
{
    {
        std::lock_guard lock(m_mutex);
        m_callback = std::move(callback);
    }
    // The real backend first, so that devices usbmuxd already lists are
    // announced before the demo is. It keeps watching usbmuxd, also when it
    // is not running yet: a device or a usbmuxd that comes later is found then.
    const uint32_t result =
        m_real->notificationSubscribe([this](const DeviceNotification& n) { onReal(n); });
    m_demo->notificationSubscribe([this](const DeviceNotification& n) { onDemo(n); });
    return result;
}

void DemoFallbackMobileDevice::notificationUnsubscribe()
{
    m_real->notificationUnsubscribe();
    m_demo->notificationUnsubscribe();
    std::lock_guard lock(m_mutex);
    m_callback = nullptr;
}

void DemoFallbackMobileDevice::deliverLocked(const DeviceNotification& notification)
{
    if (m_callback)
        m_callback(notification);
}

void DemoFallbackMobileDevice::showDemoLocked(bool show)
{
    QSet<QString> devices;
    {
        std::lock_guard route(m_routeMutex);
        devices = m_demoDevices;
    }
    if (m_demoShown == show || devices.isEmpty())
        return;
    m_demoShown = show;
    for (const QString& device : devices) {
        DeviceNotification notification;
        notification.device = device;
        notification.kind = show ? DeviceNotification::Arrived : DeviceNotification::Left;
        deliverLocked(notification);
    }
}

void DemoFallbackMobileDevice::onReal(const DeviceNotification& notification)
{
    std::lock_guard lock(m_mutex);
    if (notification.connection == DeviceConnectionType::Usb) {
        if (notification.kind == DeviceNotification::Arrived) {
            m_realAttached.insert(notification.device);
            if (m_demoShown)
                qCInfo(lcOrvane) << "A device is attached: it takes the demo device's place";
            showDemoLocked(false);
        } else if (notification.kind == DeviceNotification::Left) {
            m_realAttached.remove(notification.device);
        }
    }
    deliverLocked(notification);
    if (notification.kind == DeviceNotification::Left && m_realAttached.isEmpty())
        showDemoLocked(true);
}

void DemoFallbackMobileDevice::onDemo(const DeviceNotification& notification)
{
    std::lock_guard lock(m_mutex);
    {
        std::lock_guard route(m_routeMutex);
        if (notification.kind == DeviceNotification::Arrived)
            m_demoDevices.insert(notification.device);
        else if (notification.kind == DeviceNotification::Left)
            m_demoDevices.remove(notification.device);
    }
    if (!m_realAttached.isEmpty())
        return; // kept back while a real device is there
    if (notification.kind == DeviceNotification::Arrived)
        m_demoShown = true;
    deliverLocked(notification);
}

MobileDevice& DemoFallbackMobileDevice::backendOf(const QString& device)
{
    std::lock_guard route(m_routeMutex);
    return m_demoDevices.contains(device) ? *m_demo : *m_real;
}

MobileDevice& DemoFallbackMobileDevice::backendOf(const ServiceConnection* service)
{
    std::lock_guard route(m_routeMutex);
    return m_demoServices.remove(service) ? *m_demo : *m_real;
}

uint32_t DemoFallbackMobileDevice::connect(const QString& device)
{
    return backendOf(device).connect(device);
}

uint32_t DemoFallbackMobileDevice::disconnect(const QString& device)
{
    return backendOf(device).disconnect(device);
}

QVariant DemoFallbackMobileDevice::copyValue(const QString& device, const QString& key)
{
    return backendOf(device).copyValue(device, key);
}

int DemoFallbackMobileDevice::isPaired(const QString& device)
{
    return backendOf(device).isPaired(device);
}

uint32_t DemoFallbackMobileDevice::pair(const QString& device)
{
    return backendOf(device).pair(device);
}

uint32_t DemoFallbackMobileDevice::validatePairing(const QString& device)
{
    return backendOf(device).validatePairing(device);
}

uint32_t DemoFallbackMobileDevice::startSession(const QString& device)
{
    return backendOf(device).startSession(device);
}

uint32_t DemoFallbackMobileDevice::stopSession(const QString& device)
{
    return backendOf(device).stopSession(device);
}

uint32_t DemoFallbackMobileDevice::startService(const QString& device, const QString& name,
                                                std::unique_ptr<ServiceConnection>* service)
{
    MobileDevice& backend = backendOf(device);
    const uint32_t result = backend.startService(device, name, service);
    if (result == MobileDeviceResult::kSuccess && *service) {
        // The service is opened by the backend that started it (an address
        // left by a demo service that was never opened is forgotten here).
        std::lock_guard route(m_routeMutex);
        if (&backend == m_demo.get())
            m_demoServices.insert(service->get());
        else
            m_demoServices.remove(service->get());
    }
    return result;
}

uint32_t DemoFallbackMobileDevice::afcConnectionOpen(std::unique_ptr<ServiceConnection> service,
                                                     std::unique_ptr<AfcConnection>* connection)
{
    MobileDevice& backend = backendOf(service.get());
    return backend.afcConnectionOpen(std::move(service), connection);
}

uint32_t DemoFallbackMobileDevice::installationProxyOpen(std::unique_ptr<ServiceConnection> service,
                                                         std::unique_ptr<InstallationProxy>* proxy)
{
    MobileDevice& backend = backendOf(service.get());
    return backend.installationProxyOpen(std::move(service), proxy);
}

uint32_t DemoFallbackMobileDevice::springBoardServicesOpen(
    std::unique_ptr<ServiceConnection> service, std::unique_ptr<SpringBoardServices>* services)
{
    MobileDevice& backend = backendOf(service.get());
    return backend.springBoardServicesOpen(std::move(service), services);
}
