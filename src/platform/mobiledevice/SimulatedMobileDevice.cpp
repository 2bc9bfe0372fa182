// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedMobileDevice.h"

#include <atomic>

#include <QDir>
#include <QFile>

#include "AfcConnection.h"
#include "Log.h"
#include "Plist.h"
#include "SimulatedAfcConnection.h"
#include "SimulatedInstallationProxy.h"
#include "SimulatedServiceConnection.h"
#include "SimulatedSpringBoardServices.h"

namespace {

const QString kAfcService = QStringLiteral("com.apple.afc");
const QString kFileRelayService = QStringLiteral("com.apple.mobile.file_relay");
const QString kInstallationProxyService = QStringLiteral("com.apple.mobile.installation_proxy");
const QString kSpringBoardService = QStringLiteral("com.apple.springboardservices");

uint32_t pairingCode(const QString& answer)
{
    if (answer == QLatin1String("Paired"))
        return MobileDeviceResult::kSuccess;
    if (answer == QLatin1String("PasscodeProtected"))
        return MobileDeviceResult::kPasscodeLocked;
    if (answer == QLatin1String("PairingDialogPending"))
        return MobileDeviceResult::kNotTrusted;
    if (answer == QLatin1String("UserDenied"))
        return MobileDeviceResult::kPairingDenied;
    if (answer == QLatin1String("InvalidHostID"))
        return MobileDeviceResult::kInvalidHostId;
    return MobileDeviceResult::kUndefined;
}

// The entry of a script for attempt `index`; once used up, the last repeats.
QString scripted(const QStringList& script, int index)
{
    if (script.isEmpty())
        return {};
    return script.at(std::min<int>(index, static_cast<int>(script.size()) - 1));
}

} // namespace

struct SimulatedMobileDevice::Device {
    QString udid;
    QString folder;
    QVariantMap values;
    QVariantMap simulation;
    DeviceConnectionType connection = DeviceConnectionType::Usb;
    QStringList pairingSequence;
    int pairingAttempts = 0;
    bool paired = true;
    QStringList connectResults;
    int connectAttempts = 0;
    int passcodeLockedStartsLeft = 0;
    int sessionFailuresLeft = 0; // -1: sessions never start
    bool connected = false;
    bool session = false;
    std::shared_ptr<std::atomic<bool>> present = std::make_shared<std::atomic<bool>>(true);
    QStringList log;
};

SimulatedMobileDevice::SimulatedMobileDevice(const QStringList& folders)
{
    for (const QString& folder : folders)
        attach(folder);
}

SimulatedMobileDevice::~SimulatedMobileDevice() { notificationUnsubscribe(); }

QStringList SimulatedMobileDevice::foldersFromEnvironment()
{
    return qEnvironmentVariable("ORVANE_SIMULATED_DEVICES")
        .split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString SimulatedMobileDevice::attach(const QString& folder)
{
    QString error;
    const QVariantMap plist =
        Plist::readFile(folder + QStringLiteral("/device.plist"), &error).toMap();
    if (plist.isEmpty()) {
        qCWarning(lcOrvane) << "Simulated device folder without a usable device.plist:" << folder
                            << error;
        return {};
    }
    auto device = std::make_shared<Device>();
    device->folder = QDir(folder).absolutePath();
    device->simulation = plist.value(QStringLiteral("Simulation")).toMap();
    device->values = plist;
    device->values.remove(QStringLiteral("Simulation"));
    device->udid = plist.value(QStringLiteral("UniqueDeviceID")).toString();
    if (device->udid.isEmpty())
        device->udid = QStringLiteral("simulated-") + QDir(folder).dirName();
    const QVariantMap& sim = device->simulation;
    device->pairingSequence = sim.value(QStringLiteral("PairingSequence")).toStringList();
    device->paired = device->pairingSequence.isEmpty();
    device->connectResults = sim.value(QStringLiteral("ConnectResults")).toStringList();
    device->passcodeLockedStartsLeft =
        sim.value(QStringLiteral("PasscodeLockedServiceStarts")).toInt();
    device->sessionFailuresLeft = sim.value(QStringLiteral("SessionStartFailures")).toInt();
    if (sim.value(QStringLiteral("ConnectionType"))
            .toString()
            .compare(QLatin1String("Network"), Qt::CaseInsensitive)
        == 0)
        device->connection = DeviceConnectionType::Network;
    {
        std::lock_guard lock(m_mutex);
        if (auto old = m_devices.value(device->udid)) {
            // Plugged in again: the pairing state survives, as a pair record does.
            old->present->store(false);
            device->paired = old->paired;
            device->pairingAttempts = old->pairingAttempts;
            device->log = old->log;
        }
        m_devices.insert(device->udid, device);
        m_order.removeAll(device->udid);
        m_order.append(device->udid);
    }
    enqueue({device->udid, DeviceNotification::Arrived, device->connection});
    return device->udid;
}

void SimulatedMobileDevice::detach(const QString& udid)
{
    DeviceConnectionType connection = DeviceConnectionType::Usb;
    {
        std::lock_guard lock(m_mutex);
        auto device = m_devices.value(udid);
        if (!device || !device->present->load())
            return;
        device->present->store(false);
        device->connected = false;
        device->session = false;
        connection = device->connection;
        m_order.removeAll(udid);
    }
    enqueue({udid, DeviceNotification::Left, connection});
}

void SimulatedMobileDevice::notify(const QString& udid, int kind, DeviceConnectionType connection)
{
    enqueue({udid, kind, connection});
}

QStringList SimulatedMobileDevice::attachedDevices() const
{
    std::lock_guard lock(m_mutex);
    return m_order;
}

QStringList SimulatedMobileDevice::callLog(const QString& udid) const
{
    std::lock_guard lock(m_mutex);
    auto device = m_devices.value(udid);
    return device ? device->log : QStringList();
}

int SimulatedMobileDevice::callCount(const QString& udid, const QString& call) const
{
    return static_cast<int>(callLog(udid).count(call));
}

std::shared_ptr<SimulatedMobileDevice::Device> SimulatedMobileDevice::device(
    const QString& udid) const
{
    auto device = m_devices.value(udid);
    if (!device || !device->present->load())
        return nullptr;
    return device;
}

void SimulatedMobileDevice::record(Device& device, const QString& call) { device.log.append(call); }

void SimulatedMobileDevice::enqueue(const DeviceNotification& notification)
{
    std::lock_guard lock(m_queueMutex);
    m_queue.push_back(notification);
    m_queueChanged.notify_all();
}

void SimulatedMobileDevice::waitForNotifications()
{
    std::unique_lock lock(m_queueMutex);
    m_queueChanged.wait(
        lock, [this] { return !m_thread.joinable() || (m_queue.empty() && !m_delivering); });
}

uint32_t SimulatedMobileDevice::notificationSubscribe(NotificationCallback callback)
{
    notificationUnsubscribe();
    std::lock_guard lock(m_queueMutex);
    m_callback = std::move(callback);
    m_stop = false;
    m_thread = std::thread([this] { deliverLoop(); });
    return MobileDeviceResult::kSuccess;
}

void SimulatedMobileDevice::notificationUnsubscribe()
{
    {
        std::lock_guard lock(m_queueMutex);
        if (!m_thread.joinable())
            return;
        m_stop = true;
        m_queueChanged.notify_all();
    }
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
    std::lock_guard lock(m_queueMutex);
    m_callback = nullptr;
    m_queueChanged.notify_all();
}

void SimulatedMobileDevice::deliverLoop()
{
    std::unique_lock lock(m_queueMutex);
    for (;;) {
        m_queueChanged.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        const DeviceNotification notification = m_queue.front();
        m_queue.pop_front();
        m_delivering = true;
        NotificationCallback callback = m_callback;
        lock.unlock();
        if (callback)
            callback(notification);
        lock.lock();
        m_delivering = false;
        m_queueChanged.notify_all();
    }
}

uint32_t SimulatedMobileDevice::connect(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("connect"));
    const QString result = scripted(d->connectResults, d->connectAttempts++);
    if (result.compare(QLatin1String("Failure"), Qt::CaseInsensitive) == 0)
        return MobileDeviceResult::kUndefined;
    d->connected = true;
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedMobileDevice::disconnect(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("disconnect"));
    d->connected = false;
    return MobileDeviceResult::kSuccess;
}

QVariant SimulatedMobileDevice::copyValue(const QString& udid, const QString& key)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return {};
    record(*d, QStringLiteral("copyValue ") + key);
    return d->values.value(key);
}

int SimulatedMobileDevice::isPaired(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return 0;
    record(*d, QStringLiteral("isPaired"));
    return d->paired ? 1 : 0;
}

uint32_t SimulatedMobileDevice::pair(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("pair"));
    if (d->paired)
        return MobileDeviceResult::kSuccess;
    const uint32_t code = pairingCode(scripted(d->pairingSequence, d->pairingAttempts++));
    if (code == MobileDeviceResult::kSuccess)
        d->paired = true;
    return code;
}

uint32_t SimulatedMobileDevice::validatePairing(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("validatePairing"));
    return d->paired ? MobileDeviceResult::kSuccess : MobileDeviceResult::kInvalidHostId;
}

uint32_t SimulatedMobileDevice::startSession(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("startSession"));
    if (!d->paired)
        return MobileDeviceResult::kInvalidHostId;
    if (d->sessionFailuresLeft != 0) {
        if (d->sessionFailuresLeft > 0)
            --d->sessionFailuresLeft;
        return MobileDeviceResult::kUndefined;
    }
    d->session = true;
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedMobileDevice::stopSession(const QString& udid)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("stopSession"));
    const bool had = d->session;
    d->session = false;
    return had ? MobileDeviceResult::kSuccess : MobileDeviceResult::kUndefined;
}

uint32_t SimulatedMobileDevice::startService(const QString& udid, const QString& name,
                                             std::unique_ptr<ServiceConnection>* service)
{
    std::lock_guard lock(m_mutex);
    auto d = device(udid);
    if (!d || !d->connected)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("startService ") + name);
    if (!d->session)
        return MobileDeviceResult::kUndefined;
    if (d->passcodeLockedStartsLeft > 0) {
        --d->passcodeLockedStartsLeft;
        return MobileDeviceResult::kPasscodeLocked;
    }
    if (name == kAfcService || name == kInstallationProxyService || name == kSpringBoardService) {
        *service = std::make_unique<SimulatedServiceConnection>(name, udid, d->present);
        return MobileDeviceResult::kSuccess;
    }
    if (name == kFileRelayService) {
        // Answers a "Sources" request with "Acknowledged" and then streams the
        // archive named by FileRelayArchive, closing when it is sent.
        const QString archive = d->simulation.value(QStringLiteral("FileRelayArchive")).toString();
        const QString archivePath =
            archive.isEmpty() ? QString() : d->folder + QLatin1Char('/') + archive;
        auto handler = [archivePath](const QVariant& message) {
            SimulatedServiceConnection::Reply reply;
            const QVariantMap request = message.toMap();
            QFile file(archivePath);
            if (!request.contains(QStringLiteral("Sources")) || archivePath.isEmpty()
                || !file.open(QIODevice::ReadOnly)) {
                reply.bytes = SimulatedServiceConnection::frame(
                    QVariantMap{{QStringLiteral("Error"), QStringLiteral("InvalidSource")}});
                reply.close = true;
                return reply;
            }
            reply.bytes = SimulatedServiceConnection::frame(
                QVariantMap{{QStringLiteral("Status"), QStringLiteral("Acknowledged")}});
            reply.bytes += file.readAll();
            reply.close = true;
            return reply;
        };
        *service = std::make_unique<SimulatedServiceConnection>(name, udid, d->present, handler);
        return MobileDeviceResult::kSuccess;
    }
    return MobileDeviceResult::kServiceUnavailable;
}

uint32_t SimulatedMobileDevice::afcConnectionOpen(std::unique_ptr<ServiceConnection> service,
                                                  std::unique_ptr<AfcConnection>* connection)
{
    auto* simulated = dynamic_cast<SimulatedServiceConnection*>(service.get());
    if (!simulated || simulated->name() != kAfcService)
        return MobileDeviceResult::kUndefined;
    std::lock_guard lock(m_mutex);
    auto d = device(simulated->owner());
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("afcConnectionOpen"));
    *connection = std::make_unique<SimulatedAfcConnection>(d->folder + QStringLiteral("/afc"),
                                                           d->present, d->simulation);
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedMobileDevice::installationProxyOpen(std::unique_ptr<ServiceConnection> service,
                                                      std::unique_ptr<InstallationProxy>* proxy)
{
    auto* simulated = dynamic_cast<SimulatedServiceConnection*>(service.get());
    if (!simulated || simulated->name() != kInstallationProxyService)
        return MobileDeviceResult::kUndefined;
    std::lock_guard lock(m_mutex);
    auto d = device(simulated->owner());
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("installationProxyOpen"));
    const QString udid = d->udid;
    *proxy = std::make_unique<SimulatedInstallationProxy>(
        d->folder, d->present, d->simulation,
        [this, udid](const QString& call) { recordCall(udid, call); });
    return MobileDeviceResult::kSuccess;
}

uint32_t SimulatedMobileDevice::springBoardServicesOpen(
    std::unique_ptr<ServiceConnection> service, std::unique_ptr<SpringBoardServices>* services)
{
    auto* simulated = dynamic_cast<SimulatedServiceConnection*>(service.get());
    if (!simulated || simulated->name() != kSpringBoardService)
        return MobileDeviceResult::kUndefined;
    std::lock_guard lock(m_mutex);
    auto d = device(simulated->owner());
    if (!d)
        return MobileDeviceResult::kNotConnected;
    record(*d, QStringLiteral("springBoardServicesOpen"));
    const QString udid = d->udid;
    *services = std::make_unique<SimulatedSpringBoardServices>(
        d->folder, d->present, [this, udid](const QString& call) { recordCall(udid, call); });
    return MobileDeviceResult::kSuccess;
}

void SimulatedMobileDevice::recordCall(const QString& udid, const QString& call)
{
    std::lock_guard lock(m_mutex);
    if (auto d = m_devices.value(udid))
        record(*d, call);
}
