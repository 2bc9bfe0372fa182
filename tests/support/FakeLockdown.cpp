#include "FakeLockdown.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <QRandomGenerator>
#include <QUuid>

#include "FakeDevice.h"
#include "FakeWire.h"
#include "Plist.h"

namespace {

constexpr quint32 kMaxMessage = 1 << 20;
const QString kNatural = QStringLiteral("<natural>");

QString text(const QVariantMap& map, const char* key)
{
    const QVariant value = map.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QVariantMap error(const QString& request, const QString& name)
{
    return {{QStringLiteral("Request"), request}, {QStringLiteral("Error"), name}};
}

// The certificate a device shows in its sessions: self-signed on its key.
X509* serverCertificate()
{
    static X509* certificate = [] {
        X509* made = X509_new();
        X509_set_version(made, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(made), 1);
        X509_gmtime_adj(X509_getm_notBefore(made), 0);
        X509_gmtime_adj(X509_getm_notAfter(made), 60L * 60 * 24 * 365);
        X509_set_pubkey(made, FakeDevice::deviceKey());
        X509_sign(made, FakeDevice::deviceKey(), EVP_sha256());
        return made;
    }();
    return certificate;
}

QString tlsErrors()
{
    QStringList errors;
    while (const unsigned long code = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(code, text, sizeof(text));
        errors.append(QString::fromLatin1(text));
    }
    return errors.join(QStringLiteral("; "));
}

} // namespace

FakeLockdown::FakeLockdown(FakeDevice& device, FakeProtocolLog& log, QString systemBuid,
                           PortOpener openPort)
    : m_device(device)
    , m_log(log)
    , m_systemBuid(std::move(systemBuid))
    , m_openPort(std::move(openPort))
{
}

bool FakeLockdown::readExact(int fd, void* buffer, size_t length)
{
    if (!m_ssl)
        return FakeWire::readExact(fd, buffer, length);
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        const int n = SSL_read(m_ssl, out + done, static_cast<int>(length - done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool FakeLockdown::writeAll(int fd, const QByteArray& bytes)
{
    if (!m_ssl)
        return FakeWire::writeAll(fd, bytes);
    return SSL_write(m_ssl, bytes.constData(), static_cast<int>(bytes.size())) == bytes.size();
}

bool FakeLockdown::startTls(int fd)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context)
        return false;
    // Below iOS 10 a device speaks TLS 1.0 at most; from iOS 10 on it
    // refuses anything below TLS 1.2.
    if (m_device.majorVersion() < 10) {
        SSL_CTX_set_security_level(context, 0);
        SSL_CTX_set_cipher_list(context, "DEFAULT:@SECLEVEL=0");
        SSL_CTX_set_min_proto_version(context, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(context, TLS1_VERSION);
    } else {
        SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    }
    SSL_CTX_use_certificate(context, serverCertificate());
    SSL_CTX_use_PrivateKey(context, FakeDevice::deviceKey());
    m_ssl = SSL_new(context);
    SSL_CTX_free(context); // the session keeps its own reference
    SSL_set_fd(m_ssl, fd);
    if (SSL_accept(m_ssl) != 1) {
        m_log.fail(
            QStringLiteral("lockdownd: the session's TLS did not start (device of iOS %1): %2")
                .arg(m_device.majorVersion())
                .arg(tlsErrors()));
        SSL_free(m_ssl);
        m_ssl = nullptr;
        return false;
    }
    m_device.recordSessionTls(QString::fromLatin1(SSL_get_version(m_ssl)));
    return true;
}

void FakeLockdown::stopTls()
{
    if (!m_ssl)
        return;
    // The client closes its TLS with a close_notify and does not wait for
    // one back, so the device reads it and sends none: the connection goes
    // on in plain text from there.
    char byte = 0;
    const int read = SSL_read(m_ssl, &byte, 1);
    if (read > 0 || SSL_get_error(m_ssl, read) != SSL_ERROR_ZERO_RETURN)
        m_log.fail(QStringLiteral("lockdownd: the session's TLS did not end with a close_notify"));
    SSL_set_quiet_shutdown(m_ssl, 1);
    SSL_free(m_ssl);
    m_ssl = nullptr;
}

void FakeLockdown::serve(int fd)
{
    struct EndTls {
        FakeLockdown* self;
        ~EndTls()
        {
            if (self->m_ssl)
                SSL_free(self->m_ssl);
            self->m_ssl = nullptr;
        }
    } endTls{this};
    for (;;) {
        unsigned char prefix[4];
        if (!readExact(fd, prefix, sizeof(prefix)))
            return;
        const quint32 length = (quint32(prefix[0]) << 24) | (quint32(prefix[1]) << 16)
            | (quint32(prefix[2]) << 8) | quint32(prefix[3]);
        if (length == 0 || length > kMaxMessage) {
            m_log.fail(QStringLiteral("lockdownd: message length %1").arg(length));
            return;
        }
        QByteArray body(static_cast<qsizetype>(length), Qt::Uninitialized);
        if (!readExact(fd, body.data(), length)) {
            m_log.fail(QStringLiteral("lockdownd: message cut short"));
            return;
        }
        if (m_device.silent())
            continue;
        const QVariant parsed = Plist::parse(body);
        if (parsed.typeId() != QMetaType::QVariantMap
            || text(parsed.toMap(), "Request").isEmpty()) {
            m_log.fail(QStringLiteral("lockdownd: not a request dictionary"));
            return;
        }
        bool keepGoing = true;
        const QVariantMap reply = answer(parsed.toMap(), &keepGoing);
        if (!keepGoing)
            return;
        if (!send(fd, reply))
            return;
        if (m_startTls) {
            m_startTls = false;
            if (m_device.closesDuringTls())
                return;
            if (!startTls(fd))
                return;
        }
        if (m_stopTls) {
            m_stopTls = false;
            stopTls();
        }
    }
}

bool FakeLockdown::send(int fd, const QVariantMap& answer)
{
    const QByteArray body = Plist::serialize(answer, Plist::Format::Xml);
    const quint32 length = static_cast<quint32>(body.size());
    const char prefix[4] = {char(length >> 24), char(length >> 16), char(length >> 8),
                            char(length)};
    return writeAll(fd, QByteArray(prefix, sizeof(prefix)) + body);
}

QVariantMap FakeLockdown::answer(const QVariantMap& request, bool* keepGoing)
{
    const QString verb = text(request, "Request");
    m_device.recordLockdownRequest(verb == QLatin1String("GetValue")
                                           && !text(request, "Key").isEmpty()
                                       ? verb + QLatin1Char(' ') + text(request, "Key")
                                       : verb);
    if (verb == QLatin1String("QueryType"))
        return {{QStringLiteral("Request"), verb},
                {QStringLiteral("Type"), QStringLiteral("com.apple.mobile.lockdown")}};
    if (verb == QLatin1String("GetValue"))
        return getValue(request);
    if (verb == QLatin1String("ValidatePair") && m_device.majorVersion() >= 11)
        return error(verb, QStringLiteral("InvalidRequest"));
    if (verb == QLatin1String("Pair") || verb == QLatin1String("ValidatePair"))
        return pair(verb, request, keepGoing);
    if (verb == QLatin1String("StartSession"))
        return startSession(request, keepGoing);
    if (verb == QLatin1String("StopSession")) {
        if (m_sessionId.isEmpty() || text(request, "SessionID") != m_sessionId)
            return error(verb, QStringLiteral("InvalidSessionID"));
        m_sessionId.clear();
        m_stopTls = true;
        return {{QStringLiteral("Request"), verb}};
    }
    if (verb == QLatin1String("StartService"))
        return startService(request, keepGoing);
    if (verb == QLatin1String("Goodbye"))
        return {{QStringLiteral("Request"), verb},
                {QStringLiteral("Result"), QStringLiteral("Success")}};
    m_log.fail(QStringLiteral("lockdownd: unknown request \"%1\"").arg(verb));
    *keepGoing = false;
    return {};
}

QVariantMap FakeLockdown::getValue(const QVariantMap& request)
{
    const QString verb = QStringLiteral("GetValue");
    const QString domain = text(request, "Domain");
    const QString key = text(request, "Key");
    // Values of a named domain are kept as "domain:key".
    const QString prefix = domain.isEmpty() ? QString() : domain + QLatin1Char(':');
    const QVariantMap values = m_device.values();
    QVariantMap reply{{QStringLiteral("Request"), verb}};
    if (!domain.isEmpty())
        reply.insert(QStringLiteral("Domain"), domain);
    if (key.isEmpty()) {
        QVariantMap all;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            const bool inDomain = prefix.isEmpty() ? !it.key().contains(QLatin1Char(':'))
                                                   : it.key().startsWith(prefix);
            if (inDomain)
                all.insert(it.key().mid(prefix.size()), it.value());
        }
        reply.insert(QStringLiteral("Value"), all);
        return reply;
    }
    reply.insert(QStringLiteral("Key"), key);
    const auto found = values.constFind(prefix + key);
    if (found == values.cend()) {
        reply.insert(QStringLiteral("Error"), QStringLiteral("MissingValue"));
        return reply;
    }
    reply.insert(QStringLiteral("Value"), found.value());
    return reply;
}

QVariantMap FakeLockdown::pair(const QString& verb, const QVariantMap& request, bool* keepGoing)
{
    const QVariantMap record = request.value(QStringLiteral("PairRecord")).toMap();
    const QString hostId = text(record, "HostID");
    const QByteArray deviceCertificate =
        record.value(QStringLiteral("DeviceCertificate")).toByteArray();
    if (hostId.isEmpty() || deviceCertificate.isEmpty()
        || record.value(QStringLiteral("HostCertificate")).toByteArray().isEmpty()
        || record.value(QStringLiteral("RootCertificate")).toByteArray().isEmpty()
        || text(request, "ProtocolVersion").isEmpty()) {
        m_log.fail(QStringLiteral("lockdownd: %1 without a complete pair record").arg(verb));
        *keepGoing = false;
        return {};
    }
    if (record.contains(QStringLiteral("HostPrivateKey"))
        || record.contains(QStringLiteral("RootPrivateKey")))
        m_log.fail(
            QStringLiteral("lockdownd: %1 sent the host's private keys to the device").arg(verb));
    if (!FakeDevice::certificateHoldsPublicKey(deviceCertificate))
        m_log.fail(
            QStringLiteral("lockdownd: %1 with a device certificate not made on the device's key")
                .arg(verb));

    if (verb == QLatin1String("Pair"))
        m_device.recordPairHostId(hostId);
    QString scripted = m_device.takePairAnswer(verb);
    if (verb == QLatin1String("Pair") && m_device.locked())
        scripted = QStringLiteral("PasswordProtected");
    QString outcome = scripted;
    if (scripted == kNatural) {
        if (verb == QLatin1String("Pair"))
            outcome = QString();
        else
            outcome = m_device.trustsHost(hostId) ? QString() : QStringLiteral("InvalidHostID");
    }
    if (!outcome.isEmpty())
        return error(verb, outcome);
    if (verb == QLatin1String("Pair")) {
        m_device.trustHost(hostId);
        QByteArray escrow(32, Qt::Uninitialized);
        for (char& byte : escrow)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        return {{QStringLiteral("Request"), verb}, {QStringLiteral("EscrowBag"), escrow}};
    }
    return {{QStringLiteral("Request"), verb}};
}

QVariantMap FakeLockdown::startSession(const QVariantMap& request, bool* keepGoing)
{
    const QString verb = QStringLiteral("StartSession");
    const QString hostId = text(request, "HostID");
    if (hostId.isEmpty()) {
        m_log.fail(QStringLiteral("lockdownd: StartSession without HostID"));
        *keepGoing = false;
        return {};
    }
    if (request.contains(QStringLiteral("SystemBUID"))
        && text(request, "SystemBUID") != m_systemBuid)
        m_log.fail(
            QStringLiteral("lockdownd: StartSession with a SystemBUID usbmuxd never gave out"));
    if (!m_sessionId.isEmpty())
        return error(verb, QStringLiteral("SessionActive"));
    if (!m_device.trustsHost(hostId))
        return error(verb, QStringLiteral("InvalidHostID"));
    m_sessionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    m_startTls = true;
    return {{QStringLiteral("Request"), verb},
            {QStringLiteral("SessionID"), m_sessionId},
            {QStringLiteral("EnableSessionSSL"), true}};
}

QVariantMap FakeLockdown::startService(const QVariantMap& request, bool* keepGoing)
{
    const QString verb = QStringLiteral("StartService");
    const QString service = text(request, "Service");
    if (service.isEmpty()) {
        m_log.fail(QStringLiteral("lockdownd: StartService without Service"));
        *keepGoing = false;
        return {};
    }
    m_device.recordLockdownRequest(verb + QLatin1Char(' ') + service);
    if (m_sessionId.isEmpty())
        return error(verb, QStringLiteral("SessionInactive"));
    QString scripted = m_device.takeStartServiceAnswer();
    if (scripted.isEmpty() && m_device.locked())
        scripted = QStringLiteral("PasswordProtected");
    if (!scripted.isEmpty()) {
        QVariantMap reply = error(verb, scripted);
        reply.insert(QStringLiteral("Service"), service);
        return reply;
    }
    if (service != QLatin1String("com.apple.afc")
        && service != QLatin1String("com.apple.mobile.installation_proxy")
        && service != QLatin1String("com.apple.springboardservices")) {
        QVariantMap reply = error(verb, QStringLiteral("InvalidService"));
        reply.insert(QStringLiteral("Service"), service);
        return reply;
    }
    const quint16 port = m_openPort(service);
    return {{QStringLiteral("Request"), verb},
            {QStringLiteral("Service"), service},
            {QStringLiteral("Port"), qint64(port)},
            {QStringLiteral("EnableServiceSSL"), false}};
}
