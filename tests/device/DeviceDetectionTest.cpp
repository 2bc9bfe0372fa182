#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Clock.h"
#include "DemoFallbackMobileDevice.h"
#include "DeviceEventRecorder.h"
#include "IPodFramework.h"
#include "MobileDevice.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedMobileDevice.h"

namespace {

// Long enough for many polls, retries and debounces of the program's clock:
// in the program's nominal time, so it stays so whatever the test clock's speed.
constexpr std::chrono::seconds kQuiet{30};

void quiet() { Clock::sleepFor(kQuiet); }

// Runs the clock at another speed for one test.
class ClockScale {
public:
    explicit ClockScale(double scale)
        : m_before(Clock::scale())
    {
        Clock::setScale(scale);
    }
    ~ClockScale() { Clock::setScale(m_before); }
    ClockScale(const ClockScale&) = delete;
    ClockScale& operator=(const ClockScale&) = delete;

private:
    double m_before;
};

class DeviceDetection : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_simulator = std::make_shared<SimulatedMobileDevice>();
        m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    }

    void TearDown() override
    {
        if (m_interface)
            m_interface->shutdown();
    }

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    void start()
    {
        m_interface = std::make_unique<QELDeviceInterface>(m_simulator, m_iPods);
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
    }

    // Attaches a paired iPhone and waits for its successful connection.
    QString connectPhone(const QString& udid = QStringLiteral("phone-1"))
    {
        const QString folder = SimulatedDeviceBuilder(path(udid))
                                   .udid(udid)
                                   .afcFile(QStringLiteral("Docs/probe.txt"), "probe")
                                   .build();
        const QString device = m_simulator->attach(folder);
        EXPECT_TRUE(m_events.waitForSuccess());
        return device;
    }

    QTemporaryDir m_dir;
    DeviceEventRecorder m_events;
    std::shared_ptr<SimulatedMobileDevice> m_simulator;
    std::shared_ptr<IPodFramework> m_iPods;
    std::unique_ptr<QELDeviceInterface> m_interface;
};

// --- Pairing-status sequences ---

struct PairingCase {
    const char* name;
    const char* version;
    QStringList sequence;
    int passcodeLockedStarts;
    QStringList connectResults;
    QList<qint64> statuses; // of the events that did not succeed, in order
    bool connects;          // a successful event ends the sequence
};

void PrintTo(const PairingCase& c, std::ostream* os) { *os << c.name; }

class PairingSequence : public DeviceDetection,
                        public ::testing::WithParamInterface<PairingCase> {};

TEST_P(PairingSequence, ReportsEachAttemptAndConnects)
{
    const PairingCase& c = GetParam();
    SimulatedDeviceBuilder builder(path(QStringLiteral("phone")));
    builder.productVersion(QString::fromLatin1(c.version))
        .passcodeLockedServiceStarts(c.passcodeLockedStarts);
    if (!c.sequence.isEmpty())
        builder.pairingSequence(c.sequence);
    if (!c.connectResults.isEmpty())
        builder.connectResults(c.connectResults);
    const QString device = m_simulator->attach(builder.build());
    start();

    if (c.connects) {
        ASSERT_TRUE(m_events.waitForSuccess());
        const auto last = m_events.connected().last();
        EXPECT_EQ(last.devicePairingStatus(), 1);
        EXPECT_TRUE(last.devicePairValidated());
        EXPECT_TRUE(m_interface->isValidDeviceConnected());
    } else {
        ASSERT_TRUE(
            m_events.waitFor([&] { return m_events.connected().size() >= c.statuses.size(); }));
        quiet();
        EXPECT_FALSE(m_interface->isValidDeviceConnected());
    }
    EXPECT_EQ(m_events.pairingStatuses(), c.statuses);
    // The file service is started once per attempt.
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("startService com.apple.afc")),
              c.connects ? c.passcodeLockedStarts + 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Detection, PairingSequence,
    ::testing::Values(
        PairingCase{"PairedAtOnce", "17.2", {}, 0, {}, {}, true},
        PairingCase{"Locked",
                    "17.2",
                    {"PasscodeProtected", "PasscodeProtected", "Paired"},
                    0,
                    {},
                    {2, 2},
                    true},
        PairingCase{"UntrustedIOS6", "6.1.3", {"PairingDialogPending", "Paired"}, 0, {}, {2}, true},
        PairingCase{"UntrustedIOS8",
                    "8.4",
                    {"PairingDialogPending", "PairingDialogPending", "Paired"},
                    0,
                    {},
                    {3, 3},
                    true},
        PairingCase{"LockedThenUntrusted",
                    "12.0",
                    {"PasscodeProtected", "PairingDialogPending", "Paired"},
                    0,
                    {},
                    {2, 3},
                    true},
        // A version without "." is its whole number: iOS 10 asks for trust.
        PairingCase{"InvalidHostIOS10", "10", {"InvalidHostID", "Paired"}, 0, {}, {3}, true},
        // iOS 7 drops the connection once trusted and waits for a reconnect.
        PairingCase{
            "UntrustedIOS7Drops", "7.1.2", {"PairingDialogPending", "Paired"}, 0, {}, {3}, false},
        // A passcode lock at the service start: status 2, then a fresh attempt after 3 s.
        PairingCase{"PasscodeAtServiceStart", "17.2", {}, 1, {}, {2}, true},
        PairingCase{"PasscodeAtServiceStartTwice", "16.0", {}, 2, {}, {2, 2}, true},
        PairingCase{"ConnectFails", "17.2", {}, 0, {"Success", "Failure"}, {0}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceDetection, IOS7DropDisconnectsWithoutStartingASession)
{
    const QString device =
        m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                                .productVersion(QStringLiteral("7.0"))
                                .pairingSequence({"PairingDialogPending", "Paired"})
                                .build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return m_events.connected().size() == 1; }));
    quiet();
    const QStringList calls = m_simulator->callLog(device);
    EXPECT_EQ(calls.count(QStringLiteral("startSession")), 0);
    EXPECT_EQ(calls.last(), QStringLiteral("disconnect"));

    // Reconnecting the (now paired) device connects it.
    m_simulator->detach(device);
    m_simulator->attach(path(QStringLiteral("phone")));
    EXPECT_TRUE(m_events.waitForSuccess());
}

TEST_F(DeviceDetection, ConnectedEventCarriesTheDeviceInformation)
{
    m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                            .deviceName(QStringLiteral("Ada's iPhone"))
                            .udid(QStringLiteral("UDID-1234"))
                            .productType(QStringLiteral("iPhone5,3"))
                            .productVersion(QStringLiteral("9.3.5"))
                            .build());
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    const QELDeviceConnectivityArguments event = m_events.connected().last();
    EXPECT_EQ(event.deviceName(), QStringLiteral("Ada's iPhone"));
    EXPECT_EQ(event.uniqueDeviceID(), QStringLiteral("UDID-1234"));
    EXPECT_EQ(event.deviceOperatingSystemType(), 1);
    EXPECT_EQ(event.connectivityType(), 0);
    const QELDeviceInformation info = event.deviceInformation();
    EXPECT_EQ(info.deviceId(), QStringLiteral("UDID-1234"));
    EXPECT_EQ(info.deviceName(), QStringLiteral("Ada's iPhone"));
    EXPECT_EQ(info.iOSVersion(), QStringLiteral("9.3.5"));
    EXPECT_EQ(info.deviceType(), 15);
    EXPECT_EQ(info.deviceTypeString(), QStringLiteral("iPhone 5C"));
    EXPECT_EQ(info.deviceOperatingSystemType(), 1);
    EXPECT_EQ(m_interface->connectedDeviceOperatingSystem(), 1);
    EXPECT_EQ(m_interface->deviceInformation().deviceId(), QStringLiteral("UDID-1234"));
}

// --- Skipped devices ---

TEST_F(DeviceDetection, DeviceWithoutClassAndVersionIsSkipped)
{
    const QString device =
        m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("wifi")))
                                .value(QStringLiteral("DeviceClass"), QVariant())
                                .value(QStringLiteral("ProductVersion"), QString())
                                .build());
    start();
    m_simulator->waitForNotifications();
    quiet();
    EXPECT_TRUE(m_events.connected().isEmpty());
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("isPaired")), 0);
}

TEST_F(DeviceDetection, NetworkConnectedDeviceIsSkipped)
{
    const QString device = m_simulator->attach(
        SimulatedDeviceBuilder(path(QStringLiteral("wifi"))).overWiFi().build());
    start();
    m_simulator->waitForNotifications();
    quiet();
    EXPECT_TRUE(m_events.connected().isEmpty());
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("isPaired")), 0);
}

// --- Disconnections ---

TEST_F(DeviceDetection, UnplugGivesOneDebouncedDisconnect)
{
    start();
    const QString device = connectPhone();
    m_simulator->detach(device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    quiet();
    ASSERT_EQ(m_events.disconnected().size(), 1);
    const auto event = m_events.disconnected().first();
    EXPECT_EQ(event.connectivityType(), 1);
    EXPECT_EQ(event.deviceOperatingSystemType(), 1);
    EXPECT_FALSE(event.success());
    EXPECT_FALSE(m_interface->isValidDeviceConnected());
    EXPECT_FALSE(m_interface->cancelConnectivityDetect()); // the pollers run again

    // The next device connects.
    m_simulator->attach(path(QStringLiteral("phone-1")));
    EXPECT_TRUE(m_events.waitFor(
        [&] { return m_events.connected().size() == 2 && m_events.connected().last().success(); }));
}

TEST_F(DeviceDetection, ReplugWithinTwoSecondsIsANewConnectionWithoutADisconnect)
{
    // The replug must come within the 2 s debounce. At the suite's hundredfold
    // speed that is 20 ms, which a sanitized build can spend before the
    // arrival is even delivered; at tenfold it is 200 ms, still a quick replug.
    const ClockScale tenfold(0.1);
    start();
    const QString device = connectPhone();
    ASSERT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/probe.txt")));
    // Left and arrived again before the 2 s debounce ends: the old file
    // connection died with the cable, so the device is connected again.
    m_simulator->detach(device);
    m_simulator->attach(path(QStringLiteral("phone-1")));
    m_simulator->waitForNotifications();
    ASSERT_TRUE(m_events.waitFor(
        [&] { return m_events.connected().size() == 2 && m_events.connected().last().success(); }));
    quiet();
    EXPECT_TRUE(m_events.disconnected().isEmpty());
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
    EXPECT_EQ(m_events.connected().size(), 2);
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("startService com.apple.afc")), 2);
    EXPECT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/probe.txt")));
}

TEST_F(DeviceDetection, TwoQuickUnplugsGiveOneDisconnect)
{
    // The replug must come within the 2 s debounce. At the suite's hundredfold
    // speed that is 20 ms, which a sanitized build can spend before the
    // arrival is even delivered; at tenfold it is 200 ms, still a quick replug.
    const ClockScale tenfold(0.1);
    start();
    const QString device = connectPhone();
    m_simulator->detach(device);
    m_simulator->attach(path(QStringLiteral("phone-1")));
    ASSERT_TRUE(m_events.waitFor([&] { return m_events.connected().size() == 2; }));
    m_simulator->detach(device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    quiet();
    EXPECT_EQ(m_events.disconnected().size(), 1);
    EXPECT_FALSE(m_interface->isValidDeviceConnected());
}

TEST_F(DeviceDetection, NetworkInstanceLeavingKeepsTheUsbDevice)
{
    start();
    const QString device = connectPhone();
    // The same phone was also reachable over Wi-Fi; that instance goes away.
    m_simulator->notify(device, DeviceNotification::Left, DeviceConnectionType::Network);
    m_simulator->waitForNotifications();
    quiet();
    EXPECT_TRUE(m_events.disconnected().isEmpty());
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
    EXPECT_TRUE(m_interface->fileExistsAtPath(QStringLiteral("/Docs/probe.txt")));

    // The cable itself still counts.
    m_simulator->detach(device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
}

TEST_F(DeviceDetection, OtherDeviceIsIgnoredWhileConnected)
{
    start();
    connectPhone();
    const QString other = m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("other")))
                                                  .udid(QStringLiteral("other"))
                                                  .build());
    m_simulator->waitForNotifications();
    m_simulator->detach(other);
    m_simulator->waitForNotifications();
    quiet();
    // The arrival only set the flag: the other device was not even asked.
    EXPECT_TRUE(m_simulator->callLog(other).isEmpty());
    EXPECT_EQ(m_events.connected().size(), 1);
    EXPECT_TRUE(m_events.disconnected().isEmpty());
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
}

TEST_F(DeviceDetection, ASecondDeviceWhilePairingLeavesTheFirstAlone)
{
    const QString first = m_simulator->attach(
        SimulatedDeviceBuilder(path(QStringLiteral("first")))
            .udid(QStringLiteral("first"))
            .pairingSequence({"PairingDialogPending", "PairingDialogPending", "Paired"})
            .build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.connected().isEmpty(); }));
    const QString second =
        m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("second")))
                                .udid(QStringLiteral("second"))
                                .build());
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), first);
    quiet();
    EXPECT_EQ(m_simulator->callCount(second, QStringLiteral("startSession")), 0);
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), first);
}

// The demo in front of the real backend (here a second simulator standing in
// for usbmuxd's devices).
class DemoFallback : public DeviceDetection {
protected:
    void SetUp() override
    {
        DeviceDetection::SetUp();
        m_real = std::make_shared<SimulatedMobileDevice>();
        m_demoFolder = SimulatedDeviceBuilder(path(QStringLiteral("demo")))
                           .udid(QStringLiteral("demo"))
                           .build();
        auto demo = std::make_shared<SimulatedMobileDevice>(QStringList{m_demoFolder});
        m_interface = std::make_unique<QELDeviceInterface>(
            std::make_shared<DemoFallbackMobileDevice>(m_real, demo), m_iPods);
        m_interface->setDelegate(&m_events);
    }

    QString realPhone(const QString& udid)
    {
        return m_real->attach(SimulatedDeviceBuilder(path(udid)).udid(udid).build());
    }

    std::shared_ptr<SimulatedMobileDevice> m_real;
    QString m_demoFolder;
};

TEST_F(DemoFallback, TheDemoShowsWhileNoDeviceIsAttached)
{
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), QStringLiteral("demo"));

    // A device plugged in later replaces the demo at once.
    const QString phone = realPhone(QStringLiteral("real-1"));
    const auto arrived = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_events.waitFor([&] {
        return m_events.connected().last().success()
            && m_events.connected().last().uniqueDeviceID() == phone;
    }));
    EXPECT_LT(std::chrono::steady_clock::now() - arrived,
              Clock::scaled(std::chrono::seconds(2)) + std::chrono::seconds(1));
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), phone);
    EXPECT_EQ(m_events.disconnected().size(), 1);

    // When it leaves, the demo comes back.
    m_real->detach(phone);
    ASSERT_TRUE(m_events.waitFor(
        [&] { return m_events.connected().size() == 3 && m_events.connected().last().success(); }));
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), QStringLiteral("demo"));
}

TEST_F(DemoFallback, ADeviceAttachedAtStartIsTheOneRead)
{
    const QString phone = realPhone(QStringLiteral("real-2"));
    m_interface->BeginDeviceConnectionDetect();
    ASSERT_TRUE(m_events.waitFor([&] {
        return !m_events.connected().isEmpty() && m_events.connected().last().success()
            && m_events.connected().last().uniqueDeviceID() == phone;
    }));
    quiet();
    // The demo may have shown for the moment before usbmuxd listed the device, never after.
    EXPECT_EQ(m_events.connected().last().uniqueDeviceID(), phone);
    EXPECT_TRUE(m_interface->isValidDeviceConnected());
}

TEST_F(DeviceDetection, RetriesEndWhenTheDeviceLeaves)
{
    // A device that never starts a session.
    const QString device = m_simulator->attach(
        SimulatedDeviceBuilder(path(QStringLiteral("phone"))).sessionStartFailures(-1).build());
    start();
    ASSERT_TRUE(waitUntil(
        [&] { return m_simulator->callCount(device, QStringLiteral("startSession")) > 3; }));
    m_simulator->detach(device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    quiet();
    const int attempts = m_simulator->callCount(device, QStringLiteral("startSession"));
    quiet();
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("startSession")), attempts);
    // At most the event that gives up, never a connection.
    for (const auto& event : m_events.connected())
        EXPECT_FALSE(event.success());
}

TEST_F(DeviceDetection, PairingWaitEndsWhenTheDeviceLeaves)
{
    const QString device = m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                                                   .pairingSequence({"PasscodeProtected"})
                                                   .build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return m_events.connected().size() >= 3; }));
    m_simulator->detach(device);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    const int attempts = m_simulator->callCount(device, QStringLiteral("pair"));
    quiet();
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("pair")), attempts);
}

TEST_F(DeviceDetection, ShutdownEndsAPendingPairing)
{
    m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                            .pairingSequence({"PairingDialogPending"})
                            .build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return m_events.connected().size() >= 2; }));
    const auto started = std::chrono::steady_clock::now();
    m_interface->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    const auto count = m_events.connected().size();
    quiet();
    EXPECT_EQ(m_events.connected().size(), count);
}

TEST_F(DeviceDetection, ADeclinedTrustWaitsUntilTheUserAsksAgain)
{
    const QString device = m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                                                   .pairingSequence({"UserDenied", "Paired"})
                                                   .build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.connected().isEmpty(); }));
    quiet();
    // The dialog the user declined is not raised again on its own.
    EXPECT_EQ(m_events.pairingStatuses(), (QList<qint64>{4}));
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("pair")), 1);
    m_interface->retryPairing();
    ASSERT_TRUE(m_events.waitForSuccess());
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("pair")), 2);
}

TEST_F(DeviceDetection, ATrustedDeviceIsNeverAskedToPair)
{
    start();
    const QString device = connectPhone();
    const QStringList calls = m_simulator->callLog(device);
    EXPECT_EQ(calls.count(QStringLiteral("pair")), 0);
    // Devices of iOS 7 and later are never asked to validate a pairing.
    EXPECT_EQ(calls.count(QStringLiteral("validatePairing")), 0);
    EXPECT_EQ(calls.count(QStringLiteral("startSession")), 1);
}

TEST_F(DeviceDetection, ADeviceBelowIOS7ValidatesItsPairingBeforeTheSession)
{
    const QString device = m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone")))
                                                   .productVersion(QStringLiteral("6.1.3"))
                                                   .build());
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    const QStringList calls = m_simulator->callLog(device);
    ASSERT_EQ(calls.count(QStringLiteral("validatePairing")), 1);
    EXPECT_LT(calls.indexOf(QStringLiteral("validatePairing")),
              calls.indexOf(QStringLiteral("startSession")));
    EXPECT_EQ(calls.count(QStringLiteral("pair")), 0);
}

TEST_F(DeviceDetection, ASessionThatNeverStartsEndsWithAReason)
{
    const QString device = m_simulator->attach(
        SimulatedDeviceBuilder(path(QStringLiteral("phone"))).sessionStartFailures(-1).build());
    start();
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.connected().isEmpty(); }));
    const auto event = m_events.connected().last();
    EXPECT_FALSE(event.success());
    EXPECT_EQ(event.devicePairingStatus(), 0);
    EXPECT_EQ(event.failureReason(), QStringLiteral("DEVICECONNECTIONFAILED"));
    const int attempts = m_simulator->callCount(device, QStringLiteral("startSession"));
    EXPECT_GT(attempts, 1);
    quiet();
    EXPECT_EQ(m_simulator->callCount(device, QStringLiteral("startSession")), attempts);
    EXPECT_EQ(m_events.connected().size(), 1);
}

TEST_F(DeviceDetection, SimulatedBackendIsChosenByTheEnvironment)
{
    const QString folder = SimulatedDeviceBuilder(path(QStringLiteral("env-phone"))).build();
    qputenv("ORVANE_SIMULATED_DEVICES", folder.toUtf8());
    const auto backend = createMobileDevice();
    qunsetenv("ORVANE_SIMULATED_DEVICES");
    auto* simulated = dynamic_cast<SimulatedMobileDevice*>(backend.get());
    ASSERT_NE(simulated, nullptr);
    EXPECT_EQ(simulated->attachedDevices().size(), 1);

    QELDeviceInterface interface(backend, m_iPods);
    interface.setDelegate(&m_events);
    interface.BeginDeviceConnectionDetect();
    EXPECT_TRUE(m_events.waitForSuccess());
    interface.shutdown();
}

// --- Disk-mode iPods ---

QString makeVolume(const QString& path, bool shuffle)
{
    QDir().mkpath(path + QStringLiteral("/iPod_Control/iTunes"));
    if (shuffle) {
        QFile file(path + QStringLiteral("/iPod_Control/iTunes/iTunesSD"));
        file.open(QIODevice::WriteOnly);
        file.write("sd");
    }
    return path;
}

TEST_F(DeviceDetection, DiskModeIPodFromExtraVolumeHasBasePathWithSlash)
{
    const QString volume = makeVolume(path(QStringLiteral("CLASSIC")), false);
    m_iPods = std::make_shared<IPodFramework>(
        IPodFramework::Options{false, false, {volume + QLatin1Char('/')}});
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    const auto event = m_events.connected().last();
    EXPECT_EQ(event.mountPoint(), volume + QLatin1Char('/'));
    EXPECT_EQ(m_interface->standardDeviceBasePath(), volume + QLatin1Char('/'));
    EXPECT_TRUE(event.uniqueDeviceID().startsWith(QLatin1String("intval:")));
    EXPECT_EQ(event.deviceName(), QStringLiteral("CLASSIC"));
    EXPECT_TRUE(event.devicePairValidated());
    EXPECT_EQ(event.deviceOperatingSystemType(), 0);
    EXPECT_EQ(event.deviceInformation().deviceType(), 1);
    EXPECT_EQ(event.deviceInformation().deviceTypeString(), QStringLiteral("iPod"));
    EXPECT_EQ(m_interface->connectedDeviceOperatingSystem(), 0);
    EXPECT_TRUE(m_interface->cancelConnectivityDetect());
}

TEST_F(DeviceDetection, DiskModeIPodFromTheEnvironment)
{
    const QString volume = makeVolume(path(QStringLiteral("ENVPOD")), false);
    qputenv("ORVANE_EXTRA_VOLUMES",
            (path(QStringLiteral("missing")) + QLatin1Char(':') + volume).toUtf8());
    m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, true, {}});
    start();
    const bool found = m_events.waitForSuccess();
    qunsetenv("ORVANE_EXTRA_VOLUMES");
    ASSERT_TRUE(found);
    EXPECT_EQ(m_events.connected().last().mountPoint(), volume + QLatin1Char('/'));
}

TEST_F(DeviceDetection, ShuffleBasePathHasNoSlashAndTheLastVolumeWins)
{
    const QString first = makeVolume(path(QStringLiteral("SHUFFLE1")), true);
    const QString second = makeVolume(path(QStringLiteral("SHUFFLE2")), true);
    m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {first, second}});
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    const auto event = m_events.connected().last();
    EXPECT_EQ(event.mountPoint(), second);
    EXPECT_EQ(m_interface->standardDeviceBasePath(), second);
    EXPECT_EQ(event.deviceName(), QStringLiteral("iPod Shuffle"));
    EXPECT_EQ(event.deviceInformation().deviceType(), 5);
    EXPECT_EQ(event.deviceInformation().deviceTypeString(), QStringLiteral("iPod Shuffle"));
}

TEST_F(DeviceDetection, TwoPollersNeverReportOneDeviceTwice)
{
    const QString classic = makeVolume(path(QStringLiteral("CLASSIC")), false);
    const QString shuffle = makeVolume(path(QStringLiteral("SHUFFLE")), true);
    m_iPods =
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {classic, shuffle}});
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    quiet();
    EXPECT_EQ(m_events.connected().size(), 1);
}

TEST_F(DeviceDetection, IOSDeviceIsIgnoredOnceADiskModeIPodIsFound)
{
    const QString volume = makeVolume(path(QStringLiteral("CLASSIC")), false);
    m_iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {volume}});
    start();
    ASSERT_TRUE(m_events.waitForSuccess());
    const QString phone =
        m_simulator->attach(SimulatedDeviceBuilder(path(QStringLiteral("phone"))).build());
    m_simulator->waitForNotifications();
    quiet();
    EXPECT_EQ(m_events.connected().size(), 1);
    EXPECT_TRUE(m_simulator->callLog(phone).isEmpty());
}

TEST_F(DeviceDetection, IPodAddedLaterIsFound)
{
    start();
    quiet();
    EXPECT_TRUE(m_events.connected().isEmpty());
    m_iPods->addExtraVolume(makeVolume(path(QStringLiteral("LATE")), false));
    EXPECT_TRUE(m_events.waitForSuccess());
}

} // namespace

namespace {

struct RemovalCase {
    const char* name;
    bool shuffle;
    bool unmountOnly; // the mount point stays as an empty folder
};

void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }

class DiskModeRemoval : public DeviceDetection,
                        public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(DiskModeRemoval, TakesTheWindowBackToLookingForADevice)
{
    const RemovalCase& c = GetParam();
    const QString volume = makeVolume(path(QStringLiteral("POD")), c.shuffle);
    start();
    m_iPods->addExtraVolume(volume);
    ASSERT_TRUE(m_events.waitForSuccess());
    ASSERT_TRUE(m_interface->isValidDeviceConnected());
    if (c.unmountOnly)
        ASSERT_TRUE(QDir(volume + QStringLiteral("/iPod_Control")).removeRecursively());
    else
        m_iPods->removeExtraVolume(volume);
    ASSERT_TRUE(m_events.waitFor([&] { return !m_events.disconnected().isEmpty(); }));
    EXPECT_EQ(m_events.disconnected().size(), 1);
    EXPECT_EQ(m_events.disconnected().last().deviceOperatingSystemType(), 0);
    EXPECT_FALSE(m_interface->isValidDeviceConnected());
    EXPECT_FALSE(m_interface->fileExistsAtPath(QStringLiteral("/")));

    // Detection goes on: the iPod plugged in again is found again, and so
    // would an iOS device be.
    const QString again = makeVolume(path(QStringLiteral("POD2")), c.shuffle);
    m_iPods->addExtraVolume(again);
    ASSERT_TRUE(m_events.waitFor([&] { return m_events.connected().size() == 2; }));
    EXPECT_TRUE(m_events.connected().last().success());
}

INSTANTIATE_TEST_SUITE_P(Detection, DiskModeRemoval,
                         ::testing::Values(RemovalCase{"IPodGone", false, false},
                                           RemovalCase{"IPodUnmounted", false, true},
                                           RemovalCase{"ShuffleGone", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
