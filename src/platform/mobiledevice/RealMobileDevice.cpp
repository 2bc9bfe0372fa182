// SPDX-License-Identifier: GPL-3.0-or-later
#include "RealMobileDevice.h"

#include <csignal>
#include <cstdlib>

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <libimobiledevice/property_list_service.h>
#include <libimobiledevice/sbservices.h>
#include <libimobiledevice/service.h>
#include <plist/plist.h>
#include <usbmuxd.h>

#include "AfcConnection.h"
#include "Clock.h"
#include "InstallationProxy.h"
#include "Log.h"
#include "PairRecord.h"
#include "Plist.h"
#include "ServiceConnection.h"
#include "SpringBoardServices.h"

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

enum class RecordState { Missing, Damaged, Usable };

// The pair record usbmuxd holds for the device.
QVariantMap readPairRecord(const QString& udid, RecordState* state)
{
    char* data = nullptr;
    uint32_t size = 0;
    *state = RecordState::Missing;
    if (usbmuxd_read_pair_record(udid.toUtf8().constData(), &data, &size) < 0 || !data)
        return {};
    const QVariantMap record = PairRecord::parse(QByteArray(data, static_cast<qsizetype>(size)));
    free(data);
    if (!PairRecord::isUsable(record)) {
        qCWarning(lcOrvane) << "The pair record usbmuxd holds for" << udid
                            << "is damaged; pairing anew";
        *state = RecordState::Damaged;
        return {};
    }
    *state = RecordState::Usable;
    return record;
}

// The public half of a record in the form lockdownd's pairing calls take; the
// texts live in `storage`.
struct PairRecordView {
    QByteArray deviceCertificate, hostCertificate, rootCertificate, hostId, systemBuid;
    lockdownd_pair_record record{};

    explicit PairRecordView(const QVariantMap& map)
    {
        deviceCertificate = map.value(QStringLiteral("DeviceCertificate")).toByteArray();
        hostCertificate = map.value(QStringLiteral("HostCertificate")).toByteArray();
        rootCertificate = map.value(QStringLiteral("RootCertificate")).toByteArray();
        hostId = map.value(QStringLiteral("HostID")).toString().toUtf8();
        systemBuid = map.value(QStringLiteral("SystemBUID")).toString().toUtf8();
        record.device_certificate = deviceCertificate.data();
        record.host_certificate = hostCertificate.data();
        record.root_certificate = rootCertificate.data();
        record.host_id = hostId.data();
        record.system_buid = systemBuid.isEmpty() ? nullptr : systemBuid.data();
    }
};

QString systemBuid()
{
    char* buid = nullptr;
    if (usbmuxd_read_buid(&buid) < 0 || !buid)
        return {};
    const QString text = QString::fromUtf8(buid);
    free(buid);
    return text;
}

class RealServiceConnection : public ServiceConnection {
public:
    RealServiceConnection(std::shared_ptr<DeviceHandle> device,
                          lockdownd_service_descriptor_t descriptor, QString name)
        : m_device(std::move(device))
        , m_descriptor(descriptor)
        , m_name(std::move(name))
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
        const service_error_t rc =
            service_receive_with_timeout(m_client, data, length, &received, 30000);
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
            qCWarning(lcOrvane) << "Could not connect to the service" << m_name << "service error"
                                << rc;
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
        : m_device(std::move(device))
        , m_client(client)
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
        return afc_file_open(m_client, path.toUtf8().constData(),
                             static_cast<afc_file_mode_t>(mode), ref);
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
    RealInstallationProxy(std::shared_ptr<DeviceHandle> device,
                          property_list_service_client_t client)
        : m_device(std::move(device))
        , m_client(client)
    {
    }
    ~RealInstallationProxy() override { property_list_service_client_free(m_client); }

    uint32_t lookup(const QStringList& returnAttributes, QVariantMap* apps) override
    {
        QVariantList attributes;
        for (const QString& attribute : returnAttributes)
            attributes.append(attribute);
        QVariantMap lookupResult;
        const uint32_t rc =
            exchange({{QStringLiteral("Command"), QStringLiteral("Lookup")},
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
        return exchange(
            {{QStringLiteral("Command"), QStringLiteral("Archive")},
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
        const property_list_service_error_t sent =
            property_list_service_send_xml_plist(m_client, node);
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
                return fromPropertyListService("receive",
                                               rc == PROPERTY_LIST_SERVICE_E_SUCCESS
                                                   ? PROPERTY_LIST_SERVICE_E_PLIST_ERROR
                                                   : rc);
            }
            const QVariantMap map = Plist::fromNode(reply).toMap();
            plist_free(reply);
            if (map.contains(QStringLiteral("Error"))) {
                qCWarning(lcOrvane) << "Installation proxy:" << command
                                    << "failed:" << map.value(QStringLiteral("Error")).toString()
                                    << map.value(QStringLiteral("ErrorDescription")).toString();
                return RealMobileDevice::fromInstallationProxyError(
                    map.value(QStringLiteral("Error")).toString());
            }
            if (lookupResult) {
                const QVariantMap part = map.value(QStringLiteral("LookupResult")).toMap();
                for (auto it = part.cbegin(); it != part.cend(); ++it)
                    lookupResult->insert(it.key(), it.value());
            }
            if (map.value(QStringLiteral("Status"))
                    .toString()
                    .compare(QLatin1String("Complete"), Qt::CaseInsensitive)
                == 0)
                return MobileDeviceResult::kSuccess;
        }
    }

    static uint32_t fromPropertyListService(const char* step, property_list_service_error_t rc)
    {
        qCWarning(lcOrvane, "Installation proxy: %s failed, property list service error %d", step,
                  rc);
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
        : m_device(std::move(device))
        , m_client(client)
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
    // A plain client, or the client of the running session.
    lockdownd_client_t lockdown = nullptr;
    bool inSession = false;

    ~Device()
    {
        if (lockdown)
            lockdownd_client_free(lockdown);
    }
};

RealMobileDevice::RealMobileDevice()
{
    // The device library writes to its sockets (TLS included) with plain
    // write(): a device unplugged in the middle of a write must end that call
    // with an error, not end the program with SIGPIPE.
    static std::once_flag ignored;
    std::call_once(ignored, [] { std::signal(SIGPIPE, SIG_IGN); });
}

RealMobileDevice::~RealMobileDevice() { notificationUnsubscribe(); }

uint32_t RealMobileDevice::fromLockdown(int lockdownError)
{
    switch (lockdownError) {
    case LOCKDOWN_E_SUCCESS:
        return MobileDeviceResult::kSuccess;
    case LOCKDOWN_E_PASSWORD_PROTECTED:
        return MobileDeviceResult::kPasscodeLocked;
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        return MobileDeviceResult::kNotTrusted;
    case LOCKDOWN_E_USER_DENIED_PAIRING:
        return MobileDeviceResult::kPairingDenied;
    case LOCKDOWN_E_INVALID_HOST_ID:
    case LOCKDOWN_E_MISSING_HOST_ID:
        return MobileDeviceResult::kInvalidHostId;
    case LOCKDOWN_E_MUX_ERROR:
        return MobileDeviceResult::kNotConnected;
    case LOCKDOWN_E_RECEIVE_TIMEOUT:
        return MobileDeviceResult::kTimedOut;
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
    notification.connection = event->conn_type == CONNECTION_NETWORK ? DeviceConnectionType::Network
                                                                     : DeviceConnectionType::Usb;
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

namespace {

bool usbmuxdAnswers()
{
    usbmuxd_device_info_t* list = nullptr;
    const int count = usbmuxd_get_device_list(&list);
    if (list)
        usbmuxd_device_list_free(&list);
    return count >= 0;
}

} // namespace

bool RealMobileDevice::subscribeLocked()
{
    if (m_subscribed)
        idevice_event_unsubscribe();
    m_subscribed = idevice_event_subscribe([](const idevice_event_t* event,
                                              void* context) { eventCallback(event, context); },
                                           this)
        == IDEVICE_E_SUCCESS;
    return m_subscribed;
}

uint32_t RealMobileDevice::notificationSubscribe(NotificationCallback callback)
{
    notificationUnsubscribe();
    {
        std::lock_guard lock(m_callbackMutex);
        m_callback = std::move(callback);
    }
    std::lock_guard lock(m_watchMutex);
    const bool subscribed = subscribeLocked();
    if (!subscribed)
        qCWarning(lcOrvane) << "Could not subscribe to device notifications (is usbmuxd running?)";
    // usbmuxd may start after the program (or be restarted): it is looked
    // for every second, and notifications are subscribed to anew when it
    // comes, which announces the devices it has.
    m_watchStop = false;
    m_watch = std::thread([this, answered = usbmuxdAnswers()]() mutable {
        std::unique_lock lock(m_watchMutex);
        while (!m_watchStop) {
            m_watchChanged.wait_for(lock, Clock::scaled(std::chrono::seconds(1)),
                                    [this] { return m_watchStop; });
            if (m_watchStop)
                break;
            lock.unlock();
            const bool answers = usbmuxdAnswers();
            lock.lock();
            if (m_watchStop)
                break;
            if (answers && !answered) {
                qCInfo(lcOrvane) << "usbmuxd answers now: looking for its devices";
                subscribeLocked();
            }
            answered = answers;
        }
    });
    return subscribed ? MobileDeviceResult::kSuccess : MobileDeviceResult::kUndefined;
}

void RealMobileDevice::notificationUnsubscribe()
{
    {
        std::lock_guard lock(m_watchMutex);
        m_watchStop = true;
        m_watchChanged.notify_all();
    }
    if (m_watch.joinable())
        m_watch.join();
    {
        std::lock_guard lock(m_watchMutex);
        if (m_subscribed)
            idevice_event_unsubscribe();
        m_subscribed = false;
    }
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

namespace {

// A plain lockdown client of the device, made when there is none.
lockdownd_error_t ensureClient(RealMobileDevice::Device& d);

} // namespace

uint32_t RealMobileDevice::connect(const QString& udid)
{
    auto d = device(udid, true);
    std::lock_guard lock(d->mutex);
    if (!d->handle) {
        auto handle = std::make_shared<DeviceHandle>();
        const idevice_error_t rc = idevice_new_with_options(
            &handle->device, udid.toUtf8().constData(), IDEVICE_LOOKUP_USBMUX);
        if (rc != IDEVICE_E_SUCCESS) {
            qCInfo(lcOrvane) << "Device not reachable:" << udid << "error" << rc;
            handle->device = nullptr;
            return MobileDeviceResult::kNotConnected;
        }
        d->handle = handle;
    }
    return mapped("connect", ensureClient(*d));
}

namespace {

lockdownd_error_t ensureClient(RealMobileDevice::Device& d)
{
    if (d.lockdown)
        return LOCKDOWN_E_SUCCESS;
    if (!d.handle)
        return LOCKDOWN_E_MUX_ERROR;
    lockdownd_client_t client = nullptr;
    const lockdownd_error_t rc = lockdownd_client_new(d.handle->device, &client, kLabel);
    if (rc != LOCKDOWN_E_SUCCESS)
        return rc;
    d.lockdown = client;
    d.inSession = false;
    return LOCKDOWN_E_SUCCESS;
}

void dropClient(RealMobileDevice::Device& d)
{
    // Freeing a client also stops its session.
    if (d.lockdown)
        lockdownd_client_free(d.lockdown);
    d.lockdown = nullptr;
    d.inSession = false;
}

QVariant valueOf(lockdownd_client_t client, const char* key)
{
    plist_t node = nullptr;
    const lockdownd_error_t rc = lockdownd_get_value(client, nullptr, key, &node);
    if (rc != LOCKDOWN_E_SUCCESS || !node) {
        if (node)
            plist_free(node);
        return {};
    }
    const QVariant value = Plist::fromNode(node);
    plist_free(node);
    return value;
}

int majorVersion(const QVariant& productVersion)
{
    bool ok = false;
    const int major = productVersion.toString().section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? major : 0;
}

} // namespace

uint32_t RealMobileDevice::disconnect(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    dropClient(*d);
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
    return valueOf(d->lockdown, key.toUtf8().constData());
}

int RealMobileDevice::isPaired(const QString& udid)
{
    RecordState state = RecordState::Missing;
    readPairRecord(udid, &state);
    return state == RecordState::Usable ? 1 : 0;
}

uint32_t RealMobileDevice::pair(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    RecordState state = RecordState::Missing;
    QVariantMap record = readPairRecord(udid, &state);
    if (state != RecordState::Usable) {
        std::lock_guard lock(m_mutex);
        record = m_identities.value(udid);
    }
    std::lock_guard lock(d->mutex);
    const lockdownd_error_t connected = ensureClient(*d);
    if (connected != LOCKDOWN_E_SUCCESS)
        return mapped("pair", connected);
    if (record.isEmpty()) {
        // One identity per device, made here once: every further request
        // offers it again, so the trust dialog the device shows stays the one
        // the user is answering.
        const QByteArray publicKey = valueOf(d->lockdown, "DevicePublicKey").toByteArray();
        if (publicKey.isEmpty()) {
            qCWarning(lcOrvane) << "The device gave no public key to pair with";
            return MobileDeviceResult::kUndefined;
        }
        QString error;
        record = PairRecord::create(publicKey, systemBuid(), &error);
        if (record.isEmpty()) {
            qCWarning(lcOrvane) << "No host identity could be made:" << error;
            return MobileDeviceResult::kUndefined;
        }
        qCInfo(lcOrvane) << "Made a host identity for the device" << udid;
        std::lock_guard identities(m_mutex);
        m_identities.insert(udid, record);
    }
    if (record.value(QStringLiteral("SystemBUID")).toString().isEmpty()) {
        const QString buid = systemBuid();
        if (buid.isEmpty())
            return mapped("pair (no system identifier from usbmuxd)", LOCKDOWN_E_INVALID_CONF);
        record.insert(QStringLiteral("SystemBUID"), buid);
    }
    PairRecordView view(record);
    plist_t response = nullptr;
    const lockdownd_error_t rc =
        lockdownd_pair_with_options(d->lockdown, &view.record, nullptr, &response);
    if (rc != LOCKDOWN_E_SUCCESS) {
        plist_free(response);
        return mapped("pair", rc);
    }
    const QVariantMap answer = response ? Plist::fromNode(response).toMap() : QVariantMap();
    plist_free(response);
    const QByteArray escrow = answer.value(QStringLiteral("EscrowBag")).toByteArray();
    if (!escrow.isEmpty())
        record.insert(QStringLiteral("EscrowBag"), escrow);
    const QString wifi = valueOf(d->lockdown, "WiFiAddress").toString();
    if (!wifi.isEmpty())
        record.insert(QStringLiteral("WiFiMACAddress"), wifi);
    const QByteArray bytes = Plist::serialize(record, Plist::Format::Xml);
    uint32_t muxId = 0;
    idevice_get_handle(d->handle->device, &muxId);
    if (usbmuxd_save_pair_record_with_device_id(udid.toUtf8().constData(), muxId, bytes.constData(),
                                                static_cast<uint32_t>(bytes.size()))
        < 0) {
        qCWarning(lcOrvane) << "usbmuxd did not keep the pair record of" << udid;
        return MobileDeviceResult::kUndefined;
    }
    std::lock_guard identities(m_mutex);
    m_identities.remove(udid);
    return MobileDeviceResult::kSuccess;
}

uint32_t RealMobileDevice::validatePairing(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    RecordState state = RecordState::Missing;
    const QVariantMap record = readPairRecord(udid, &state);
    if (state != RecordState::Usable)
        return MobileDeviceResult::kInvalidHostId;
    std::lock_guard lock(d->mutex);
    const lockdownd_error_t connected = ensureClient(*d);
    if (connected != LOCKDOWN_E_SUCCESS)
        return mapped("validatePairing", connected);
    PairRecordView view(record);
    return mapped("validatePairing", lockdownd_validate_pair(d->lockdown, &view.record));
}

uint32_t RealMobileDevice::startSession(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    RecordState state = RecordState::Missing;
    const QVariantMap record = readPairRecord(udid, &state);
    if (state != RecordState::Usable)
        return MobileDeviceResult::kInvalidHostId;
    std::lock_guard lock(d->mutex);
    if (!d->handle)
        return MobileDeviceResult::kNotConnected;
    dropClient(*d);
    const lockdownd_error_t connected = ensureClient(*d);
    if (connected != LOCKDOWN_E_SUCCESS)
        return mapped("startSession", connected);
    const int major = majorVersion(valueOf(d->lockdown, "ProductVersion"));
    lockdownd_error_t rc = LOCKDOWN_E_UNKNOWN_ERROR;
    if (major >= 7) {
        // The handshake client learns the device's version before the
        // session's TLS starts, so the TLS version the device asks for is
        // offered (1.2 and later from iOS 10); without it the library caps
        // TLS at 1.0. With a record present it neither pairs nor validates.
        dropClient(*d);
        lockdownd_client_t client = nullptr;
        rc = lockdownd_client_new_with_handshake(d->handle->device, &client, kLabel);
        if (rc == LOCKDOWN_E_SUCCESS) {
            d->lockdown = client;
            d->inSession = true;
        }
    } else {
        // Older devices speak TLS 1.0, which the plain client offers.
        const QByteArray hostId = record.value(QStringLiteral("HostID")).toString().toUtf8();
        rc = lockdownd_start_session(d->lockdown, hostId.constData(), nullptr, nullptr);
        d->inSession = rc == LOCKDOWN_E_SUCCESS;
        if (rc != LOCKDOWN_E_SUCCESS)
            dropClient(*d);
    }
    return mapped("startSession", rc);
}

uint32_t RealMobileDevice::stopSession(const QString& udid)
{
    auto d = device(udid, false);
    if (!d)
        return MobileDeviceResult::kNotConnected;
    std::lock_guard lock(d->mutex);
    if (!d->lockdown || !d->inSession)
        return MobileDeviceResult::kUndefined;
    dropClient(*d);
    // Later value reads get a plain client of their own.
    return mapped("stopSession", ensureClient(*d));
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
    const lockdownd_error_t rc =
        lockdownd_start_service(d->lockdown, name.toUtf8().constData(), &descriptor);
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
    const sbservices_error_t rc =
        sbservices_client_new(real->device()->device, real->descriptor(), &client);
    if (rc != SBSERVICES_E_SUCCESS || !client) {
        qCWarning(lcOrvane) << "Could not open springboard services, error" << rc;
        return MobileDeviceResult::kUndefined;
    }
    *services = std::make_unique<RealSpringBoardServices>(real->device(), client);
    return MobileDeviceResult::kSuccess;
}
