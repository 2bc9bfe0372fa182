// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QString>
#include <QVariant>

class AfcConnection;
class InstallationProxy;
class ServiceConnection;
class SpringBoardServices;

// Result codes of the device calls: 0 is success; the three named codes are the
// ones detection tests; every other failure is one of the generic ones below.
namespace MobileDeviceResult {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kPasscodeLocked = 0xE800001A; // locked with a passcode
constexpr uint32_t kNotTrusted = 0xE8000025;     // the trust dialog is up, not answered yet
constexpr uint32_t kInvalidHostId = 0xE800001C;  // the device does not know this computer
constexpr uint32_t kUndefined = 0xE8000001;      // any other failure
constexpr uint32_t kNotConnected = 0xE8000003;   // the device is gone or not connected
constexpr uint32_t kServiceUnavailable = 0xE8000022;
constexpr uint32_t kPairingDenied = 0xE8000096; // the user declined to trust this computer
constexpr uint32_t kTimedOut = 0xE8000084;      // the device did not answer in time
} // namespace MobileDeviceResult

// How a device reaches the computer.
enum class DeviceConnectionType { Usb, Network };

// One device notification: kind 1 arrived, 2 left, 4 ends a pending pairing.
struct DeviceNotification {
    enum Kind { Arrived = 1, Left = 2, PairingEnded = 4 };
    QString device; // the device's identifier, which is its handle for every call
    int kind = 0;
    DeviceConnectionType connection = DeviceConnectionType::Usb;
};

// The device calls the device interface makes on iOS devices, in the order
// detection and file access make them. A device is named by its identifier
// (UDID). Calls are thread-safe; they block, so none may run on the GUI thread.
class MobileDevice {
public:
    using NotificationCallback = std::function<void(const DeviceNotification&)>;

    virtual ~MobileDevice();

    // Registers the one receiver of notifications; it runs on the backend's own
    // thread. Devices already attached are announced as arrivals.
    virtual uint32_t notificationSubscribe(NotificationCallback callback) = 0;
    // After this returns, the callback is never called again.
    virtual void notificationUnsubscribe() = 0;

    virtual uint32_t connect(const QString& device) = 0;
    virtual uint32_t disconnect(const QString& device) = 0;
    // A lockdown value without domain; an invalid QVariant when there is none.
    // Needs a connection.
    virtual QVariant copyValue(const QString& device, const QString& key) = 0;
    // 1 when the computer holds a usable pair record for the device. Asks the
    // device nothing: whether the device still knows the record shows when a
    // session starts (or, below iOS 7, through validatePairing()).
    virtual int isPaired(const QString& device) = 0;
    // Asks the device to trust this computer, always with the same host
    // identity: the pair record held for the device, or one made once and
    // kept until the device accepts it. On success the record is saved.
    // kNotTrusted while the trust dialog waits for the user, kPairingDenied
    // when the user declined, kPasscodeLocked while the device is locked.
    virtual uint32_t pair(const QString& device) = 0;
    // Asks the device whether it knows the held record (the request devices
    // below iOS 7 need before a session; later ones refuse it).
    virtual uint32_t validatePairing(const QString& device) = 0;
    // Starts a session with the held record's host identifier, over TLS as
    // the device's version asks for. kInvalidHostId when there is no usable
    // record or the device does not know it.
    virtual uint32_t startSession(const QString& device) = 0;
    virtual uint32_t stopSession(const QString& device) = 0;
    // Starts a lockdown service by name (needs a session); on success `service`
    // holds the service's connection.
    virtual uint32_t startService(const QString& device, const QString& name,
                                  std::unique_ptr<ServiceConnection>* service) = 0;
    // Opens the file service over a started "com.apple.afc" service.
    virtual uint32_t afcConnectionOpen(std::unique_ptr<ServiceConnection> service,
                                       std::unique_ptr<AfcConnection>* connection) = 0;
    // Opens the installation proxy over a started
    // "com.apple.mobile.installation_proxy" service.
    virtual uint32_t installationProxyOpen(std::unique_ptr<ServiceConnection> service,
                                           std::unique_ptr<InstallationProxy>* proxy) = 0;
    // Opens springboard services over a started "com.apple.springboardservices" service.
    virtual uint32_t springBoardServicesOpen(std::unique_ptr<ServiceConnection> service,
                                             std::unique_ptr<SpringBoardServices>* services) = 0;
};

// The backend the program uses: the simulated one when ORVANE_SIMULATED_DEVICES
// names device folders, otherwise the real one (libimobiledevice over usbmuxd).
// With ORVANE_DEMO_FALLBACK set as well, the simulated devices are a demo: the
// real backend watches usbmuxd and the demo shows only while no real device
// is attached.
std::shared_ptr<MobileDevice> createMobileDevice();
