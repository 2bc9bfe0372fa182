#include <algorithm>
#include <string>
#include <vector>

#include <usbmuxd.h>

#include "FakeDeviceFixture.h"
#include "Plist.h"

namespace {

std::vector<std::string> listedDevices()
{
    char** list = nullptr;
    int count = 0;
    std::vector<std::string> out;
    if (idevice_get_device_list(&list, &count) == IDEVICE_E_SUCCESS && list) {
        for (int i = 0; i < count; ++i)
            out.emplace_back(list[i]);
        idevice_device_list_free(list);
    }
    return out;
}

bool contains(const std::vector<std::string>& list, const QString& udid)
{
    return std::find(list.begin(), list.end(), udid.toStdString()) != list.end();
}

class Usbmuxd : public FakeDeviceFixture {};

TEST_F(Usbmuxd, ListsOnlyAttachedDevices)
{
    EXPECT_FALSE(contains(listedDevices(), m_device->udid()));
    m_mux.attach(m_device.get());
    EXPECT_TRUE(contains(listedDevices(), m_device->udid()));
    m_mux.detach(m_device.get());
    EXPECT_FALSE(contains(listedDevices(), m_device->udid()));
    EXPECT_TRUE(m_mux.requests().contains(QStringLiteral("ListDevices")));
}

TEST_F(Usbmuxd, ReportsAttachAndDetachToSubscribers)
{
    FakeDevice second(m_folder.path());
    m_mux.attach(&second); // present before the subscription: announced on Listen
    DeviceEventSubscription recorder;
    ASSERT_TRUE(recorder.waitFor(1));
    m_mux.attach(m_device.get());
    ASSERT_TRUE(recorder.waitFor(2));
    m_mux.detach(m_device.get());
    ASSERT_TRUE(recorder.waitFor(3));
    m_mux.detach(&second);
    ASSERT_TRUE(recorder.waitFor(4));

    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], std::make_pair(IDEVICE_DEVICE_ADD, second.udid().toStdString()));
    EXPECT_EQ(events[1], std::make_pair(IDEVICE_DEVICE_ADD, m_device->udid().toStdString()));
    EXPECT_EQ(events[2], std::make_pair(IDEVICE_DEVICE_REMOVE, m_device->udid().toStdString()));
    EXPECT_EQ(events[3], std::make_pair(IDEVICE_DEVICE_REMOVE, second.udid().toStdString()));
    EXPECT_TRUE(m_mux.requests().contains(QStringLiteral("Listen")));
}

TEST_F(Usbmuxd, AnnouncesAWiFiDeviceAsANetworkDevice)
{
    m_device->setOverNetwork(true);
    DeviceEventSubscription recorder;
    m_mux.attach(m_device.get());
    ASSERT_TRUE(recorder.waitFor(1));
    idevice_info_t* list = nullptr;
    int count = 0;
    ASSERT_EQ(idevice_get_device_list_extended(&list, &count), IDEVICE_E_SUCCESS);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(QString::fromUtf8(list[0]->udid), m_device->udid());
    EXPECT_EQ(list[0]->conn_type, CONNECTION_NETWORK);
    idevice_device_list_extended_free(list);
    m_mux.detach(m_device.get());
    ASSERT_TRUE(recorder.waitFor(2));
}

TEST_F(Usbmuxd, ConnectsOnlyToAttachedDevicesAndOpenPorts)
{
    m_mux.attach(m_device.get());
    Device device = openDevice();
    ASSERT_TRUE(device);
    idevice_connection_t connection = nullptr;
    // Nothing listens on an arbitrary port of the device.
    EXPECT_NE(idevice_connect(device.get(), 1234, &connection), IDEVICE_E_SUCCESS);
    ASSERT_EQ(idevice_connect(device.get(), 62078, &connection), IDEVICE_E_SUCCESS);
    idevice_disconnect(connection);

    m_mux.detach(m_device.get());
    connection = nullptr;
    EXPECT_NE(idevice_connect(device.get(), 62078, &connection), IDEVICE_E_SUCCESS);
}

TEST_F(Usbmuxd, KeepsPairRecordsAndTheSystemBuid)
{
    m_mux.attach(m_device.get());
    const QByteArray record =
        Plist::serialize(QVariantMap{{"HostID", QStringLiteral("HOST")}}, Plist::Format::Binary);
    const std::string udid = m_device->udid().toStdString();
    char* data = nullptr;
    uint32_t size = 0;
    EXPECT_NE(usbmuxd_read_pair_record(udid.c_str(), &data, &size), 0); // none yet
    EXPECT_EQ(usbmuxd_save_pair_record_with_device_id(udid.c_str(), m_device->deviceId(),
                                                      record.constData(),
                                                      static_cast<uint32_t>(record.size())),
              0);
    ASSERT_EQ(usbmuxd_read_pair_record(udid.c_str(), &data, &size), 0);
    EXPECT_EQ(QByteArray(data, static_cast<qsizetype>(size)), record);
    free(data);
    EXPECT_EQ(usbmuxd_delete_pair_record(udid.c_str()), 0);
    EXPECT_TRUE(m_mux.pairRecord(m_device->udid()).isEmpty());

    char* buid = nullptr;
    ASSERT_EQ(usbmuxd_read_buid(&buid), 0);
    EXPECT_EQ(QString::fromUtf8(buid), m_mux.systemBuid());
    free(buid);
}

} // namespace
