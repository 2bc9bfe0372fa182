// Our device layer over its real backend (libimobiledevice) and the fake device:
// detection with attach and detach, the pairing states, a session.
#include "DeviceLayerFixture.h"

namespace {

TEST_F(DeviceLayer, PairsConnectsAndSeesTheDeviceLeave)
{
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    const QELDeviceConnectivityArguments arguments = m_events.connected().last();
    EXPECT_TRUE(arguments.devicePairValidated());
    EXPECT_EQ(arguments.devicePairingStatus(), 1);
    EXPECT_EQ(arguments.deviceOperatingSystemType(), 1);
    EXPECT_EQ(arguments.connectivityType(), 0);
    EXPECT_EQ(arguments.deviceName(), QStringLiteral("Test iPhone"));
    EXPECT_EQ(arguments.uniqueDeviceID(), m_device->udid());
    EXPECT_EQ(arguments.deviceInformation().deviceId(), m_device->udid());
    EXPECT_EQ(arguments.deviceInformation().iOSVersion(), QStringLiteral("16.7.2"));
    EXPECT_EQ(arguments.deviceInformation().deviceName(), QStringLiteral("Test iPhone"));
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
    // The computer paired once, through usbmuxd's pair record, and held a session.
    EXPECT_FALSE(m_mux.pairRecord(m_device->udid()).isEmpty());
    const QStringList requests = m_device->lockdownRequests();
    EXPECT_EQ(requests.count(QStringLiteral("Pair")), 1);
    EXPECT_TRUE(requests.contains(QStringLiteral("StartService com.apple.afc")));
    EXPECT_TRUE(requests.contains(QStringLiteral("StopSession")));

    m_mux.detach(m_device.get());
    ASSERT_TRUE(m_events.waitFor([](const auto&, int disconnected) { return disconnected == 1; }));
    EXPECT_FALSE(m_interface->isValidDeviceConnected());
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/")));
}

TEST_F(DeviceLayer, ConnectsAgainWhenPluggedInAgain)
{
    pairInAdvance();
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    const quint32 firstNumber = m_device->deviceId();
    m_mux.detach(m_device.get());
    ASSERT_TRUE(m_events.waitFor([](const auto&, int disconnected) { return disconnected == 1; }));
    ASSERT_TRUE(waitUntilDisconnected());
    m_mux.attach(m_device.get());
    EXPECT_NE(m_device->deviceId(), firstNumber);
    ASSERT_TRUE(m_events.waitFor([](const QList<QELDeviceConnectivityArguments>& connected, int) {
        return connected.size() == 2 && connected.last().success();
    }));
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), m_device->udid());
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
    EXPECT_EQ(m_device->lockdownRequests().count(QStringLiteral("StartService com.apple.afc")), 2);
}

TEST_F(DeviceLayer, SkipsADeviceThatAnnouncesNoClassOrVersion)
{
    FakeDevice wireless(m_device->afcRoot());
    wireless.setValue(QStringLiteral("DeviceClass"), {});
    wireless.setValue(QStringLiteral("ProductVersion"), {});
    pairInAdvance();
    startDetection();
    m_mux.attach(&wireless);
    // Notifications are handled in order: the second device's connection shows
    // that the first was skipped without an event.
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_events.connected().size(), 1);
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), m_device->udid());
    EXPECT_FALSE(wireless.lockdownRequests().contains(QStringLiteral("Pair")));
    m_mux.detach(&wireless);
}

struct PairingCase {
    const char* name;
    const char* version;
    QStringList pairAnswers;
    QStringList validateAnswers;
    // Of the connect events before the successful one: one per pairing pass; a
    // pass whose validation succeeds keeps the status of the pass before.
    QList<qint64> statuses;
};

void PrintTo(const PairingCase& c, std::ostream* os) { *os << c.name; }

class PairingStates : public DeviceLayer, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(PairingStates, ReportsEachAttemptThenConnects)
{
    const PairingCase& c = GetParam();
    m_device->setValue(QStringLiteral("ProductVersion"), QString::fromLatin1(c.version));
    m_device->scriptPairAnswers(c.pairAnswers);
    m_device->scriptValidatePairAnswers(c.validateAnswers);
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_events.failedStatuses(), c.statuses);
    EXPECT_EQ(m_events.connected().last().devicePairingStatus(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    FakeDevice, PairingStates,
    ::testing::Values(
        PairingCase{"Trusted", "16.7.2", {}, {}, {0}},
        PairingCase{"Locked", "16.7.2", {"PasswordProtected", "PasswordProtected"}, {}, {2, 2, 2}},
        PairingCase{"DialogPending", "16.7.2", {"PairingDialogResponsePending"}, {}, {3, 3}},
        PairingCase{"UserDenied", "12.5", {"UserDeniedPairing", "PairingDialogResponsePending"}, {}, {3, 3, 3}},
        PairingCase{"UntrustedBeforeIOS7", "6.1.3", {"PairingDialogResponsePending"}, {}, {2, 2}},
        PairingCase{"LockedThenPending", "15.0", {"PasswordProtected", "PairingDialogResponsePending"}, {},
                    {2, 3, 3}}),
    [](const ::testing::TestParamInfo<PairingCase>& info) { return std::string(info.param.name); });

TEST_F(DeviceLayer, SkipsADeviceOverWiFi)
{
    FakeDevice wireless(m_device->afcRoot());
    wireless.setOverNetwork(true);
    pairInAdvance();
    startDetection();
    m_mux.attach(&wireless);
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_events.connected().size(), 1);
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), m_device->udid());
    EXPECT_FALSE(wireless.lockdownRequests().contains(QStringLiteral("Pair")));
    m_mux.detach(&wireless);
}

TEST_F(DeviceLayer, AnUnknownHostIsAskedToTrustAgain)
{
    // usbmuxd still holds a pair record, but the device has forgotten this computer.
    pairInAdvance();
    const QByteArray stale = m_mux.pairRecord(m_device->udid());
    m_device = std::make_unique<FakeDevice>(m_device->afcRoot());
    m_mux.setPairRecord(m_device->udid(), stale);
    m_device->scriptPairAnswers({QStringLiteral("PairingDialogResponsePending")});
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    // Validation with the stale record answers "InvalidHostID": trust this computer.
    EXPECT_EQ(m_events.failedStatuses(), (QList<qint64>{3, 3}));
    EXPECT_NE(m_mux.pairRecord(m_device->udid()), stale);
}

TEST_F(DeviceLayer, ALockedDeviceAtTheServiceStartIsTriedAgain)
{
    pairInAdvance();
    m_device->scriptStartServiceAnswers({QStringLiteral("PasswordProtected")});
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_TRUE(m_events.failedStatuses().contains(2));
    EXPECT_EQ(m_device->lockdownRequests().count(QStringLiteral("StartService com.apple.afc")), 2);
}

} // namespace
