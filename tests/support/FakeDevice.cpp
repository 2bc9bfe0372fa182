#include "FakeDevice.h"

#include <atomic>

#include <openssl/bio.h>
#include <openssl/encoder.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <QRandomGenerator>

#include "Clock.h"

namespace {

std::atomic<quint32> g_nextDeviceId{1};

} // namespace

// The device's RSA key, made once per test run: libimobiledevice builds the
// pairing certificates on its public half.
EVP_PKEY* FakeDevice::deviceKey()
{
    static EVP_PKEY* key = EVP_RSA_gen(2048);
    return key;
}

namespace {

// The public key as lockdownd hands it out: PKCS#1 "RSA PUBLIC KEY" PEM.
QByteArray makePublicKeyPem()
{
    EVP_PKEY* key = FakeDevice::deviceKey();
    if (!key)
        return {};
    QByteArray pem;
    OSSL_ENCODER_CTX* ctx = OSSL_ENCODER_CTX_new_for_pkey(key, OSSL_KEYMGMT_SELECT_PUBLIC_KEY,
                                                          "PEM", "type-specific", nullptr);
    unsigned char* data = nullptr;
    size_t length = 0;
    if (ctx && OSSL_ENCODER_to_data(ctx, &data, &length) == 1) {
        pem = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        OPENSSL_free(data);
    }
    OSSL_ENCODER_CTX_free(ctx);
    return pem;
}

QString normalisedDir(const QString& devicePath)
{
    QString path = devicePath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path;
}

} // namespace

FakeDevice::FakeDevice(const QString& afcRoot)
    : m_deviceId(g_nextDeviceId++)
    , m_afcRoot(afcRoot)
{
    // Distinct ids per device: libusbmuxd remembers the devices it has seen.
    const quint64 random = QRandomGenerator::global()->generate64();
    m_udid = QStringLiteral("%1%2")
                 .arg(m_deviceId.load(), 8, 16, QLatin1Char('0'))
                 .arg(random, 32, 16, QLatin1Char('0'));
    m_values = {
        {QStringLiteral("DeviceClass"), QStringLiteral("iPhone")},
        {QStringLiteral("ProductVersion"), QStringLiteral("16.7.2")},
        {QStringLiteral("BuildVersion"), QStringLiteral("20H115")},
        {QStringLiteral("ProductType"), QStringLiteral("iPhone10,4")},
        {QStringLiteral("ProductName"), QStringLiteral("iPhone OS")},
        {QStringLiteral("DeviceName"), QStringLiteral("Test iPhone")},
        {QStringLiteral("UniqueDeviceID"), m_udid},
        {QStringLiteral("WiFiAddress"), QStringLiteral("a4:c3:f0:11:22:33")},
        {QStringLiteral("DevicePublicKey"), publicKeyPem()},
    };
}

void FakeDevice::takeNewDeviceId() { m_deviceId = g_nextDeviceId++; }

QByteArray FakeDevice::publicKeyPem()
{
    static const QByteArray pem = makePublicKeyPem();
    return pem;
}

bool FakeDevice::certificateHoldsPublicKey(const QByteArray& certificatePem)
{
    BIO* bio = BIO_new_mem_buf(certificatePem.constData(), static_cast<int>(certificatePem.size()));
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    const bool same =
        certificate && deviceKey() && EVP_PKEY_eq(X509_get0_pubkey(certificate), deviceKey()) == 1;
    X509_free(certificate);
    return same;
}

void FakeDevice::setValue(const QString& key, const QVariant& value)
{
    std::lock_guard lock(m_mutex);
    if (value.isValid())
        m_values.insert(key, value);
    else
        m_values.remove(key);
}

QVariant FakeDevice::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.value(key);
}

QVariantMap FakeDevice::values() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

void FakeDevice::scriptPairAnswers(const QStringList& answers)
{
    std::lock_guard lock(m_mutex);
    m_pairAnswers = answers;
}

void FakeDevice::scriptValidatePairAnswers(const QStringList& answers)
{
    std::lock_guard lock(m_mutex);
    m_validateAnswers = answers;
}

void FakeDevice::scriptStartServiceAnswers(const QStringList& answers)
{
    std::lock_guard lock(m_mutex);
    m_startServiceAnswers = answers;
}

void FakeDevice::trustHost(const QString& hostId)
{
    std::lock_guard lock(m_mutex);
    m_trustedHosts.insert(hostId);
}

bool FakeDevice::trustsHost(const QString& hostId) const
{
    std::lock_guard lock(m_mutex);
    return m_trustedHosts.contains(hostId);
}

void FakeDevice::forgetHosts()
{
    std::lock_guard lock(m_mutex);
    m_trustedHosts.clear();
}

void FakeDevice::lockFor(std::chrono::milliseconds nominal)
{
    std::lock_guard lock(m_mutex);
    m_lockDuration = nominal;
    m_lockedUntil = {};
}

bool FakeDevice::locked()
{
    std::lock_guard lock(m_mutex);
    if (m_lockDuration.count() > 0) {
        // The time runs from the first request the lock refuses.
        m_lockedUntil = std::chrono::steady_clock::now() + Clock::scaled(m_lockDuration);
        m_lockDuration = {};
        return true;
    }
    return std::chrono::steady_clock::now() < m_lockedUntil;
}

int FakeDevice::majorVersion() const
{
    return value(QStringLiteral("ProductVersion"))
        .toString()
        .section(QLatin1Char('.'), 0, 0)
        .toInt();
}

QStringList FakeDevice::sessionTlsVersions() const
{
    std::lock_guard lock(m_mutex);
    return m_sessionTls;
}

void FakeDevice::recordSessionTls(const QString& version)
{
    std::lock_guard lock(m_mutex);
    m_sessionTls.append(version);
}

QStringList FakeDevice::pairHostIds() const
{
    std::lock_guard lock(m_mutex);
    return m_pairHostIds;
}

void FakeDevice::recordPairHostId(const QString& hostId)
{
    std::lock_guard lock(m_mutex);
    m_pairHostIds.append(hostId);
}

void FakeDevice::addDirectoryEntry(const QString& devicePath, const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_extraEntries[normalisedDir(devicePath)].append(name);
}

QStringList FakeDevice::extraDirectoryEntries(const QString& devicePath) const
{
    std::lock_guard lock(m_mutex);
    return m_extraEntries.value(normalisedDir(devicePath));
}

void FakeDevice::addFileInfo(const QString& devicePath, const QString& key, const QString& value)
{
    std::lock_guard lock(m_mutex);
    m_extraInfo[normalisedDir(devicePath)].append({key, value});
}

QList<QPair<QString, QString>> FakeDevice::extraFileInfo(const QString& devicePath) const
{
    std::lock_guard lock(m_mutex);
    return m_extraInfo.value(normalisedDir(devicePath));
}

QStringList FakeDevice::lockdownRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void FakeDevice::recordLockdownRequest(const QString& request)
{
    std::lock_guard lock(m_mutex);
    m_requests.append(request);
}

QString FakeDevice::takePairAnswer(const QString& request)
{
    std::lock_guard lock(m_mutex);
    QStringList& script = request == QLatin1String("Pair") ? m_pairAnswers : m_validateAnswers;
    if (script.isEmpty())
        return QStringLiteral("<natural>");
    return script.takeFirst();
}

QString FakeDevice::takeStartServiceAnswer()
{
    std::lock_guard lock(m_mutex);
    return m_startServiceAnswers.isEmpty() ? QString() : m_startServiceAnswers.takeFirst();
}

void FakeDevice::setApps(const QVariantMap& apps)
{
    std::lock_guard lock(m_mutex);
    m_apps = apps;
}

QVariantMap FakeDevice::apps() const
{
    std::lock_guard lock(m_mutex);
    return m_apps;
}

void FakeDevice::setIcon(const QString& bundleId, const QByteArray& png)
{
    std::lock_guard lock(m_mutex);
    m_icons.insert(bundleId, png);
}

QByteArray FakeDevice::icon(const QString& bundleId) const
{
    std::lock_guard lock(m_mutex);
    return m_icons.value(bundleId);
}

void FakeDevice::scriptAppServiceAnswers(const QStringList& answers)
{
    std::lock_guard lock(m_mutex);
    m_appServiceAnswers = answers;
}

QString FakeDevice::takeAppServiceAnswer()
{
    std::lock_guard lock(m_mutex);
    return m_appServiceAnswers.isEmpty() ? QStringLiteral("Complete")
                                         : m_appServiceAnswers.takeFirst();
}

QStringList FakeDevice::appServiceRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_appServiceRequests;
}

void FakeDevice::recordAppServiceRequest(const QString& request)
{
    std::lock_guard lock(m_mutex);
    m_appServiceRequests.append(request);
}
