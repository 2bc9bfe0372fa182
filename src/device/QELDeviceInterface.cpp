// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceInterface.h"

#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include "AfcConnection.h"
#include "Clock.h"
#include "IPodFramework.h"
#include "InstallationProxy.h"
#include "Locations.h"
#include "Log.h"
#include "MobileDevice.h"
#include "QELDeviceConnectivityDelegate.h"
#include "ServiceConnection.h"
#include "SpringBoardServices.h"

namespace {

constexpr int kPollIntervalMs = 2000;
constexpr int kMountPointRetryMs = 1000;
constexpr int kShuffleStartDelayMs = 1000;
// A device whose trust dialog is up, or that is locked while pairing, is
// asked again at this pace.
constexpr int kPairingRetryMs = 500;
// A session or service refused because the device is locked.
constexpr int kPasscodeRetryMs = 3000;
// Before another try of a step that failed otherwise (a device that has just
// arrived may need a moment).
constexpr int kRetryAfterFailureMs = 200;
constexpr int kMaxFailedAttempts = 10;
constexpr int kDisconnectDebounceMs = 2000;

const QString kAfcService = QStringLiteral("com.apple.afc");

QString textValue(const QVariant& value) { return value.isValid() ? value.toString() : QString(); }

// "iPhone15,2" -> {15, 2}; false when the text is not "<letters><major>,<minor>".
bool parseProductType(const QString& productType, int* major, int* minor)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z]*(\\d+),(\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(productType.trimmed());
    if (!match.hasMatch())
        return false;
    bool okMajor = false, okMinor = false;
    *major = match.captured(1).toInt(&okMajor);
    *minor = match.captured(2).toInt(&okMinor);
    return okMajor && okMinor;
}

} // namespace

QELDeviceInterface::QELDeviceInterface(std::shared_ptr<MobileDevice> mobileDevice,
                                       std::shared_ptr<IPodFramework> iPods)
    : m_mobileDevice(std::move(mobileDevice))
    , m_iPods(std::move(iPods))
{
}

QELDeviceInterface::~QELDeviceInterface() { shutdown(); }

std::unique_ptr<QELDeviceInterface> QELDeviceInterface::create()
{
    return std::make_unique<QELDeviceInterface>(createMobileDevice(),
                                                std::make_shared<IPodFramework>());
}

std::unique_ptr<QELDeviceInterface> QELDeviceInterface::createOverFolder(const QString& mountPoint)
{
    auto device = std::make_unique<QELDeviceInterface>(
        nullptr, std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
    {
        std::lock_guard lock(device->m_stateMutex);
        device->m_standardDeviceBasePath = mountPoint;
        device->m_fileManager = true;
    }
    device->m_connectedDeviceOperatingSystem.store(0);
    device->m_validDeviceConnected.store(true);
    device->updateDeviceInformation(
        [](QELDeviceInformation& information) { information.setDeviceOperatingSystemType(0); });
    return device;
}

// --- Device types -----------------------------------------------------------

qint64 QELDeviceInterface::deviceTypeFor(const QString& deviceClass, const QString& productType,
                                         qint64 current)
{
    int major = 0, minor = 0;
    const bool parsed = parseProductType(productType, &major, &minor);
    const auto minorIn = [minor](std::initializer_list<int> values) {
        return std::find(values.begin(), values.end(), minor) != values.end();
    };
    const QString kind = deviceClass.toLower();
    if (kind.startsWith(QLatin1String("iphone"))) {
        if (!parsed || major < 2)
            return 2;
        switch (major) {
        case 2:
            return 7;
        case 3:
        case 4:
            return 8;
        case 5:
            return minorIn({3, 4}) ? 15 : 9;
        case 6:
            return 16;
        case 7:
            return 18;
        default:
            return 19; // 8 and every newer model
        }
    }
    if (kind.startsWith(QLatin1String("ipod"))) {
        if (!parsed || major < 4)
            return 3;
        return major == 4 ? 10 : 11;
    }
    if (kind.startsWith(QLatin1String("ipad"))) {
        if (!parsed || major < 2)
            return 4;
        switch (major) {
        case 2:
            return minorIn({5, 6, 7}) ? 14 : 12;
        case 3:
            return 13;
        case 4:
            return minorIn({4, 5, 6}) ? 14 : 17;
        case 5:
            return minorIn({1, 2}) ? 14 : 17;
        default:
            return 17; // newer than the newest listed row
        }
    }
    return current;
}

QString QELDeviceInterface::deviceTypeStringFor(const QString& deviceClass,
                                                const QString& productType, qint64 type)
{
    int major = 0, minor = 0;
    const QString kind = deviceClass.toLower();
    if (parseProductType(productType, &major, &minor)) {
        // The newest rows: iPhone8,1 and 8,2 (iPhone8,4 is another model) and iPad5,x.
        if (kind.startsWith(QLatin1String("iphone")) && (major > 8 || (major == 8 && minor > 2)))
            return QStringLiteral("iPhone");
        if (kind.startsWith(QLatin1String("ipad")) && major > 5)
            return QStringLiteral("iPad");
    }
    return QELDeviceInformation::displayNameForType(type);
}

int QELDeviceInterface::majorVersionOf(const QVariant& productVersion)
{
    const QString text = textValue(productVersion).trimmed();
    if (text.isEmpty())
        return 6;
    bool ok = false;
    const int major = text.section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? major : 6;
}

// --- Accessors --------------------------------------------------------------

QELDeviceInformation QELDeviceInterface::deviceInformation() const
{
    std::lock_guard lock(m_stateMutex);
    return m_deviceInformation;
}

void QELDeviceInterface::setDeviceInformation(const QELDeviceInformation& information)
{
    std::lock_guard lock(m_stateMutex);
    m_deviceInformation = information;
}

void QELDeviceInterface::updateDeviceInformation(
    const std::function<void(QELDeviceInformation&)>& change)
{
    std::lock_guard lock(m_stateMutex);
    change(m_deviceInformation);
}

QString QELDeviceInterface::standardDeviceBasePath() const
{
    std::lock_guard lock(m_stateMutex);
    return m_standardDeviceBasePath;
}

QString QELDeviceInterface::connectedDevice() const
{
    std::lock_guard lock(m_stateMutex);
    return m_connectedDevice;
}

std::shared_ptr<AfcConnection> QELDeviceInterface::afc() const
{
    std::lock_guard lock(m_stateMutex);
    return m_afcConnection;
}

bool QELDeviceInterface::diskMode() const
{
    std::lock_guard lock(m_stateMutex);
    return m_fileManager;
}

// --- Threads and events -----------------------------------------------------

void QELDeviceInterface::startWorker(std::function<void()> body)
{
    // Refused once shutdown() has begun: it stops the list before joining it.
    if (m_quitting.load())
        return;
    m_workers.start(std::move(body));
}

bool QELDeviceInterface::sleep(int milliseconds) const
{
    return Clock::sleepFor(Clock::Milliseconds(milliseconds), &m_quitting);
}

bool QELDeviceInterface::deviceAlive(quint64 generation) const
{
    return !m_quitting.load() && m_generation.load() == generation;
}

bool QELDeviceInterface::pollerAlive(quint64 pollerGeneration) const
{
    return !m_quitting.load() && !m_cancelConnectivityDetect.load()
        && m_pollerGeneration.load() == pollerGeneration;
}

void QELDeviceInterface::sendConnected(const QELDeviceConnectivityArguments& arguments)
{
    QELDeviceConnectivityDelegate* receiver = m_delegate.load();
    if (!receiver || m_quitting.load())
        return;
    const QELDeviceConnectivityArguments snapshot = arguments;
    receiver->OnDeviceConnected(snapshot);
}

void QELDeviceInterface::sendDisconnected(const QELDeviceConnectivityArguments& arguments)
{
    QELDeviceConnectivityDelegate* receiver = m_delegate.load();
    if (!receiver || m_quitting.load())
        return;
    const QELDeviceConnectivityArguments snapshot = arguments;
    receiver->OnDeviceDisconnected(snapshot);
}

void QELDeviceInterface::sendCommunicating(bool communicating, const QString& devicePath)
{
    if (QELDeviceConnectivityDelegate* receiver = m_delegate.load())
        receiver->OnDeviceCommunicatingWithSourceFile(communicating, devicePath);
}

void QELDeviceInterface::BeginDeviceConnectionDetect()
{
    // An interface over a folder detects nothing.
    if (m_quitting.load() || !m_mobileDevice || m_detecting.exchange(true))
        return;
    m_cancelConnectivityDetect.store(false);
    {
        std::lock_guard lock(m_stateMutex);
        m_connectedDevice.clear();
        m_devicePreferencesBackupPath = Locations::temporaryFolder();
    }
    m_mobileDevice->notificationSubscribe(
        [this](const DeviceNotification& notification) { _iOSNotifyConnectivity(notification); });
    _startDeviceConnectivityThreads();
}

void QELDeviceInterface::shutdown()
{
    if (m_quitting.exchange(true))
        return;
    m_pairingWaitGeneration.store(0);
    m_cancelConnectivityDetect.store(true);
    if (m_mobileDevice)
        m_mobileDevice->notificationUnsubscribe();
    m_workers.stopAndJoinAll();
    disconnectFileRelayService();
    closeAppsConnection();
    std::lock_guard lock(m_stateMutex);
    m_afcConnection.reset();
}

void QELDeviceInterface::_startDeviceConnectivityThreads()
{
    m_cancelConnectivityDetect.store(false);
    // Pollers of an earlier start stop at their next check.
    const quint64 generation = ++m_pollerGeneration;
    startWorker([this, generation] { _ipodConnectivityCheckThread(generation); });
    startWorker([this, generation] { _ipodShuffleConnectivityCheckThread(generation); });
}

void QELDeviceInterface::_iOSNotifyConnectivity(const DeviceNotification& notification)
{
    if (m_quitting.load())
        return;
    switch (notification.kind) {
    case DeviceNotification::Arrived: {
        m_lastNotificationMessageConnect.store(true);
        // A replug within the disconnection debounce is a new connection: the
        // device's old file connection died with the cable, so the device is
        // connected afresh. Any other arrival waits while a device is connected.
        if (notification.connection == DeviceConnectionType::Usb
            && _takeOverDeparted(notification.device)) {
            // The connected device left (or its replug is back): this one is
            // connected in its place.
        } else if (m_validDeviceConnected.load() || m_connectingGeneration.load() != 0) {
            if (notification.connection == DeviceConnectionType::Usb
                && notification.device != connectedDevice())
                qCInfo(lcOrvane) << "Another device was attached while" << connectedDevice()
                                 << "is being read; it is left alone:" << notification.device;
            return;
        }
        QString deviceClass, productVersion;
        if (m_mobileDevice->connect(notification.device) == MobileDeviceResult::kSuccess) {
            deviceClass = textValue(
                m_mobileDevice->copyValue(notification.device, QStringLiteral("DeviceClass")));
            productVersion = textValue(
                m_mobileDevice->copyValue(notification.device, QStringLiteral("ProductVersion")));
        } else {
            qCInfo(lcOrvane) << "Could not connect to the arriving device" << notification.device;
        }
        m_mobileDevice->disconnect(notification.device);
        // A device over Wi-Fi announces neither value; its connection type says
        // so as well.
        if (notification.connection == DeviceConnectionType::Network
            || (deviceClass.isEmpty() && productVersion.isEmpty())) {
            m_lastNotificationMessageConnect.store(false);
            qCInfo(lcOrvane) << "Skipping WiFi connected iOS device.";
            return;
        }
        m_cancelConnectivityDetect.store(true);
        {
            std::lock_guard lock(m_stateMutex);
            m_connectedDevice = notification.device;
        }
        m_connectedDeviceOperatingSystem.store(1);
        const quint64 generation = ++m_generation;
        m_pairingWaitGeneration.store(generation);
        m_connectingGeneration.store(generation);
        startWorker([this, generation] { _onIOSConnectivity(generation); });
        return;
    }
    case DeviceNotification::Left: {
        // Only USB devices are ever connected: a network instance of the same
        // device leaving says nothing about the cable.
        if (notification.connection == DeviceConnectionType::Network)
            return;
        quint64 departure = 0;
        {
            std::lock_guard lock(m_stateMutex);
            if (m_connectedDevice.isEmpty() || m_connectedDevice != notification.device)
                return;
            m_leftPendingDevice = notification.device;
            departure = ++m_departure;
        }
        m_lastNotificationMessageConnect.store(false);
        m_pairingWaitGeneration.store(0);
        // Retry loops working for this device end now.
        ++m_generation;
        startWorker([this, departure] { _pauseAndTestForDisconnection(departure); });
        return;
    }
    case DeviceNotification::PairingEnded:
        m_pairingWaitGeneration.store(0);
        return;
    default:
        return;
    }
}

void QELDeviceInterface::retryPairing() { m_retryPairing.store(true); }

void QELDeviceInterface::_onIOSConnectivity(quint64 generation)
{
    // While this runs, another device's arrival is only noted.
    struct Connecting {
        QELDeviceInterface* self;
        quint64 generation;
        ~Connecting()
        {
            quint64 mine = generation;
            self->m_connectingGeneration.compare_exchange_strong(mine, 0);
        }
    } connecting{this, generation};
    const QString device = connectedDevice();
    QELDeviceConnectivityArguments arguments;
    arguments.setDeviceOperatingSystemType(1);
    arguments.setConnectivityType(0);
    arguments.setDevicePairValidated(false);
    arguments.setSuccess(false);

    // The connection ends with status 0 and a reason for the user.
    const auto fail = [&](const QString& reason) {
        arguments.setDevicePairingStatus(0);
        arguments.setDevicePairValidated(false);
        arguments.setSuccess(false);
        arguments.setFailureReason(reason);
        m_mobileDevice->disconnect(device);
        if (deviceAlive(generation))
            sendConnected(arguments);
    };
    const auto reasonFor = [](uint32_t code) {
        return code == MobileDeviceResult::kTimedOut ? QStringLiteral("DEVICENOTANSWERING")
                                                     : QStringLiteral("DEVICECONNECTIONFAILED");
    };

    const uint32_t connected = m_mobileDevice->connect(device);
    if (connected != MobileDeviceResult::kSuccess) {
        fail(reasonFor(connected));
        return;
    }

    QString deviceClass =
        textValue(m_mobileDevice->copyValue(device, QStringLiteral("DeviceClass")));
    if (deviceClass.isEmpty())
        deviceClass = QStringLiteral("iPod");
    const QVariant productVersion =
        m_mobileDevice->copyValue(device, QStringLiteral("ProductVersion"));
    const int majorVersion = majorVersionOf(productVersion);

    // Every step is tried at once; only a failure waits before the next try,
    // and failures that are not one of the device's known answers are
    // bounded, so a device that keeps failing ends on the looking-for-device
    // page instead of being asked forever.
    int failures = 0;
    const auto retryAfterFailure = [&](uint32_t code, const char* step) {
        qCInfo(lcOrvane, "%s failed: 0x%08X", step, code);
        if (code == MobileDeviceResult::kTimedOut || ++failures > kMaxFailedAttempts) {
            qCInfo(lcOrvane) << "Giving up on the device:" << device;
            fail(reasonFor(code));
            return false;
        }
        // The first retry comes soon (a device that has just arrived may need
        // a moment); later ones no faster than the pairing pace.
        if (!sleep(failures == 1 ? kRetryAfterFailureMs : kPairingRetryMs)
            || !deviceAlive(generation)) {
            m_mobileDevice->disconnect(device);
            return false;
        }
        // A failed call may have taken the lockdown connection with it.
        m_mobileDevice->connect(device);
        return true;
    };
    // Waits before asking a locked or undecided device again; false when the
    // device left or the program quits meanwhile.
    const auto waitFor = [&](int milliseconds) {
        if (sleep(milliseconds) && deviceAlive(generation))
            return true;
        m_mobileDevice->disconnect(device);
        return false;
    };
    const auto report = [&](qint64 status) {
        arguments.setDevicePairingStatus(status);
        arguments.setDevicePairValidated(false);
        arguments.setSuccess(false);
        sendConnected(arguments);
    };

    bool untrustedNoted = false;
    // The device refused the held record (it forgot this computer): the next
    // pass pairs again, with that same record.
    bool pairAgain = false;
    for (;;) {
        if (!deviceAlive(generation)) {
            m_mobileDevice->disconnect(device);
            return;
        }
        int paired = pairAgain ? 0 : m_mobileDevice->isPaired(device);
        qCInfo(lcOrvane, "AMDeviceIsPaired : %i", paired);
        if (paired == 1 && majorVersion < 7) {
            // Only devices below iOS 7 need the validation before a session.
            const uint32_t valid = m_mobileDevice->validatePairing(device);
            qCInfo(lcOrvane, "AMDeviceValidatePairing : %i", static_cast<int>(valid));
            if (valid == MobileDeviceResult::kPasscodeLocked) {
                report(2);
                if (!waitFor(kPasscodeRetryMs))
                    return;
                continue;
            }
            if (valid == MobileDeviceResult::kInvalidHostId
                || valid == MobileDeviceResult::kNotTrusted) {
                paired = 0;
            } else if (valid != MobileDeviceResult::kSuccess) {
                if (!retryAfterFailure(valid, "Pairing validation"))
                    return;
                continue;
            }
        }

        if (paired != 1) {
            if (m_pairingWaitGeneration.load() != generation) {
                qCInfo(lcOrvane) << "Pairing ended before the device paired.";
                m_mobileDevice->disconnect(device);
                return;
            }
            const uint32_t result = m_mobileDevice->pair(device);
            qCInfo(lcOrvane, "AMDevicePair : %i", static_cast<int>(result));
            switch (result) {
            case MobileDeviceResult::kSuccess:
                pairAgain = false;
                continue;
            case MobileDeviceResult::kNotTrusted:
            case MobileDeviceResult::kInvalidHostId:
                // The trust dialog is up: asked again, with the same identity,
                // until the user answers it.
                if (majorVersion >= 7) {
                    untrustedNoted = true;
                    report(3);
                } else {
                    report(2);
                }
                if (!waitFor(kPairingRetryMs))
                    return;
                continue;
            case MobileDeviceResult::kPasscodeLocked:
                report(2);
                if (!waitFor(kPairingRetryMs))
                    return;
                continue;
            case MobileDeviceResult::kPairingDenied:
                // Asking again would raise the dialog the user just declined:
                // wait until the user asks for it (or the device goes).
                qCInfo(lcOrvane) << "The user declined to trust this computer.";
                m_retryPairing.store(false);
                report(4);
                while (!m_retryPairing.exchange(false)) {
                    if (m_pairingWaitGeneration.load() != generation || !waitFor(kPairingRetryMs)) {
                        m_mobileDevice->disconnect(device);
                        return;
                    }
                }
                qCInfo(lcOrvane) << "Asking the device to trust this computer again.";
                continue;
            default:
                if (!retryAfterFailure(result, "Pairing"))
                    return;
                continue;
            }
        }

        if (untrustedNoted && majorVersion == 7) {
            qCInfo(lcOrvane) << "- iOS7 / Untrusted host. Cancelling Connect. Awaiting Reconnect.";
            m_mobileDevice->disconnect(device);
            return;
        }

        const uint32_t session = m_mobileDevice->startSession(device);
        if (session == MobileDeviceResult::kInvalidHostId) {
            qCInfo(lcOrvane)
                << "The device does not know this computer's pair record: pairing again.";
            pairAgain = true;
            continue;
        }
        if (session == MobileDeviceResult::kPasscodeLocked) {
            report(2);
            if (!waitFor(kPasscodeRetryMs))
                return;
            m_mobileDevice->connect(device);
            continue;
        }
        if (session != MobileDeviceResult::kSuccess) {
            if (!retryAfterFailure(session, "Session start"))
                return;
            continue;
        }

        // The file service is started once per session.
        std::unique_ptr<ServiceConnection> service;
        const uint32_t started = m_mobileDevice->startService(device, kAfcService, &service);
        if (started == MobileDeviceResult::kPasscodeLocked) {
            // Locked: the passcode page, and another try every 3 s until the
            // user unlocks the device.
            m_mobileDevice->stopSession(device);
            report(2);
            if (!waitFor(kPasscodeRetryMs))
                return;
            m_mobileDevice->connect(device);
            continue;
        }
        arguments.setDevicePairValidated(true);
        arguments.setDevicePairingStatus(1);
        arguments.setFailureReason(QString());
        if (started == MobileDeviceResult::kSuccess && service) {
            std::unique_ptr<AfcConnection> connection;
            if (m_mobileDevice->afcConnectionOpen(std::move(service), &connection)
                    == MobileDeviceResult::kSuccess
                && connection) {
                std::lock_guard lock(m_stateMutex);
                m_afcConnection = std::move(connection);
                m_fileManager = false;
                arguments.setIsJailbreaked(false);
                arguments.setSuccess(true);
            }
        } else {
            qCInfo(lcOrvane, "Could not start the file service: 0x%08X", started);
        }
        break;
    }

    const QString deviceName =
        textValue(m_mobileDevice->copyValue(device, QStringLiteral("DeviceName")));
    QString uniqueId =
        textValue(m_mobileDevice->copyValue(device, QStringLiteral("UniqueDeviceID")));
    if (uniqueId.isEmpty())
        uniqueId = device;
    {
        std::lock_guard lock(m_stateMutex);
        m_preferencesDevice = uniqueId;
    }
    if (arguments.success())
        modifyITunesPreferences();

    if (!deviceName.isEmpty())
        arguments.setDeviceName(deviceName);
    arguments.setUniqueDeviceID(uniqueId);
    QString productType =
        textValue(m_mobileDevice->copyValue(device, QStringLiteral("ProductType")));
    if (productType.isEmpty())
        productType = QStringLiteral("1,0");
    updateDeviceInformation([&](QELDeviceInformation& information) {
        information.setDeviceId(uniqueId);
        const qint64 type = deviceTypeFor(deviceClass, productType, information.deviceType());
        if (type != information.deviceType() || information.deviceTypeString().isEmpty())
            information.setDeviceType(type);
        const QString text = deviceTypeStringFor(deviceClass, productType, type);
        if (text != QELDeviceInformation::displayNameForType(type))
            information.setDeviceTypeString(text);
    });

    m_mobileDevice->stopSession(device);

    updateDeviceInformation([&](QELDeviceInformation& information) {
        if (!deviceName.isEmpty())
            information.setDeviceName(deviceName);
        const QString version = textValue(productVersion);
        if (!version.isEmpty())
            information.setIOSVersion(version);
        if (arguments.success())
            information.setDeviceOperatingSystemType(1);
    });
    arguments.setDeviceInformation(deviceInformation());
    m_mobileDevice->disconnect(device);
    if (!deviceAlive(generation))
        return;
    if (arguments.success())
        m_validDeviceConnected.store(true);
    sendConnected(arguments);
}

bool QELDeviceInterface::_takeOverDeparted(const QString& device)
{
    QString departed;
    {
        std::lock_guard lock(m_stateMutex);
        if (m_fileManager || m_leftPendingDevice.isEmpty())
            return false;
        departed = m_leftPendingDevice;
        m_leftPendingDevice.clear();
        ++m_departure; // the pending debounce ends here
        m_afcConnection.reset();
        if (departed != device)
            m_connectedDevice.clear();
        m_validDeviceConnected.store(false);
    }
    disconnectFileRelayService();
    closeAppsConnection();
    if (departed == device) {
        qCInfo(lcOrvane) << "The device came back before its disconnection: connecting it again";
        return true;
    }
    // Another device arrived while the connected one's departure was being
    // confirmed (a swap, or a real device taking the demo device's place):
    // the departed one is disconnected at once.
    qCInfo(lcOrvane) << "Device" << departed << "left and" << device
                     << "arrived: connecting the new one";
    m_mobileDevice->disconnect(departed);
    QELDeviceConnectivityArguments arguments;
    arguments.setDeviceOperatingSystemType(1);
    arguments.setConnectivityType(1);
    arguments.setSuccess(false);
    sendDisconnected(arguments);
    return true;
}

void QELDeviceInterface::_pauseAndTestForDisconnection(quint64 departure)
{
    if (!sleep(kDisconnectDebounceMs))
        return;
    if (m_lastNotificationMessageConnect.load())
        return;
    QString device;
    {
        std::lock_guard lock(m_stateMutex);
        // A later departure (or a replug) has its own debounce.
        if (m_departure != departure)
            return;
        m_leftPendingDevice.clear();
        device = m_connectedDevice;
        m_connectedDevice.clear();
        m_afcConnection.reset();
    }
    if (!device.isEmpty())
        m_mobileDevice->disconnect(device);
    m_validDeviceConnected.store(false);
    disconnectFileRelayService();
    closeAppsConnection();

    QELDeviceConnectivityArguments arguments;
    arguments.setDeviceOperatingSystemType(1);
    arguments.setConnectivityType(1);
    arguments.setSuccess(false);
    _startDeviceConnectivityThreads();
    sendDisconnected(arguments);
}

// --- Disk-mode iPods --------------------------------------------------------

void QELDeviceInterface::_ipodConnectivityCheckThread(quint64 pollerGeneration)
{
    QELDeviceConnectivityArguments arguments;
    arguments.setConnectivityType(0);
    arguments.setDeviceOperatingSystemType(0);
    QString basePath;
    QString volume;

    while (pollerAlive(pollerGeneration)) {
        QList<IPodHandle> iPods;
        if (!m_iPods->copyConnected(&iPods) || iPods.isEmpty()) {
            sleep(kPollIntervalMs);
            continue;
        }
        const IPodHandle iPod = iPods.first();
        if (!m_iPods->acquireLock(iPod)) {
            sleep(kPollIntervalMs);
            continue;
        }
        // The mount point, and then the volume itself, once they are there;
        // both waits end when the iPod goes or detection stops.
        QString mountPoint;
        while (pollerAlive(pollerGeneration) && !m_iPods->copyMountpoint(iPod, &mountPoint)) {
            QList<IPodHandle> now;
            m_iPods->copyConnected(&now);
            if (std::none_of(now.cbegin(), now.cend(),
                             [&](const IPodHandle& h) { return h.volume == iPod.volume; }))
                break;
            sleep(kMountPointRetryMs);
        }
        if (mountPoint.isEmpty())
            continue;
        bool reachable = false;
        while (pollerAlive(pollerGeneration)) {
            if (QFileInfo::exists(mountPoint)) {
                reachable = true;
                break;
            }
            if (!m_iPods->acquireLock(iPod))
                break;
            sleep(kMountPointRetryMs);
        }
        if (!reachable)
            continue;
        basePath = mountPoint + QLatin1Char('/');
        volume = mountPoint;
        arguments.setMountPoint(basePath);
        arguments.setUniqueDeviceID(
            QStringLiteral("intval:%1").arg(static_cast<int32_t>(m_iPods->getUniqueID(iPod))));
        const QString name = m_iPods->copyName(iPod);
        if (!name.isEmpty())
            arguments.setDeviceName(name);
        // Only one poller (and no iOS device) may claim the connection.
        bool expected = false;
        if (!pollerAlive(pollerGeneration)
            || !m_validDeviceConnected.compare_exchange_strong(expected, true))
            return;
        connectDiskMode(arguments, basePath, 1, volume);
        return;
    }
}

void QELDeviceInterface::_ipodShuffleConnectivityCheckThread(quint64 pollerGeneration)
{
    if (!sleep(kShuffleStartDelayMs))
        return;
    QELDeviceConnectivityArguments arguments;
    arguments.setConnectivityType(0);
    arguments.setDeviceOperatingSystemType(0);
    while (pollerAlive(pollerGeneration)) {
        QString found;
        // Every volume is looked at: the last one listed wins.
        for (const QString& volume : m_iPods->mountedRemovableVolumes()) {
            if (QFileInfo::exists(volume + QStringLiteral("/iPod_Control/iTunes/iTunesSD")))
                found = volume;
        }
        if (!found.isEmpty()) {
            arguments.setDeviceName(QStringLiteral("iPod Shuffle"));
            arguments.setMountPoint(found);
            bool expected = false;
            if (!pollerAlive(pollerGeneration)
                || !m_validDeviceConnected.compare_exchange_strong(expected, true))
                return;
            connectDiskMode(arguments, found, 5, found);
            return;
        }
        sleep(kPollIntervalMs);
    }
}

void QELDeviceInterface::connectDiskMode(QELDeviceConnectivityArguments arguments,
                                         const QString& basePath, qint64 type,
                                         const QString& volume)
{
    // Stop the other poller first.
    m_cancelConnectivityDetect.store(true);
    m_connectedDeviceOperatingSystem.store(0);
    {
        std::lock_guard lock(m_stateMutex);
        m_standardDeviceBasePath = basePath;
        m_fileManager = true;
        m_afcConnection.reset();
        // A shuffle has no identifier of its own; its volume's file-system id
        // tells two shuffles with the same label apart.
        m_preferencesDevice = arguments.uniqueDeviceID().isEmpty()
            ? QStringLiteral("volume:%1").arg(m_iPods->volumeUniqueID(volume))
            : arguments.uniqueDeviceID();
    }
    modifyITunesPreferences();
    QImage icon;
    if (type == 1) {
        const QString iconPath = volume + QStringLiteral("/.VolumeIcon.icns");
        if (QFileInfo::exists(iconPath))
            icon = QImageReader(iconPath).read();
    }
    updateDeviceInformation([&](QELDeviceInformation& information) {
        information.setDeviceType(type);
        if (!icon.isNull())
            information.setDeviceImage(icon);
        information.setDeviceOperatingSystemType(0);
        if (!arguments.uniqueDeviceID().isEmpty())
            information.setDeviceId(arguments.uniqueDeviceID());
        if (!arguments.deviceName().isEmpty())
            information.setDeviceName(arguments.deviceName());
    });
    arguments.setDeviceInformation(deviceInformation());
    arguments.setSuccess(true);
    arguments.setDevicePairValidated(true);
    sendConnected(arguments);
    const quint64 watch = ++m_diskWatchGeneration;
    startWorker([this, watch, volume] { _diskModeRemovalWatch(watch, volume); });
}

bool QELDeviceInterface::diskModeVolumePresent(const QString& volume) const
{
    // Unmounted, the mount point may stay as an empty folder.
    return m_iPods->mountedRemovableVolumes().contains(volume)
        && QFileInfo::exists(volume + QStringLiteral("/iPod_Control"));
}

void QELDeviceInterface::_diskModeRemovalWatch(quint64 watch, const QString& volume)
{
    while (m_diskWatchGeneration.load() == watch) {
        if (!sleep(kPollIntervalMs) || m_diskWatchGeneration.load() != watch)
            return;
        if (diskModeVolumePresent(volume))
            continue;
        qCInfo(lcOrvane) << "The disk-mode iPod's volume is gone:" << volume;
        {
            std::lock_guard lock(m_stateMutex);
            m_fileManager = false;
            m_standardDeviceBasePath.clear();
        }
        m_validDeviceConnected.store(false);
        QELDeviceConnectivityArguments arguments;
        arguments.setDeviceOperatingSystemType(0);
        arguments.setConnectivityType(1);
        arguments.setSuccess(false);
        _startDeviceConnectivityThreads();
        sendDisconnected(arguments);
        return;
    }
}
