#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>

#include <QTemporaryDir>

#include "EventRecorder.h"
#include "FakeDevice.h"
#include "FakeUsbmuxd.h"

template <auto Free> struct CFree {
    template <class P> void operator()(P* p) const noexcept
    {
        if (p)
            Free(p);
    }
};
using Device = std::unique_ptr<idevice_private, CFree<&idevice_free>>;
using Lockdown = std::unique_ptr<lockdownd_client_private, CFree<&lockdownd_client_free>>;
using Service =
    std::unique_ptr<lockdownd_service_descriptor, CFree<&lockdownd_service_descriptor_free>>;
using Afc = std::unique_ptr<afc_client_private, CFree<&afc_client_free>>;

// A fake usbmuxd with one fake device (not yet attached) whose AFC folder is a
// fresh temporary folder. A test fails when the fake saw a message it does not know.
class FakeDeviceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString afcPath(const QString& relative) const
    {
        return m_device->afcRoot() + QLatin1Char('/') + relative;
    }
    Device openDevice();
    // A lockdown connection without handshake (no QueryType, no pairing).
    Lockdown openLockdown(idevice_t device);
    // Pairs (when needed), starts the session and the AFC service: what the
    // device layer does before it reads files.
    Afc openAfc(idevice_t device, Lockdown* keep);
    // Makes the device trust this computer and usbmuxd hold the pair record,
    // without a new pairing (libimobiledevice makes two RSA keys per pairing).
    void pairInAdvance();

    QTemporaryDir m_folder;
    std::unique_ptr<FakeDevice> m_device;
    FakeUsbmuxd m_mux;
};

// libimobiledevice's device events (type and UDID), for tests that wait on
// them; subscribed for the object's life.
using DeviceEvent = std::pair<idevice_event_type, std::string>;
class DeviceEventSubscription : public EventRecorder<DeviceEvent> {
public:
    DeviceEventSubscription();
    ~DeviceEventSubscription();
    // Waits (bounded, never a fixed sleep) until `count` events arrived.
    bool waitFor(size_t count) { return waitForCount(count); }

private:
    static void callback(const idevice_event_t* event, void* self);
};
