#include "FakeUsbmuxd.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUuid>

#include "FakeAfc.h"
#include "FakeAppServices.h"
#include "FakeDevice.h"
#include "FakeLockdown.h"
#include "Plist.h"

namespace {

constexpr quint32 kHeaderSize = 16;
constexpr quint32 kProtocolPlist = 1;
constexpr quint32 kMessagePlist = 8;
constexpr quint32 kMaxMessage = 1 << 20;
constexpr quint16 kLockdownPort = 62078;

// usbmuxd's result numbers.
constexpr quint32 kResultOk = 0;
constexpr quint32 kResultBadDevice = 2;
constexpr quint32 kResultConnectionRefused = 3;

QString stringField(const QVariantMap& message, const char* key)
{
    const QVariant value = message.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool uintField(const QVariantMap& message, const char* key, quint64* out)
{
    const QVariant value = message.value(QLatin1String(key));
    if (value.typeId() != QMetaType::LongLong)
        return false;
    *out = static_cast<quint64>(value.toLongLong());
    return true;
}

} // namespace

struct FakeUsbmuxd::Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> finished{false};
    bool listening = false; // guarded by FakeUsbmuxd::m_mutex
    quint32 deviceId = 0;   // the device this connection was handed to; guarded likewise
};

FakeUsbmuxd::FakeUsbmuxd()
{
    // One system BUID per test run, like one computer: pair records made by one
    // fake stay valid for the next.
    static const QString buid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    m_buid = buid;
}

FakeUsbmuxd::~FakeUsbmuxd() { stop(); }

QString FakeUsbmuxd::socketPath()
{
    // A short path: a Unix socket's name has a limit of about 100 bytes.
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/orvane-mux-XXXXXX"));
    return folder.path() + QStringLiteral("/usbmuxd");
}

bool FakeUsbmuxd::start()
{
    // Both ends write TLS records with plain write(): a peer that hung up
    // must give an error, not SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const QByteArray path = socketPath().toUtf8();
    ::unlink(path.constData());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<size_t>(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
        || ::listen(m_listenFd, 16) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    qputenv("USBMUXD_SOCKET_ADDRESS", "UNIX:" + path);
    m_running = true;
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void FakeUsbmuxd::stop()
{
    if (!m_running)
        return;
    m_running = false;
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_acceptThread.join();
    ::close(m_listenFd);
    m_listenFd = -1;
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& connection : m_connections)
            ::shutdown(connection->fd, SHUT_RDWR);
        connections.swap(m_connections);
    }
    for (const auto& connection : connections) {
        connection->thread.join();
        ::close(connection->fd);
    }
    ::unlink(socketPath().toUtf8().constData());
}

void FakeUsbmuxd::acceptLoop()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        std::lock_guard lock(m_mutex);
        reapFinishedLocked();
        m_connections.push_back(connection);
        connection->thread = std::thread([this, connection] {
            serve(connection);
            // Hang up at once, as a device does; the descriptor is closed when reaped.
            ::shutdown(connection->fd, SHUT_RDWR);
            connection->finished = true;
        });
    }
}

void FakeUsbmuxd::reapFinishedLocked()
{
    auto done = [](const std::shared_ptr<Connection>& connection) {
        if (!connection->finished)
            return false;
        connection->thread.join();
        ::close(connection->fd);
        return true;
    };
    m_connections.erase(std::remove_if(m_connections.begin(), m_connections.end(), done),
                        m_connections.end());
}

bool FakeUsbmuxd::sendPlist(int fd, quint32 tag, const QVariantMap& message)
{
    const QByteArray body = Plist::serialize(message, Plist::Format::Xml);
    QByteArray packet;
    FakeWire::appendLe32(packet, kHeaderSize + static_cast<quint32>(body.size()));
    FakeWire::appendLe32(packet, kProtocolPlist);
    FakeWire::appendLe32(packet, kMessagePlist);
    FakeWire::appendLe32(packet, tag);
    packet.append(body);
    return FakeWire::writeAll(fd, packet);
}

bool FakeUsbmuxd::sendResult(int fd, quint32 tag, quint32 number)
{
    return sendPlist(fd, tag,
                     {{QStringLiteral("MessageType"), QStringLiteral("Result")},
                      {QStringLiteral("Number"), qint64(number)}});
}

QVariantMap FakeUsbmuxd::attachedMessage(const FakeDevice* device) const
{
    QVariantMap properties{
        {QStringLiteral("DeviceID"), qint64(device->deviceId())},
        {QStringLiteral("SerialNumber"), device->udid()},
    };
    if (device->overNetwork()) {
        // A BSD sockaddr_in of 192.168.1.20, as usbmuxd passes it on.
        QByteArray address(16, '\0');
        address[0] = 16;
        address[1] = 2;
        address[4] = char(192);
        address[5] = char(168);
        address[6] = 1;
        address[7] = 20;
        properties.insert(QStringLiteral("ConnectionType"), QStringLiteral("Network"));
        properties.insert(QStringLiteral("NetworkAddress"), address);
        properties.insert(QStringLiteral("EscapedFullServiceName"),
                          device->udid() + QStringLiteral("._apple-mobdev2._tcp.local."));
        properties.insert(QStringLiteral("InterfaceIndex"), qint64(2));
    } else {
        properties.insert(QStringLiteral("ConnectionSpeed"), qint64(480000000));
        properties.insert(QStringLiteral("ConnectionType"), QStringLiteral("USB"));
        properties.insert(QStringLiteral("LocationID"), qint64(0x14100000 + device->deviceId()));
        properties.insert(QStringLiteral("ProductID"), qint64(0x12a8));
        properties.insert(QStringLiteral("USBSerialNumber"), device->udid());
    }
    return {{QStringLiteral("MessageType"), QStringLiteral("Attached")},
            {QStringLiteral("DeviceID"), qint64(device->deviceId())},
            {QStringLiteral("Properties"), properties}};
}

void FakeUsbmuxd::sendEventLocked(const QVariantMap& message)
{
    for (const auto& connection : m_connections)
        if (connection->listening && !connection->finished)
            sendPlist(connection->fd, 0, message);
}

void FakeUsbmuxd::attach(FakeDevice* device)
{
    std::lock_guard lock(m_mutex);
    if (std::find(m_attached.begin(), m_attached.end(), device) != m_attached.end())
        return;
    if (std::find(m_everAttached.begin(), m_everAttached.end(), device) != m_everAttached.end())
        device->takeNewDeviceId();
    else
        m_everAttached.push_back(device);
    m_attached.push_back(device);
    sendEventLocked(attachedMessage(device));
}

void FakeUsbmuxd::detach(FakeDevice* device)
{
    std::lock_guard lock(m_mutex);
    auto it = std::find(m_attached.begin(), m_attached.end(), device);
    if (it == m_attached.end())
        return;
    m_attached.erase(it);
    for (const auto& connection : m_connections)
        if (connection->deviceId == device->deviceId())
            ::shutdown(connection->fd, SHUT_RDWR);
    for (auto port = m_servicePorts.begin(); port != m_servicePorts.end();)
        port =
            port.key().first == device->deviceId() ? m_servicePorts.erase(port) : std::next(port);
    sendEventLocked({{QStringLiteral("MessageType"), QStringLiteral("Detached")},
                     {QStringLiteral("DeviceID"), qint64(device->deviceId())}});
}

QByteArray FakeUsbmuxd::pairRecord(const QString& udid) const
{
    std::lock_guard lock(m_mutex);
    return m_pairRecords.value(udid);
}

void FakeUsbmuxd::setPairRecord(const QString& udid, const QByteArray& record)
{
    std::lock_guard lock(m_mutex);
    if (record.isEmpty())
        m_pairRecords.remove(udid);
    else
        m_pairRecords.insert(udid, record);
}

QStringList FakeUsbmuxd::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

quint16 FakeUsbmuxd::openServicePort(FakeDevice* device, const QString& service)
{
    std::lock_guard lock(m_mutex);
    const quint16 port = m_nextServicePort++;
    if (m_nextServicePort == 0)
        m_nextServicePort = 49152;
    m_servicePorts.insert({device->deviceId(), port}, service);
    return port;
}

void FakeUsbmuxd::serve(const std::shared_ptr<Connection>& connection)
{
    const int fd = connection->fd;
    for (;;) {
        char header[kHeaderSize];
        if (!FakeWire::readExact(fd, header, sizeof(header)))
            return; // the client hung up
        const quint32 length = FakeWire::le32(header);
        const quint32 version = FakeWire::le32(header + 4);
        const quint32 type = FakeWire::le32(header + 8);
        const quint32 tag = FakeWire::le32(header + 12);
        if (version != kProtocolPlist || type != kMessagePlist || length < kHeaderSize
            || length > kMaxMessage) {
            m_log.fail(
                QStringLiteral("usbmuxd: unexpected packet header (length %1, version %2, type %3)")
                    .arg(length)
                    .arg(version)
                    .arg(type));
            return;
        }
        QByteArray body(static_cast<qsizetype>(length - kHeaderSize), Qt::Uninitialized);
        if (!FakeWire::readExact(fd, body.data(), static_cast<size_t>(body.size()))) {
            m_log.fail(QStringLiteral("usbmuxd: packet cut short"));
            return;
        }
        QString parseError;
        const QVariant parsed = Plist::parse(body, &parseError);
        const QVariantMap message = parsed.toMap();
        const QString kind = stringField(message, "MessageType");
        if (parsed.typeId() != QMetaType::QVariantMap || kind.isEmpty()) {
            m_log.fail(QStringLiteral("usbmuxd: not a message dictionary (%1)").arg(parseError));
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(kind);
        }

        if (kind == QLatin1String("ListDevices")) {
            QVariantList list;
            {
                std::lock_guard lock(m_mutex);
                for (const FakeDevice* device : m_attached)
                    list.append(attachedMessage(device));
            }
            if (!sendPlist(fd, tag, {{QStringLiteral("DeviceList"), list}}))
                return;
        } else if (kind == QLatin1String("Listen")) {
            std::lock_guard lock(m_mutex);
            if (!sendResult(fd, tag, kResultOk))
                return;
            for (const FakeDevice* device : m_attached)
                sendPlist(fd, 0, attachedMessage(device));
            connection->listening = true;
            // A listening client sends nothing more; anything it does send is
            // read, and failed, by the loop.
        } else if (kind == QLatin1String("ReadBUID")) {
            if (!sendPlist(fd, tag, {{QStringLiteral("BUID"), m_buid}}))
                return;
        } else if (kind == QLatin1String("ReadPairRecord")) {
            const QString udid = stringField(message, "PairRecordID");
            if (udid.isEmpty()) {
                m_log.fail(QStringLiteral("usbmuxd: ReadPairRecord without PairRecordID"));
                return;
            }
            const QByteArray record = pairRecord(udid);
            const bool sent = record.isEmpty()
                ? sendResult(fd, tag, ENOENT)
                : sendPlist(fd, tag, {{QStringLiteral("PairRecordData"), record}});
            if (!sent)
                return;
        } else if (kind == QLatin1String("SavePairRecord")) {
            const QString udid = stringField(message, "PairRecordID");
            const QByteArray record = message.value(QStringLiteral("PairRecordData")).toByteArray();
            if (udid.isEmpty() || record.isEmpty()
                || message.value(QStringLiteral("PairRecordData")).typeId()
                    != QMetaType::QByteArray) {
                m_log.fail(QStringLiteral(
                    "usbmuxd: SavePairRecord without PairRecordID or PairRecordData"));
                return;
            }
            setPairRecord(udid, record);
            if (!sendResult(fd, tag, kResultOk))
                return;
        } else if (kind == QLatin1String("DeletePairRecord")) {
            const QString udid = stringField(message, "PairRecordID");
            if (udid.isEmpty()) {
                m_log.fail(QStringLiteral("usbmuxd: DeletePairRecord without PairRecordID"));
                return;
            }
            setPairRecord(udid, {});
            if (!sendResult(fd, tag, kResultOk))
                return;
        } else if (kind == QLatin1String("Connect")) {
            quint64 deviceId = 0;
            quint64 networkPort = 0;
            if (!uintField(message, "DeviceID", &deviceId)
                || !uintField(message, "PortNumber", &networkPort) || networkPort > 0xffff) {
                m_log.fail(QStringLiteral("usbmuxd: Connect without DeviceID or PortNumber"));
                return;
            }
            // libusbmuxd sends the port in network byte order.
            const quint16 port = ntohs(static_cast<uint16_t>(networkPort));
            FakeDevice* device = nullptr;
            QString service;
            {
                std::lock_guard lock(m_mutex);
                for (FakeDevice* candidate : m_attached)
                    if (candidate->deviceId() == deviceId)
                        device = candidate;
                if (device && port != kLockdownPort)
                    service = m_servicePorts.take({device->deviceId(), port});
                if (device)
                    connection->deviceId = device->deviceId();
            }
            if (!device)
                return void(sendResult(fd, tag, kResultBadDevice));
            if (port != kLockdownPort && service.isEmpty())
                return void(sendResult(fd, tag, kResultConnectionRefused));
            if (!sendResult(fd, tag, kResultOk))
                return;
            // From here on the socket is the device port's own stream.
            if (port == kLockdownPort) {
                FakeLockdown lockdown(*device, m_log, m_buid, [this, device](const QString& name) {
                    return openServicePort(device, name);
                });
                lockdown.serve(fd);
            } else if (service == QLatin1String("com.apple.mobile.installation_proxy")) {
                FakeAppServices(*device, m_log).serveInstallationProxy(fd);
            } else if (service == QLatin1String("com.apple.springboardservices")) {
                FakeAppServices(*device, m_log).serveSpringBoard(fd);
            } else {
                FakeAfc afc(*device, m_log);
                afc.serve(fd);
            }
            return;
        } else {
            m_log.fail(QStringLiteral("usbmuxd: unknown message \"%1\"").arg(kind));
            return;
        }
    }
}
