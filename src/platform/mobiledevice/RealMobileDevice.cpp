// SPDX-License-Identifier: GPL-3.0-or-later
#include "RealMobileDevice.h"

#include "AfcConnection.h"
#include "InstallationProxy.h"
#include "Log.h"
#include "Plist.h"
#include "ServiceConnection.h"
#include "SpringBoardServices.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <libimobiledevice/property_list_service.h>
#include <libimobiledevice/sbservices.h>
#include <libimobiledevice/service.h>
#include <plist/plist.h>
#include <usbmuxd.h>

#include <cstdlib>

namespace {

const char kLabel[] = "orvane";

// The device handle; services and the file service keep it alive while they run.
struct DeviceHandle {
    idevice_t device = nullptr;
    ~DeviceHandle()
    {
        if (device)
            idevice_free(device);
    }
};

// The pair record's host identifier, which a session needs; empty without a record.
QByteArray hostIdOf(const QString& udid, bool* hasRecord)
{
    char* data = nullptr;
    uint32_t size = 0;
    *hasRecord = false;
    if (usbmuxd_read_pair_record(udid.toUtf8().constData(), &data, &size) < 0 || !data)
        return {};
    *hasRecord = true;
    plist_t record = nullptr;
    plist_from_memory(data, size, &record);
    free(data);
    QByteArray hostId;
    if (record) {
        const QVariantMap map = Plist::fromNode(record).toMap();
        hostId = map.value(QStringLiteral("HostID")).toString().toUtf8();
        plist_free(record);
    }
    return hostId;
}

class RealServiceConnection : public ServiceConnection {
public:
    RealServiceConnection(std::shared_ptr<DeviceHandle> device, lockdownd_service_descriptor_t descriptor, QString name)
        : m_device(std::move(device)), m_descriptor(descriptor), m_name(std::move(name))
    {
    }
    ~RealServiceConnection() override
    {
        close();
        if (m_descriptor)
            lockdownd_service_descriptor_free(m_descriptor);
    }

    const std::shared_ptr<DeviceHandle>& device() const { return m_device; }
    lockdownd_service_descriptor_t descriptor() const { return m_descriptor; }
    const QString& name() const { return m_name; }

    int64_t send(const char* data, uint32_t length) override
    {
        std::lock_guard lock(m_mutex);
        if (!open())
            return -1;
        uint32_t sent = 0;
        const service_error_t rc = service_send(m_client, data, length, &sent);
        if (rc != SERVICE_E_SUCCESS) {
            qCWarning(lcOrvane) << "Service send failed:" << m_name << "service error" << rc;
            return -1;
        }
        return sent;
    }

    int64_t receive(char* data, uint32_t length) override
    {
        std::lock_guard lock(m_mutex);
        if (!open())
            return -1;
        uint32_t received = 0;
        const service_error_t rc = service_receive_with_timeout(m_client, data, length, &received, 30000);
        if (rc == SERVICE_E_SUCCESS)
            return received;
        if (received > 0)
            return received;
        // A closed peer and a time-out both end the stream for the caller.
        return rc == SERVICE_E_TIMEOUT ? 0 : -1;
    }

    void close() override
    {
        std::lock_guard lock(m_mutex);
        if (m_client)
            service_client_free(m_client);
        m_client = nullptr;
        m_closed = true;
    }

private:
    bool open()
    {
        if (m_client)
            return true;
        if (m_closed || !m_descriptor)
            return false;
        const service_error_t rc = service_client_new(m_device->device, m_descriptor, &m_client);
        if (rc != SERVICE_E_SUCCESS) {
            qCWarning(lcOrvane) << "Could not connect to the service" << m_name << "service error" << rc;
            m_client = nullptr;
            m_closed = true;
            return false;
        }
        return true;
    }

    std::shared_ptr<DeviceHandle> m_device;
    lockdownd_service_descriptor_t m_descriptor;
    QString m_name;
    std::mutex m_mutex;
    service_client_t m_client = nullptr;
    bool m_closed = false;
};

class RealAfcConnection : public AfcConnection {
public:
    RealAfcConnection(std::shared_ptr<DeviceHandle> device, afc_client_t client)
        : m_device(std::move(device)), m_client(client)
    {
    }
    ~RealAfcConnection() override { afc_client_free(m_client); }

    int fileInfo(const QString& path, KeyValues* info) override
    {
        std::lock_guard lock(m_mutex);
        char** list = nullptr;
        const afc_error_t rc = afc_get_file_info(m_client, path.toUtf8().constData(), &list);
        if (rc != AFC_E_SUCCESS || !list) {
            if (list)
                afc_dictionary_free(list);
            return rc == AFC_E_SUCCESS ? AfcResult::kUnknown : rc;
        }
        info->clear();
        for (int i = 0; list[i] && list[i + 1]; i += 2)
            info->append({QString::fromUtf8(list[i]), QString::fromUtf8(list[i + 1])});
        afc_dictionary_free(list);
        return AfcResult::kSuccess;
    }

    int fileRefOpen(const QString& path, AfcFileMode mode, uint64_t* ref) override
    {
        std::lock_guard lock(m_mutex);
        return afc_file_open(m_client, path.toUtf8().constData(), static_cast<afc_file_mode_t>(mode), ref);
    }

    int fileRefRead(uint64_t ref, char* data, uint32_t length, uint32_t* read) override
    {
        std::lock_guard lock(m_mutex);
        *read = 0;
        return afc_file_read(m_client, ref, data, length, read);
    }

    int fileRefWrite(uint64_t ref, const char* data, uint32_t length, uint32_t* written) override
    {
        std::lock_guard lock(m_mutex);
        *written = 0;
        return afc_file_write(m_client, ref, data, length, written);
    }

    int fileRefSeek(uint64_t ref, uint64_t offset) override
    {
        std::lock_guard lock(m_mutex);
        return afc_file_seek(m_client, ref, static_cast<int64_t>(offset), SEEK_SET);
    }

    int fileRefClose(uint64_t ref) override
    {
        std::lock_guard lock(m_mutex);
        return afc_file_close(m_client, ref);
    }

    int directoryRead(const QString& path, QStringList* entries) override
    {
        std::lock_guard lock(m_mutex);
        char** list = nullptr;
        const afc_error_t rc = afc_read_directory(m_client, path.toUtf8().constData(), &list);
        if (rc != AFC_E_SUCCESS) {
            if (list)
                afc_dictionary_free(list);
            return rc;
        }
        entries->clear();
        for (int i = 0; list && list[i]; ++i)
            entries->append(QString::fromUtf8(list[i]));
        if (list)
            afc_dictionary_free(list);
        return AfcResult::kSuccess;
    }

    int directoryCreate(const QString& path) override
    {
        std::lock_guard lock(m_mutex);
        return afc_make_directory(m_client, path.toUtf8().constData());
    }

    int removePath(const QString& path) override
    {
        std::lock_guard lock(m_mutex);
        return afc_remove_path(m_client, path.toUtf8().constData());
    }

    int renamePath(const QString& from, const QString& to) override
    {
        std::lock_guard lock(m_mutex);
        return afc_rename_path(m_client, from.toUtf8().constData(), to.toUtf8().constData());
    }

private:
    std::shared_ptr<DeviceHandle> m_device;
    afc_client_t m_client;
    std::mutex m_mutex;
};

// The installation proxy spoken directly over its property-list service:
// libimobiledevice's own status loop waits for a "Complete" spelt exactly so
// and never gives up on a device that stops answering, while a series here
// ends at "Complete" in any case, at an "Error", or at a reply that does not
// come.
class RealInstallationProxy : public InstallationProxy {
public:
    RealInstallationProxy(std::shared_ptr<DeviceHandle> device, property_list_service_client_t client)
        : m_device(std::move(device)), m_client(client)
    {
    }
    ~RealInstallationProxy() override { property_list_service_client_free(m_client); }

    uint32_t lookup(const QStringList& returnAttributes, QVariantMap* apps) override
    {
        QVariantList attributes;
        for (const QString& attribute : returnAttributes)
            attributes.append(attribute);
        QVariantMap lookupResult;
        const uint32_t rc = exchange({{QStringLiteral("Command"), QStringLiteral("Lookup")},
                                      {QStringLiteral("ClientOptions"),
                                       QVariantMap{{QStringLiteral("ReturnAttributes"), attributes}}}},
                                     &lookupResult);
        if (rc == MobileDeviceResult::kSuccess)
            *apps = lookupResult;
        return rc;
    }

    uint32_t install(const QString& stagedPath) override
    {
        return exchange({{QStringLiteral("Command"), QStringLiteral("Install")},
                         {QStringLiteral("PackagePath"), stagedPath},
                         {QStringLiteral("ClientOptions"), QVariantMap()}});
    }

    uint32_t uninstall(const QString& bundleId) override
    {
        return exchange({{QStringLiteral("Command"), QStringLiteral("Uninstall")},
                         {QStringLiteral("ApplicationIdentifier"), bundleId},
                         {QStringLiteral("ClientOptions"), QVariantMap()}});
    }

    uint32_t archive(const QString& bundleId) override
    {
        return exchange({{QStringLiteral("Command"), QStringLiteral("Archive")},
                         {QStringLiteral("ApplicationIdentifier"), bundleId},
                         {QStringLiteral("ClientOptions"),
                          QVariantMap{{QStringLiteral("SkipUninstall"), true},
                                      {QStringLiteral("ArchiveType"), QStringLiteral("ApplicationOnly")}}}});
    }

    uint32_t removeArchive(const QString& bundleId) override
    {
        return exchange({{QStringLiteral("Command"), QStringLiteral("RemoveArchive")},
                         {QStringLiteral("ApplicationIdentifier"), bundleId}});
    }

private:
    // A device sends progress at least every few seconds, also while it
    // unpacks a large package; a minute of silence means it is gone.
    static constexpr unsigned kReplyTimeoutMs = 60000;

    // Sends one request and reads its replies to the final one. A lookup's
    // "LookupResult" parts (a large list arrives in several replies) are merged.
    uint32_t exchange(const QVariantMap& request, QVariantMap* lookupResult = nullptr)
    {
        std::lock_guard lock(m_mutex);
        plist_t node = Plist::toNode(request);
        const property_list_service_error_t sent = property_list_service_send_xml_plist(m_client, node);
        plist_free(node);
        if (sent != PROPERTY_LIST_SERVICE_E_SUCCESS)
            return fromPropertyListService("send", sent);
        const QString command = request.value(QStringLiteral("Command")).toString();
        for (;;) {
            plist_t reply = nullptr;
            const property_list_service_error_t rc =
                property_list_service_receive_plist_with_timeout(m_client, &reply, kReplyTimeoutMs);
            if (rc != PROPERTY_LIST_SERVICE_E_SUCCESS || !reply) {
                if (reply)
                    plist_free(reply);
                return fromPropertyListService("receive", rc == PROPERTY_LIST_SERVICE_E_SUCCESS
                                                              ? PROPERTY_LIST_SERVICE_E_PLIST_ERROR
                                                              : rc);
            }
            const QVariantMap map = Plist::fromNode(reply).toMap();
            plist_free(reply);
            if (map.contains(QStringLiteral("Error"))) {
                qCWarning(lcOrvane) << "Installation proxy:" << command << "failed:"
                                    << map.value(QStringLiteral("Error")).toString()
                                    << map.value(QStringLiteral("ErrorDescription")).toString();
                return RealMobileDevice::fromInstallationProxyError(
                    map.value(QStringLiteral("Error")).toString());
            }
            if (lookupResult) {
                const QVariantMap part = map.value(QStringLiteral("LookupResult")).toMap();
                for (auto it = part.cbegin(); it != part.cend(); ++it)
                    lookupResult->insert(it.key(), it.value());
            }
            if (map.value(QStringLiteral("Status")).toString().compare(QLatin1String("Complete"),
                                                                       Qt::CaseInsensitive)
                == 0)
                return MobileDeviceResult::kSuccess;
        }
    }

    static uint32_t fromPropertyListService(const char* step, property_list_service_error_t rc)
    {
        qCWarning(lcOrvane, "Installation proxy: %s failed, property list service error %d", step, rc);
        switch (rc) {
        case PROPERTY_LIST_SERVICE_E_MUX_ERROR:
        case PROPERTY_LIST_SERVICE_E_SSL_ERROR:
        case PROPERTY_LIST_SERVICE_E_RECEIVE_TIMEOUT:
        case PROPERTY_LIST_SERVICE_E_NOT_ENOUGH_DATA:
            return MobileDeviceResult::kNotConnected;
        default:
            return MobileDeviceResult::kUndefined;
        }
    }

    std::shared_ptr<DeviceHandle> m_device;
    property_list_service_client_t m_client;
    std::mutex m_mutex;
};

class RealSpringBoardServices : public SpringBoardServices {
public:
    RealSpringBoardServices(std::shared_ptr<DeviceHandle> device, sbservices_client_t client)
        : m_device(std::move(device)), m_client(client)
    {
    }
    ~RealSpringBoardServices() override { sbservices_client_free(m_client); }

    uint32_t iconPngData(const QString& bundleId, QByteArray* png) override
    {
        std::lock_guard lock(m_mutex);
        char* data = nullptr;
        uint64_t size = 0;
        const sbservices_error_t rc =
            sbservices_get_icon_pngdata(m_client, bundleId.toUtf8().constData(), &data, &size);
        if (rc == SBSERVICES_E_SUCCESS && data && size > 0 && size <= kMaxIconBytes)
            *png = QByteArray(data, static_cast<qsizetype>(size));
        free(data);
        if (rc == SBSERVICES_E_SUCCESS && png->isEmpty())
            return MobileDeviceResult::kUndefined;
        return RealMobileDevice::fromSpringBoard(rc);
    }

private:
    static constexpr uint64_t kMaxIconBytes = 16 * 1024 * 1024;

    std::shared_ptr<DeviceHandle> m_device;
    sbservices_client_t m_client;
    std::mutex m_mutex;
};

} // namespace

struct RealMobileDevice::Device {
    QString udid;
    std::mutex mutex;
    std::shared_ptr<DeviceHandle> handle;
    lockdownd_client_t lockdown = nullptr;
    QByteArray sessionId;
    lockdownd_error_t lastPairResult = LOCKDOWN_E_SUCCESS;

    ~Device()
    {
        if (lockdown)
            lockdownd_client_free(lockdown);
    }
};

RealMobileDevice::RealMobileDevice() = default;

RealMobileDevice::~RealMobileDevice() { notificationUnsubscribe(); }

uint32_t RealMobileDevice::fromLockdown(int lockdownError)
{
    switch (lockdownError) {
    case LOCKDOWN_E_SUCCESS:
        return MobileDeviceResult::kSuccess;
    case LOCKDOWN_E_PASSWORD_PROTECTED:
        return MobileDeviceResult::kPasscodeLocked;
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
    case LOCKDOWN_E_USER_DENIED_PAIRING:
        return MobileDeviceResult::kNotTrusted;
    case LOCKDOWN_E_INVALID_HOST_ID:
        return MobileDeviceResult::kInvalidHostId;
    case LOCKDOWN_E_MUX_ERROR:
        return MobileDeviceResult::kNotConnected;
    case LOCKDOWN_E_INVALID_SERVICE:
    case LOCKDOWN_E_MISSING_SERVICE:
    case LOCKDOWN_E_SERVICE_PROHIBITED:
        return MobileDeviceResult::kServiceUnavailable;
    default:
        return MobileDeviceResult::kUndefined;
    }
}

uint32_t RealMobileDevice::fromInstallationProxyError(const QString& error)
{
    // The device names its failure ("APIInternalError", "ApplicationVerificationFailed", ...).
    if (error.isEmpty())
        return MobileDeviceResult::kUndefined;
    if (error == QLatin1String("UnknownCommand") || error == QLatin1String("MissingCommand"))
        return MobileDeviceResult::kServiceUnavailable;
    return MobileDeviceResult::kUndefined;
}

uint32_t RealMobileDevice::fromSpringBoard(int springBoardError)
{
    switch (springBoardError) {
    case SBSERVICES_E_SUCCESS:
        return MobileDeviceResult::kSuccess;
    case SBSERVICES_E_CONN_FAILED:
        qCInfo(lcOrvane) << "Springboard services: connection failed";
        return MobileDeviceResult::kNotConnected;
    default:
        qCInfo(lcOrvane) << "Springboard services error" << springBoardError;
        return MobileDeviceResult::kUndefined;
    }
}

namespace {
uint32_t mapped(const char* call, int raw)
{
    const uint32_t code = RealMobileDevice::fromLockdown(raw);
    if (raw != LOCKDOWN_E_SUCCESS)
        qCInfo(lcOrvane, "%s: lockdown error %d (0x%08X)", call, raw, code);
    return code;
}
} // namespace

void RealMobileDevice::eventCallback(const void* rawEvent, void* context)
{
    const auto* event = static_cast<const idevice_event_t*>(rawEvent);
    auto* self = static_cast<RealMobileDevice*>(context);
    if (!event || !event->udid)
        return;
    DeviceNotification notification;
    notification.device = QString::fromUtf8(event->udid);
    notification.connection =
        event->conn_type == CONNECTION_NETWORK ? DeviceConnectionType::Network : DeviceConnectionType::Usb;
    switch (event->event) {
    case IDEVICE_DEVICE_ADD:
        notification.kind = DeviceNotification::Arrived;
        break;
    case IDEVICE_DEVICE_REMOVE:
        notification.kind = DeviceNotification::Left;
        break;
    default:
        return;
    }
    self->deliver(notification);
}

void RealMobileDevice::deliver(const DeviceNotification& notification)
{
    if (notification.kind == DeviceNotification::Left) {
        // The handle of a departed device is dropped; running services keep
        // their own reference until they end.
        std::lock_guard lock(m_mutex);
        m_devices.remove(notification.device);
    }
    std::lock_guard lock(m_callbackMutex);
    if (m_callback)
        m_callback(notification);
}

uint32_t RealMobileDevice::notificationSubscribe(NotificationCallback callback)
{
    notificationUnsubscribe();
    {
        std::lock_guard lock(m_callbackMutex);
        m_callback = std::move(callback);
    }
    const idevice_error_t rc = idevice_event_subscribe(
        [](const idevice_event_t* event, void* context) { eventCallback(event, context); }, this);
    if (rc != IDEVICE_E_SUCCESS) {
        qCWarning(lcOrvane) << "Could not subscribe to device notifications (is usbmuxd running?), error" << rc;
        return MobileDeviceResult::kUndefined;
    }
    m_subscribed = true;
    return MobileDeviceResult::kSuccess;
}

void RealMobileDevice::notificationUnsubscribe()
{
    if (m_subscribed)
        idevice_event_unsubscribe();
    m_subscribed = false;
    std::lock_guard lock(m_callbackMutex);
    m_callback = nullptr;
}

std::shared_ptr<RealMobileDevice::Device> RealMobileDevice::device(const QString& udid, bool create)
{
    std::lock_guard lock(m_mutex);
    auto device = m_devices.value(udid);
    if (!device && create) {
        device = std::make_shared<Device>();
        device->udid = udid;
        m_devices.insert(udid, device);
    }
    return device;
}

uint32_t RealMobileDevice::connect(const QString& udid)
{
    auto d = device(udid, true);
    std::lock_guard lock(d->mutex);
    if (!d->handle) {
        auto handle = std::make_shared<DeviceHandle>();
        const idevice_error_t rc =
            idevice_new_with_options(&handle->device, udid.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX);
        if (rc != IDEVICE_E_SUCCESS) {
            qCInfo(lcOrvane) << "Device not reachable:" << udid << "error" << rc;
            handle->device = nullptr;
            return MobileDeviceResult::kNotConnected;
        }
        d->handle = handle;
    }
    if (d->lockdown)
        return MobileDeviceResult::kSuccess;
    lockdownd_client_t client = nullptr;
    const lockdownd_error_t rc = lockdownd_client_new(d->handle->device, &client, kLabel);
    if (rc != LOCKDOWN_E_SUCCESS)
        return mapped("connect", rc);
    d->lockdown = client;
    return MobileDeviceResult::kSuccess;
}

uint32_t RealMobileDevice::disconnect(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    if (d->lockdown)
        lockdownd_client_free(d->lockdown);
    d->lockdown = nullptr;
    d->sessionId.clear();
    return MobileDeviceResult::kSuccess;
}

QVariant RealMobileDevice::copyValue(const QString& udid, const QString& key)
{
    auto d = device(udid, false);
    if (!d)
        return {};
    std::lock_guard lock(d->mutex);
    if (!d->lockdown)
        return {};
    plist_t node = nullptr;
    const lockdownd_error_t rc = lockdownd_get_value(d->lockdown, nullptr, key.toUtf8().constData(), &node);
    if (rc != LOCKDOWN_E_SUCCESS || !node) {
        if (node)
            plist_free(node);
        return {};
    }
    const QVariant value = Plist::fromNode(node);
    plist_free(node);
    return value;
}

int RealMobileDevice::isPaired(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return 0;
    bool hasRecord = false;
    hostIdOf(udid, &hasRecord);
    if (!hasRecord)
        return 0;
    std::lock_guard lock(d->mutex);
    if (!d->lockdown)
        return 0;
    return lockdownd_validate_pair(d->lockdown, nullptr) == LOCKDOWN_E_SUCCESS ? 1 : 0;
}

uint32_t RealMobileDevice::pair(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    if (!d->lockdown)
        return MobileDeviceResult::kNotConnected;
    d->lastPairResult = lockdownd_pair(d->lockdown, nullptr);
    return mapped("pair", d->lastPairResult);
}

uint32_t RealMobileDevice::validatePairing(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    bool hasRecord = false;
    hostIdOf(udid, &hasRecord);
    std::lock_guard lock(d->mutex);
    if (!d->lockdown)
        return MobileDeviceResult::kNotConnected;
    // Without a pair record there is nothing to validate: the pairing attempt's
    // own answer (passcode, trust dialog pending, denied) is the state.
    if (!hasRecord)
        return d->lastPairResult == LOCKDOWN_E_SUCCESS ? MobileDeviceResult::kNotTrusted
                                                       : mapped("validatePairing", d->lastPairResult);
    return mapped("validatePairing", lockdownd_validate_pair(d->lockdown, nullptr));
}

uint32_t RealMobileDevice::startSession(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    bool hasRecord = false;
    const QByteArray hostId = hostIdOf(udid, &hasRecord);
    std::lock_guard lock(d->mutex);
    if (!d->lockdown)
        return MobileDeviceResult::kNotConnected;
    if (hostId.isEmpty())
        return MobileDeviceResult::kInvalidHostId;
    char* sessionId = nullptr;
    int ssl = 0;
    const lockdownd_error_t rc = lockdownd_start_session(d->lockdown, hostId.constData(), &sessionId, &ssl);
    if (sessionId) {
        d->sessionId = sessionId;
        free(sessionId);
    }
    return mapped("startSession", rc);
}

uint32_t RealMobileDevice::stopSession(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    if (!d->lockdown || d->sessionId.isEmpty())
        return MobileDeviceResult::kUndefined;
    const lockdownd_error_t rc = lockdownd_stop_session(d->lockdown, d->sessionId.constData());
    d->sessionId.clear();
    return mapped("stopSession", rc);
}

uint32_t RealMobileDevice::startService(const QString& udid, const QString& name,
                                        std::unique_ptr<ServiceConnection>* service)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    if (!d->lockdown || !d->handle)
        return MobileDeviceResult::kNotConnected;
    lockdownd_service_descriptor_t descriptor = nullptr;
    const lockdownd_error_t rc = lockdownd_start_service(d->lockdown, name.toUtf8().constData(), &descriptor);
    if (rc != LOCKDOWN_E_SUCCESS || !descriptor) {
        if (descriptor)
            lockdownd_service_descriptor_free(descriptor);
        return mapped("startService", rc == LOCKDOWN_E_SUCCESS ? LOCKDOWN_E_UNKNOWN_ERROR : rc);
    }
    *service = std::make_unique<RealServiceConnection>(d->handle, descriptor, name);
    return MobileDeviceResult::kSuccess;
}

uint32_t RealMobileDevice::afcConnectionOpen(std::unique_ptr<ServiceConnection> service,
                                             std::unique_ptr<AfcConnection>* connection)
{
    auto* real = dynamic_cast<RealServiceConnection*>(service.get());
    if (!real || !real->descriptor())
        return MobileDeviceResult::kUndefined;
    afc_client_t client = nullptr;
    const afc_error_t rc = afc_client_new(real->device()->device, real->descriptor(), &client);
    if (rc != AFC_E_SUCCESS || !client) {
        qCWarning(lcOrvane) << "Could not open the file service, AFC error" << rc;
        return MobileDeviceResult::kUndefined;
    }
    *connection = std::make_unique<RealAfcConnection>(real->device(), client);
    return MobileDeviceResult::kSuccess;
}

uint32_t RealMobileDevice::installationProxyOpen(std::unique_ptr<ServiceConnection> service,
                                                 std::unique_ptr<InstallationProxy>* proxy)
{
    auto* real = dynamic_cast<RealServiceConnection*>(service.get());
    if (!real || !real->descriptor())
        return MobileDeviceResult::kUndefined;
    property_list_service_client_t client = nullptr;
    const property_list_service_error_t rc =
        property_list_service_client_new(real->device()->device, real->descriptor(), &client);
    if (rc != PROPERTY_LIST_SERVICE_E_SUCCESS || !client) {
        qCWarning(lcOrvane) << "Could not open the installation proxy, error" << rc;
        return MobileDeviceResult::kUndefined;
    }
    *proxy = std::make_unique<RealInstallationProxy>(real->device(), client);
    return MobileDeviceResult::kSuccess;
}

uint32_t RealMobileDevice::springBoardServicesOpen(std::unique_ptr<ServiceConnection> service,
                                                   std::unique_ptr<SpringBoardServices>* services)
{
    auto* real = dynamic_cast<RealServiceConnection*>(service.get());
    if (!real || !real->descriptor())
        return MobileDeviceResult::kUndefined;
    sbservices_client_t client = nullptr;
    const sbservices_error_t rc = sbservices_client_new(real->device()->device, real->descriptor(), &client);
    if (rc != SBSERVICES_E_SUCCESS || !client) {
        qCWarning(lcOrvane) << "Could not open springboard services, error" << rc;
        return MobileDeviceResult::kUndefined;
    }
    *services = std::make_unique<RealSpringBoardServices>(real->device(), client);
    return MobileDeviceResult::kSuccess;
}
