#include "FakeLockdown.h"

#include "FakeDevice.h"
#include "FakeWire.h"
#include "Plist.h"

#include <QRandomGenerator>
#include <QUuid>

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

} // namespace

FakeLockdown::FakeLockdown(FakeDevice& device, FakeProtocolLog& log, QString systemBuid, PortOpener openPort)
    : m_device(device)
    , m_log(log)
    , m_systemBuid(std::move(systemBuid))
    , m_openPort(std::move(openPort))
{
}

void FakeLockdown::serve(int fd)
{
    for (;;) {
        unsigned char prefix[4];
        if (!FakeWire::readExact(fd, prefix, sizeof(prefix)))
            return;
        const quint32 length = (quint32(prefix[0]) << 24) | (quint32(prefix[1]) << 16) | (quint32(prefix[2]) << 8)
                               | quint32(prefix[3]);
        if (length == 0 || length > kMaxMessage) {
            m_log.fail(QStringLiteral("lockdownd: message length %1").arg(length));
            return;
        }
        QByteArray body(static_cast<qsizetype>(length), Qt::Uninitialized);
        if (!FakeWire::readExact(fd, body.data(), length)) {
            m_log.fail(QStringLiteral("lockdownd: message cut short"));
            return;
        }
        const QVariant parsed = Plist::parse(body);
        if (parsed.typeId() != QMetaType::QVariantMap || text(parsed.toMap(), "Request").isEmpty()) {
            m_log.fail(QStringLiteral("lockdownd: not a request dictionary"));
            return;
        }
        bool keepGoing = true;
        const QVariantMap reply = answer(parsed.toMap(), &keepGoing);
        if (!keepGoing)
            return;
        if (!send(fd, reply))
            return;
    }
}

bool FakeLockdown::send(int fd, const QVariantMap& answer)
{
    const QByteArray body = Plist::serialize(answer, Plist::Format::Xml);
    const quint32 length = static_cast<quint32>(body.size());
    const char prefix[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    return FakeWire::writeAll(fd, prefix, sizeof(prefix)) && FakeWire::writeAll(fd, body);
}

QVariantMap FakeLockdown::answer(const QVariantMap& request, bool* keepGoing)
{
    const QString verb = text(request, "Request");
    m_device.recordLockdownRequest(verb == QLatin1String("GetValue") && !text(request, "Key").isEmpty()
                                       ? verb + QLatin1Char(' ') + text(request, "Key")
                                       : verb);
    if (verb == QLatin1String("QueryType"))
        return {{QStringLiteral("Request"), verb}, {QStringLiteral("Type"), QStringLiteral("com.apple.mobile.lockdown")}};
    if (verb == QLatin1String("GetValue"))
        return getValue(request);
    if (verb == QLatin1String("Pair") || verb == QLatin1String("ValidatePair"))
        return pair(verb, request, keepGoing);
    if (verb == QLatin1String("StartSession"))
        return startSession(request, keepGoing);
    if (verb == QLatin1String("StopSession")) {
        if (m_sessionId.isEmpty() || text(request, "SessionID") != m_sessionId)
            return error(verb, QStringLiteral("InvalidSessionID"));
        m_sessionId.clear();
        return {{QStringLiteral("Request"), verb}};
    }
    if (verb == QLatin1String("StartService"))
        return startService(request, keepGoing);
    if (verb == QLatin1String("Goodbye"))
        return {{QStringLiteral("Request"), verb}, {QStringLiteral("Result"), QStringLiteral("Success")}};
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
            const bool inDomain = prefix.isEmpty() ? !it.key().contains(QLatin1Char(':')) : it.key().startsWith(prefix);
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
    const QByteArray deviceCertificate = record.value(QStringLiteral("DeviceCertificate")).toByteArray();
    if (hostId.isEmpty() || deviceCertificate.isEmpty()
        || record.value(QStringLiteral("HostCertificate")).toByteArray().isEmpty()
        || record.value(QStringLiteral("RootCertificate")).toByteArray().isEmpty()
        || text(request, "ProtocolVersion").isEmpty()) {
        m_log.fail(QStringLiteral("lockdownd: %1 without a complete pair record").arg(verb));
        *keepGoing = false;
        return {};
    }
    if (record.contains(QStringLiteral("HostPrivateKey")) || record.contains(QStringLiteral("RootPrivateKey")))
        m_log.fail(QStringLiteral("lockdownd: %1 sent the host's private keys to the device").arg(verb));
    if (!FakeDevice::certificateHoldsPublicKey(deviceCertificate))
        m_log.fail(QStringLiteral("lockdownd: %1 with a device certificate not made on the device's key").arg(verb));

    const QString scripted = m_device.takePairAnswer(verb);
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
    if (request.contains(QStringLiteral("SystemBUID")) && text(request, "SystemBUID") != m_systemBuid)
        m_log.fail(QStringLiteral("lockdownd: StartSession with a SystemBUID usbmuxd never gave out"));
    if (!m_sessionId.isEmpty())
        return error(verb, QStringLiteral("SessionActive"));
    if (!m_device.trustsHost(hostId))
        return error(verb, QStringLiteral("InvalidHostID"));
    m_sessionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return {{QStringLiteral("Request"), verb},
            {QStringLiteral("SessionID"), m_sessionId},
            {QStringLiteral("EnableSessionSSL"), false}};
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
    const QString scripted = m_device.takeStartServiceAnswer();
    if (!scripted.isEmpty()) {
        QVariantMap reply = error(verb, scripted);
        reply.insert(QStringLiteral("Service"), service);
        return reply;
    }
    if (service != QLatin1String("com.apple.afc") && service != QLatin1String("com.apple.mobile.installation_proxy")
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
