#include <thread>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "IPodFramework.h"
#include "MobileDevice.h"
#include "QELDeviceInterface.h"
#include "RealMobileDevice.h"

namespace {

struct LockdownCase {
    int lockdownError;
    uint32_t code;
};

class LockdownMapping : public ::testing::TestWithParam<LockdownCase> {};

TEST_P(LockdownMapping, GivesTheCodesDetectionTests)
{
    EXPECT_EQ(RealMobileDevice::fromLockdown(GetParam().lockdownError), GetParam().code)
        << GetParam().lockdownError;
}

// The raw numbers are libimobiledevice 1.3's lockdownd_error_t values.
INSTANTIATE_TEST_SUITE_P(Codes, LockdownMapping,
                         ::testing::Values(LockdownCase{0, MobileDeviceResult::kSuccess},
                                           LockdownCase{-17, MobileDeviceResult::kPasscodeLocked},
                                           LockdownCase{-18, MobileDeviceResult::kPairingDenied},
                                           LockdownCase{-19, MobileDeviceResult::kNotTrusted},
                                           LockdownCase{-21, MobileDeviceResult::kInvalidHostId},
                                           LockdownCase{-7, MobileDeviceResult::kTimedOut},
                                           LockdownCase{-8, MobileDeviceResult::kNotConnected},
                                           LockdownCase{-27,
                                                        MobileDeviceResult::kServiceUnavailable},
                                           LockdownCase{-4, MobileDeviceResult::kUndefined},
                                           LockdownCase{-256, MobileDeviceResult::kUndefined}));

// Without usbmuxd (its socket points nowhere) the real backend finds no device
// and everything ends cleanly.
class RealBackendWithoutUsbmuxd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previous = qgetenv("USBMUXD_SOCKET_ADDRESS");
        qputenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + m_dir.path() + "/no-usbmuxd").toUtf8());
    }
    void TearDown() override
    {
        if (m_previous.isEmpty())
            qunsetenv("USBMUXD_SOCKET_ADDRESS");
        else
            qputenv("USBMUXD_SOCKET_ADDRESS", m_previous);
    }

    QTemporaryDir m_dir;
    QByteArray m_previous;
};

TEST_F(RealBackendWithoutUsbmuxd, ReportsNoDevice)
{
    RealMobileDevice backend;
    EXPECT_NE(backend.connect(QStringLiteral("00008120-000A1B2C3D4E5F60")),
              MobileDeviceResult::kSuccess);
    EXPECT_FALSE(
        backend
            .copyValue(QStringLiteral("00008120-000A1B2C3D4E5F60"), QStringLiteral("DeviceClass"))
            .isValid());
    EXPECT_EQ(backend.isPaired(QStringLiteral("00008120-000A1B2C3D4E5F60")), 0);
    EXPECT_NE(backend.startSession(QStringLiteral("00008120-000A1B2C3D4E5F60")),
              MobileDeviceResult::kSuccess);
}

TEST_F(RealBackendWithoutUsbmuxd, DetectionStartsAndStops)
{
    QELDeviceInterface interface(
        std::make_shared<RealMobileDevice>(),
        std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
    interface.BeginDeviceConnectionDetect();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(interface.isValidDeviceConnected());
    interface.shutdown();
}

} // namespace
