#include <plist/plist.h>

#include "FakeDeviceFixture.h"
#include "Plist.h"

namespace {

QVariant valueOf(lockdownd_client_t client, const char* key, lockdownd_error_t* rc)
{
    plist_t node = nullptr;
    *rc = lockdownd_get_value(client, nullptr, key, &node);
    const QVariant value = node ? Plist::fromNode(node) : QVariant();
    plist_free(node);
    return value;
}

class Lockdownd : public FakeDeviceFixture {
protected:
    void SetUp() override
    {
        FakeDeviceFixture::SetUp();
        m_mux.attach(m_device.get());
    }
};

TEST_F(Lockdownd, HandshakePairsOnceAndStartsAPlainSession)
{
    Device device = openDevice();
    ASSERT_TRUE(device);
    {
        lockdownd_client_t raw = nullptr;
        ASSERT_EQ(lockdownd_client_new_with_handshake(device.get(), &raw, "orvane-test"),
                  LOCKDOWN_E_SUCCESS);
        Lockdown client(raw);
    }
    // The host's pair record went to usbmuxd, with the device's key in its certificate.
    const QVariantMap record = Plist::parse(m_mux.pairRecord(m_device->udid())).toMap();
    const QString hostId = record.value("HostID").toString();
    ASSERT_FALSE(hostId.isEmpty());
    EXPECT_TRUE(m_device->trustsHost(hostId));
    EXPECT_TRUE(
        FakeDevice::certificateHoldsPublicKey(record.value("DeviceCertificate").toByteArray()));
    EXPECT_EQ(record.value("SystemBUID").toString(), m_mux.systemBuid());
    EXPECT_FALSE(record.value("HostPrivateKey").toByteArray().isEmpty());

    // A second handshake finds the record and does not pair again.
    lockdownd_client_t raw = nullptr;
    ASSERT_EQ(lockdownd_client_new_with_handshake(device.get(), &raw, "orvane-test"),
              LOCKDOWN_E_SUCCESS);
    Lockdown client(raw);
    const QStringList requests = m_device->lockdownRequests();
    EXPECT_EQ(requests.count(QStringLiteral("Pair")), 1);
    EXPECT_EQ(requests.count(QStringLiteral("StartSession")), 2);
    EXPECT_TRUE(requests.contains(QStringLiteral("QueryType")));
}

TEST_F(Lockdownd, AnswersTheValuesTheDeviceLayerReads)
{
    m_device->setValue(QStringLiteral("ProductType"), QStringLiteral("iPad4,5"));
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    ASSERT_TRUE(client);
    const std::pair<const char*, QString> cases[] = {
        {"DeviceClass", QStringLiteral("iPhone")},     {"ProductVersion", QStringLiteral("16.7.2")},
        {"DeviceName", QStringLiteral("Test iPhone")}, {"UniqueDeviceID", m_device->udid()},
        {"ProductType", QStringLiteral("iPad4,5")},
    };
    for (const auto& [key, expected] : cases) {
        SCOPED_TRACE(key);
        lockdownd_error_t rc = LOCKDOWN_E_UNKNOWN_ERROR;
        EXPECT_EQ(valueOf(client.get(), key, &rc).toString(), expected);
        EXPECT_EQ(rc, LOCKDOWN_E_SUCCESS);
    }
    char* type = nullptr;
    EXPECT_EQ(lockdownd_query_type(client.get(), &type), LOCKDOWN_E_SUCCESS);
    EXPECT_STREQ(type, "com.apple.mobile.lockdown");
    free(type);
}

TEST_F(Lockdownd, AMissingValueIsAnErrorWithoutValue)
{
    // A device reached over Wi-Fi announces neither of these.
    m_device->setValue(QStringLiteral("DeviceClass"), {});
    m_device->setValue(QStringLiteral("ProductVersion"), QString());
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    lockdownd_error_t rc = LOCKDOWN_E_SUCCESS;
    EXPECT_FALSE(valueOf(client.get(), "DeviceClass", &rc).isValid());
    EXPECT_EQ(rc, LOCKDOWN_E_MISSING_VALUE);
    EXPECT_EQ(valueOf(client.get(), "ProductVersion", &rc).toString(), QString());
    EXPECT_EQ(rc, LOCKDOWN_E_SUCCESS);
}

struct PairCase {
    const char* name;
    QStringList pairAnswers;
    QStringList validateAnswers;
    lockdownd_error_t pair;
    lockdownd_error_t validate;
};

class Pairing : public Lockdownd,
                public ::testing::WithParamInterface<PairCase> {};

// The answers a device gives while it is locked, while the trust dialog is up,
// after the user declined, and when it does not know the host; and libimobiledevice's codes for
// them.
TEST_P(Pairing, MapsTheDeviceAnswerToLockdownCodes)
{
    const PairCase& c = GetParam();
    // A generation that still knows ValidatePair.
    m_device->setValue(QStringLiteral("ProductVersion"), QStringLiteral("10.3.3"));
    m_device->scriptPairAnswers(c.pairAnswers);
    m_device->scriptValidatePairAnswers(c.validateAnswers);
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    ASSERT_TRUE(client);
    EXPECT_EQ(lockdownd_pair(client.get(), nullptr), c.pair);
    EXPECT_EQ(lockdownd_validate_pair(client.get(), nullptr), c.validate);
}

INSTANTIATE_TEST_SUITE_P(
    Lockdownd, Pairing,
    ::testing::Values(PairCase{"Success", {}, {}, LOCKDOWN_E_SUCCESS, LOCKDOWN_E_SUCCESS},
                      PairCase{"PasswordProtected",
                               {"PasswordProtected"},
                               {},
                               LOCKDOWN_E_PASSWORD_PROTECTED,
                               LOCKDOWN_E_INVALID_HOST_ID},
                      PairCase{"DialogPending",
                               {"PairingDialogResponsePending"},
                               {},
                               LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING,
                               LOCKDOWN_E_INVALID_HOST_ID},
                      PairCase{"UserDenied",
                               {"UserDeniedPairing"},
                               {},
                               LOCKDOWN_E_USER_DENIED_PAIRING,
                               LOCKDOWN_E_INVALID_HOST_ID},
                      PairCase{"ValidateLocked",
                               {},
                               {"PasswordProtected"},
                               LOCKDOWN_E_SUCCESS,
                               LOCKDOWN_E_PASSWORD_PROTECTED},
                      PairCase{"ValidateUnknownHost",
                               {},
                               {"InvalidHostID"},
                               LOCKDOWN_E_SUCCESS,
                               LOCKDOWN_E_INVALID_HOST_ID}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST_F(Lockdownd, PairingSucceedsOnceTheUserTrusts)
{
    m_device->setValue(QStringLiteral("ProductVersion"), QStringLiteral("10.3.3"));
    m_device->scriptPairAnswers(
        {QStringLiteral("PasswordProtected"), QStringLiteral("PairingDialogResponsePending")});
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    EXPECT_EQ(lockdownd_pair(client.get(), nullptr), LOCKDOWN_E_PASSWORD_PROTECTED);
    EXPECT_EQ(lockdownd_pair(client.get(), nullptr), LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING);
    EXPECT_TRUE(m_mux.pairRecord(m_device->udid()).isEmpty());
    EXPECT_EQ(lockdownd_pair(client.get(), nullptr), LOCKDOWN_E_SUCCESS);
    EXPECT_FALSE(m_mux.pairRecord(m_device->udid()).isEmpty());
    EXPECT_EQ(lockdownd_validate_pair(client.get(), nullptr), LOCKDOWN_E_SUCCESS);
}

struct Generation {
    const char* name;
    const char* version;
    bool knowsValidatePair;
    bool tls12;
};

void PrintTo(const Generation& g, std::ostream* os) { *os << g.name; }

class Generations : public Lockdownd,
                    public ::testing::WithParamInterface<Generation> {};

// What each generation of device answers through the unmodified library: a
// session needs a trusted host and runs over TLS of the device's versions;
// ValidatePair is a request only older devices know.
TEST_P(Generations, AnswerSessionsAndValidationAsTheirGeneration)
{
    const Generation& g = GetParam();
    m_device->setValue(QStringLiteral("ProductVersion"), QString::fromLatin1(g.version));
    Device device = openDevice();
    {
        Lockdown client = openLockdown(device.get());
        EXPECT_EQ(lockdownd_start_session(client.get(), "00000000-0000-0000-0000-000000000000",
                                          nullptr, nullptr),
                  LOCKDOWN_E_INVALID_HOST_ID);
        ASSERT_EQ(lockdownd_pair(client.get(), nullptr), LOCKDOWN_E_SUCCESS);
        EXPECT_EQ(lockdownd_validate_pair(client.get(), nullptr) == LOCKDOWN_E_SUCCESS,
                  g.knowsValidatePair);
    }
    // A client that knows the device's version (the handshake's) offers the
    // TLS the device speaks.
    lockdownd_client_t raw = nullptr;
    ASSERT_EQ(lockdownd_client_new_with_handshake(device.get(), &raw, "orvane-test"),
              LOCKDOWN_E_SUCCESS);
    Lockdown client(raw);
    lockdownd_service_descriptor_t service = nullptr;
    EXPECT_EQ(lockdownd_start_service(client.get(), "com.apple.afc", &service), LOCKDOWN_E_SUCCESS);
    Service owned(service);
    // The device answered inside the session, so its TLS had started.
    ASSERT_EQ(m_device->sessionTlsVersions().size(), 1);
    const QString tls = m_device->sessionTlsVersions().first();
    if (g.tls12)
        EXPECT_TRUE(tls == QLatin1String("TLSv1.2") || tls == QLatin1String("TLSv1.3"))
            << tls.toStdString();
    else
        EXPECT_EQ(tls, QStringLiteral("TLSv1"));
    client.reset();

    // A client made without the version (on a device handle that never had a
    // handshake) caps TLS at 1.0, which devices from iOS 10 on refuse.
    Device fresh = openDevice();
    Lockdown plain = openLockdown(fresh.get());
    const QString hostId =
        Plist::parse(m_mux.pairRecord(m_device->udid())).toMap().value("HostID").toString();
    const lockdownd_error_t rc =
        lockdownd_start_session(plain.get(), hostId.toUtf8().constData(), nullptr, nullptr);
    EXPECT_EQ(rc == LOCKDOWN_E_SUCCESS, !g.tls12) << rc;
    if (g.tls12) {
        ASSERT_EQ(m_mux.failures().size(), 1);
        EXPECT_TRUE(m_mux.failures().first().contains(QStringLiteral("TLS")));
        m_mux.log().clear();
    }
}

INSTANTIATE_TEST_SUITE_P(Lockdownd, Generations,
                         ::testing::Values(Generation{"iOS6", "6.1.3", true, false},
                                           Generation{"iOS10", "10.3.3", true, true},
                                           Generation{"iOS11", "11.4.1", false, true},
                                           Generation{"iOS17", "17.2.1", false, true}),
                         [](const ::testing::TestParamInfo<Generation>& info) {
                             return std::string(info.param.name);
                         });

struct ServiceCase {
    const char* name;
    const char* service;
    QStringList answers;
    lockdownd_error_t expected;
};

class StartService : public Lockdownd,
                     public ::testing::WithParamInterface<ServiceCase> {};

TEST_P(StartService, AnswersOrRefusesTheService)
{
    const ServiceCase& c = GetParam();
    pairInAdvance();
    Device device = openDevice();
    lockdownd_client_t raw = nullptr;
    ASSERT_EQ(lockdownd_client_new_with_handshake(device.get(), &raw, "orvane-test"),
              LOCKDOWN_E_SUCCESS);
    Lockdown client(raw);
    m_device->scriptStartServiceAnswers(c.answers);
    lockdownd_service_descriptor_t service = nullptr;
    EXPECT_EQ(lockdownd_start_service(client.get(), c.service, &service), c.expected);
    Service owned(service);
    EXPECT_EQ(service != nullptr, c.expected == LOCKDOWN_E_SUCCESS);
    if (service) {
        EXPECT_EQ(service->ssl_enabled, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lockdownd, StartService,
    ::testing::Values(
        ServiceCase{"Afc", "com.apple.afc", {}, LOCKDOWN_E_SUCCESS},
        ServiceCase{
            "Locked", "com.apple.afc", {"PasswordProtected"}, LOCKDOWN_E_PASSWORD_PROTECTED},
        ServiceCase{"Unknown", "com.example.nothing", {}, LOCKDOWN_E_INVALID_SERVICE}),
    [](const ::testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

TEST_F(Lockdownd, ServiceNeedsASession)
{
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    lockdownd_service_descriptor_t service = nullptr;
    EXPECT_NE(lockdownd_start_service(client.get(), "com.apple.afc", &service), LOCKDOWN_E_SUCCESS);
    EXPECT_EQ(service, nullptr);
}

TEST_F(Lockdownd, FailsLoudlyOnARequestItDoesNotKnow)
{
    Device device = openDevice();
    Lockdown client = openLockdown(device.get());
    EXPECT_NE(lockdownd_enter_recovery(client.get()), LOCKDOWN_E_SUCCESS);
    ASSERT_EQ(m_mux.failures().size(), 1);
    EXPECT_TRUE(m_mux.failures().first().contains(QStringLiteral("EnterRecovery")));
    m_mux.log().clear();
}

} // namespace
