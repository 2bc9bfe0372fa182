// Our device layer over its real backend (libimobiledevice) and the fake device:
// detection with attach and detach, the pairing states, a session.
#include "Clock.h"
#include "DeviceLayerFixture.h"
#include "Plist.h"

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

// The state the device and the computer are in when the device is plugged in.
enum class State { Trusted, DialogPendingTwice, Denied, LockedForAWhile, NoRecordOnHost };

struct GenerationCase {
    const char* name;
    const char* version;
    State state;
};

void PrintTo(const GenerationCase& c, std::ostream* os) { *os << c.name; }

class DeviceGenerations : public DeviceLayer,
                          public ::testing::WithParamInterface<GenerationCase> {};

QString hostIdOf(const QByteArray& record)
{
    return Plist::parse(record).toMap().value(QStringLiteral("HostID")).toString();
}

// Every generation in every state, through the unmodified library: the
// statuses the window shows, how often the computer asks the device to pair,
// and that it never makes a second host identity.
TEST_P(DeviceGenerations, PairAsTheDeviceDecidesAndConnect)
{
    const GenerationCase& c = GetParam();
    const int major = QString::fromLatin1(c.version).section(QLatin1Char('.'), 0, 0).toInt();
    const qint64 untrusted = major >= 7 ? 3 : 2;
    m_device->setValue(QStringLiteral("ProductVersion"), QString::fromLatin1(c.version));
    QList<qint64> statuses;
    int pairs = 0;
    switch (c.state) {
    case State::Trusted:
        pairInAdvance();
        break;
    case State::DialogPendingTwice:
        m_device->scriptPairAnswers({QStringLiteral("PairingDialogResponsePending"),
                                     QStringLiteral("PairingDialogResponsePending")});
        statuses = {untrusted, untrusted};
        pairs = 3;
        break;
    case State::Denied:
        m_device->scriptPairAnswers({QStringLiteral("UserDeniedPairing")});
        statuses = {4};
        pairs = 2;
        break;
    case State::LockedForAWhile:
        pairInAdvance();
        m_device->lockFor(std::chrono::seconds(7));
        break;
    case State::NoRecordOnHost:
        // The device would take any computer; the host has no record of it.
        pairs = 1;
        break;
    }
    const QString heldHostId = hostIdOf(m_mux.pairRecord(m_device->udid()));
    startDetection();
    m_mux.attach(m_device.get());
    if (c.state == State::Denied) {
        ASSERT_TRUE(
            m_events.waitFor([](const auto& connected, int) { return !connected.isEmpty(); }));
        EXPECT_EQ(m_events.connected().last().devicePairingStatus(), 4);
        m_interface->retryPairing();
    }
    ASSERT_TRUE(m_events.waitForSuccess());
    const QELDeviceConnectivityArguments last = m_events.connected().last();
    EXPECT_EQ(last.devicePairingStatus(), 1);
    if (c.state == State::LockedForAWhile) {
        // The passcode page until the device is unlocked, then the read.
        const QList<qint64> failed = m_events.failedStatuses();
        ASSERT_FALSE(failed.isEmpty());
        for (qint64 status : failed)
            EXPECT_EQ(status, 2);
    } else {
        EXPECT_EQ(m_events.failedStatuses(), statuses);
    }
    const QStringList requests = m_device->lockdownRequests();
    EXPECT_EQ(requests.count(QStringLiteral("Pair")), pairs);
    EXPECT_EQ(requests.count(QStringLiteral("ValidatePair")) > 0, major < 7)
        << requests.join(' ').toStdString();
    // One identity: the one usbmuxd held, or the one made for the first Pair.
    const QStringList offered = m_device->pairHostIds();
    for (const QString& hostId : offered)
        EXPECT_EQ(hostId, offered.first());
    const QString savedHostId = hostIdOf(m_mux.pairRecord(m_device->udid()));
    if (!heldHostId.isEmpty())
        EXPECT_EQ(savedHostId, heldHostId);
    else
        EXPECT_EQ(savedHostId, offered.value(0));
    // The session ran over the TLS the device speaks.
    ASSERT_FALSE(m_device->sessionTlsVersions().isEmpty());
    for (const QString& tls : m_device->sessionTlsVersions()) {
        if (major >= 10)
            EXPECT_TRUE(tls == QLatin1String("TLSv1.2") || tls == QLatin1String("TLSv1.3"))
                << tls.toStdString();
        else
            EXPECT_EQ(tls, QStringLiteral("TLSv1"));
    }
}

std::vector<GenerationCase> generationCases()
{
    static const std::pair<const char*, const char*> generations[] = {
        {"iOS6", "6.1.3"}, {"iOS10", "10.3.3"}, {"iOS11", "11.4.1"}, {"iOS17", "17.2.1"}};
    static const std::pair<const char*, State> states[] = {
        {"Trusted", State::Trusted},
        {"DialogPendingTwice", State::DialogPendingTwice},
        {"Denied", State::Denied},
        {"LockedForAWhile", State::LockedForAWhile},
        {"NoRecordOnHost", State::NoRecordOnHost}};
    static std::vector<std::string> names;
    std::vector<GenerationCase> cases;
    names.reserve(std::size(generations) * std::size(states));
    for (const auto& [generation, version] : generations)
        for (const auto& [stateName, state] : states) {
            names.push_back(std::string(generation) + stateName);
            cases.push_back({names.back().c_str(), version, state});
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(FakeDevice, DeviceGenerations, ::testing::ValuesIn(generationCases()),
                         [](const ::testing::TestParamInfo<GenerationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DeviceLayer, AUsbmuxdStartedLaterIsFound)
{
    pairInAdvance();
    // The program starts while usbmuxd does not run yet.
    m_mux.stop();
    startDetection();
    Clock::sleepFor(std::chrono::seconds(5));
    ASSERT_TRUE(m_mux.start());
    m_mux.attach(m_device.get());
    const auto attached = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_events.waitForSuccess());
    // libusbmuxd looks for the socket again every second or so.
    EXPECT_LT(std::chrono::steady_clock::now() - attached, std::chrono::seconds(3));
}

TEST_F(DeviceLayer, AWaitForTrustEndsWhenTheDeviceIsUnplugged)
{
    m_device->scriptPairAnswers(QStringList(1000, QStringLiteral("PairingDialogResponsePending")));
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitFor([](const auto& connected, int) { return connected.size() >= 2; }));
    m_mux.detach(m_device.get());
    ASSERT_TRUE(m_events.waitFor([](const auto&, int disconnected) { return disconnected == 1; }));
    const int asked = m_device->lockdownRequests().count(QStringLiteral("Pair"));
    Clock::sleepFor(std::chrono::seconds(10));
    EXPECT_EQ(m_device->lockdownRequests().count(QStringLiteral("Pair")), asked);
    EXPECT_FALSE(m_interface->isValidDeviceConnected());
}

struct BadInputCase {
    const char* name;
    std::function<void(FakeDevice&, FakeUsbmuxd&)> arrange;
};

void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class BadInput : public DeviceLayer,
                 public ::testing::WithParamInterface<BadInputCase> {};

// A device or usbmuxd that answers badly ends in a clear state: connected
// after all, or given up with a reason, never asked in a tight loop.
TEST_P(BadInput, EndsInAClearState)
{
    pairInAdvance();
    GetParam().arrange(*m_device, m_mux);
    startDetection();
    m_mux.attach(m_device.get());
    ASSERT_TRUE(m_events.waitFor([](const auto& connected, int) {
        return !connected.isEmpty()
            && (connected.last().success() || !connected.last().failureReason().isEmpty());
    }));
    Clock::sleepFor(std::chrono::seconds(10));
    const QStringList requests = m_device->lockdownRequests();
    // Bounded: every retry waits, and retries end.
    EXPECT_LE(requests.count(QStringLiteral("StartSession")), 12);
    EXPECT_LE(requests.count(QStringLiteral("Pair")), 1);
    m_mux.log().clear();
}

INSTANTIATE_TEST_SUITE_P(
    FakeDevice, BadInput,
    ::testing::Values(
        BadInputCase{"DamagedPairRecord",
                     [](FakeDevice& device, FakeUsbmuxd& mux) {
                         mux.setPairRecord(
                             device.udid(),
                             QByteArray("<?xml version=\"1.0\"?><plist><dict><key>HostID"));
                     }},
        BadInputCase{"RecordWithoutKeys",
                     [](FakeDevice& device, FakeUsbmuxd& mux) {
                         QVariantMap record = Plist::parse(mux.pairRecord(device.udid())).toMap();
                         record.remove(QStringLiteral("RootPrivateKey"));
                         mux.setPairRecord(device.udid(), Plist::serialize(record));
                     }},
        BadInputCase{"ClosesDuringTls",
                     [](FakeDevice& device, FakeUsbmuxd&) { device.setClosesDuringTls(true); }}),
    [](const ::testing::TestParamInfo<BadInputCase>& info) {
        return std::string(info.param.name);
    });

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
    EXPECT_EQ(m_events.failedStatuses(), (QList<qint64>{3}));
    // Paired again with the identity usbmuxd held, not a new one.
    EXPECT_EQ(m_device->lockdownRequests().count(QStringLiteral("Pair")), 2);
    for (const QString& hostId : m_device->pairHostIds())
        EXPECT_EQ(hostId, hostIdOf(stale));
    EXPECT_EQ(hostIdOf(m_mux.pairRecord(m_device->udid())), hostIdOf(stale));
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
