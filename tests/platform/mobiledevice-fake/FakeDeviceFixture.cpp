#include "FakeDeviceFixture.h"

#include <chrono>

#include <QDir>

#include "Plist.h"

void FakeDeviceFixture::SetUp()
{
    ASSERT_TRUE(m_folder.isValid());
    ASSERT_TRUE(QDir().mkpath(m_folder.path() + QStringLiteral("/afc")));
    m_device = std::make_unique<FakeDevice>(m_folder.path() + QStringLiteral("/afc"));
    // Before any libimobiledevice call: start() points USBMUXD_SOCKET_ADDRESS at the fake.
    ASSERT_TRUE(m_mux.start());
}

void FakeDeviceFixture::TearDown()
{
    m_mux.stop();
    EXPECT_TRUE(m_mux.failures().isEmpty())
        << m_mux.failures().join(QLatin1Char('\n')).toStdString();
}

void FakeDeviceFixture::pairInAdvance()
{
    // Every fake device of a run has the same key, so one pairing serves them all.
    static QByteArray record;
    if (record.isEmpty()) {
        FakeDevice first(m_device->afcRoot());
        m_mux.attach(&first);
        idevice_t device = nullptr;
        ASSERT_EQ(idevice_new(&device, first.udid().toUtf8().constData()), IDEVICE_E_SUCCESS);
        Device owned(device);
        Lockdown client = openLockdown(device);
        ASSERT_EQ(lockdownd_pair(client.get(), nullptr), LOCKDOWN_E_SUCCESS);
        client.reset();
        record = m_mux.pairRecord(first.udid());
        m_mux.detach(&first);
    }
    m_mux.setPairRecord(m_device->udid(), record);
    m_device->trustHost(Plist::parse(record).toMap().value(QStringLiteral("HostID")).toString());
}

Device FakeDeviceFixture::openDevice()
{
    idevice_t device = nullptr;
    EXPECT_EQ(idevice_new(&device, m_device->udid().toUtf8().constData()), IDEVICE_E_SUCCESS);
    return Device(device);
}

Lockdown FakeDeviceFixture::openLockdown(idevice_t device)
{
    lockdownd_client_t client = nullptr;
    EXPECT_EQ(lockdownd_client_new(device, &client, "orvane-test"), LOCKDOWN_E_SUCCESS);
    return Lockdown(client);
}

Afc FakeDeviceFixture::openAfc(idevice_t device, Lockdown* keep)
{
    lockdownd_client_t client = nullptr;
    EXPECT_EQ(lockdownd_client_new_with_handshake(device, &client, "orvane-test"),
              LOCKDOWN_E_SUCCESS);
    keep->reset(client);
    if (!client)
        return {};
    lockdownd_service_descriptor_t service = nullptr;
    EXPECT_EQ(lockdownd_start_service(client, "com.apple.afc", &service), LOCKDOWN_E_SUCCESS);
    Service owned(service);
    if (!service)
        return {};
    afc_client_t afc = nullptr;
    EXPECT_EQ(afc_client_new(device, service, &afc), AFC_E_SUCCESS);
    return Afc(afc);
}

DeviceEventSubscription::DeviceEventSubscription()
{
    idevice_event_subscribe(&DeviceEventSubscription::callback, this);
}

DeviceEventSubscription::~DeviceEventSubscription() { idevice_event_unsubscribe(); }

void DeviceEventSubscription::callback(const idevice_event_t* event, void* self)
{
    static_cast<DeviceEventSubscription*>(self)->record(
        {event->event, event->udid ? event->udid : ""});
}
