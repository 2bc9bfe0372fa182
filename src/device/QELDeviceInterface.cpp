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
constexpr int kPairingRetryMs = 200;
constexpr int kSessionRetryMs = 200;
constexpr int kPasscodeRestartMs = 3000;
constexpr int kDisconnectDebounceMs = 2000;
constexpr int kSettleMs = 200;

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
        if (m_validDeviceConnected.load()
            && (notification.connection == DeviceConnectionType::Network
                || !_takeOverReplug(notification.device)))
            return;
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

void QELDeviceInterface::_onIOSConnectivity(quint64 generation)
{
    const QString device = connectedDevice();
    QELDeviceConnectivityArguments arguments;
    arguments.setDeviceOperatingSystemType(1);
    arguments.setConnectivityType(0);
    arguments.setDevicePairValidated(false);
    arguments.setSuccess(false);

    if (m_mobileDevice->connect(device) != MobileDeviceResult::kSuccess) {
        arguments.setDevicePairingStatus(0);
        if (deviceAlive(generation))
            sendConnected(arguments);
        return;
    }

    QString deviceClass =
        textValue(m_mobileDevice->copyValue(device, QStringLiteral("DeviceClass")));
    if (deviceClass.isEmpty())
        deviceClass = QStringLiteral("iPod");
    const QVariant productVersion =
        m_mobileDevice->copyValue(device, QStringLiteral("ProductVersion"));
    const int majorVersion = majorVersionOf(productVersion);

    // Pairing: one attempt every 0.2 s, each reported, until the device pairs,
    // the wait is ended, or the device is gone.
    bool untrustedNoted = false;
    int paired = m_mobileDevice->isPaired(device);
    qCInfo(lcOrvane, "AMDeviceIsPaired : %i", paired);
    while (paired != 1 && m_pairingWaitGeneration.load() == generation && deviceAlive(generation)) {
        const uint32_t pairResult = m_mobileDevice->pair(device);
        qCInfo(lcOrvane, "AMDevicePair : %i", static_cast<int>(pairResult));
        sleep(kPairingRetryMs);
        if (!deviceAlive(generation))
            break;
        const uint32_t result = m_mobileDevice->validatePairing(device);
        qCInfo(lcOrvane, "AMDeviceValidatePairing : %i", static_cast<int>(result));
        // The connection of a quick replug's earlier run may have been closed
        // under this one (its end disconnects the same device): without a
        // new connection every further attempt would fail the same way.
        if ((pairResult == MobileDeviceResult::kNotConnected
             || result == MobileDeviceResult::kNotConnected)
            && deviceAlive(generation))
            m_mobileDevice->connect(device);
        if (result == MobileDeviceResult::kPasscodeLocked) {
            arguments.setDevicePairingStatus(2);
        } else if (result == MobileDeviceResult::kNotTrusted
                   || result == MobileDeviceResult::kInvalidHostId) {
            if (majorVersion >= 7) {
                arguments.setDevicePairingStatus(3);
                untrustedNoted = true;
            } else {
                arguments.setDevicePairingStatus(2);
            }
        }
        sendConnected(arguments);
        paired = m_mobileDevice->isPaired(device);
    }
    // Ends only this connection's wait: a replug meanwhile has a wait of its own.
    quint64 waiting = generation;
    m_pairingWaitGeneration.compare_exchange_strong(waiting, 0);
    arguments.setSuccess(false);

    // The wait ended without a pairing (the device left, or the pairing was
    // ended): there is nothing to start a session with.
    if (paired != 1) {
        qCInfo(lcOrvane) << "Pairing ended before the device paired.";
        m_mobileDevice->disconnect(device);
        return;
    }

    if (untrustedNoted && majorVersion == 7) {
        qCInfo(lcOrvane) << "- iOS7 / Untrusted host. Cancelling Connect. Awaiting Reconnect.";
        m_mobileDevice->disconnect(device);
        return;
    }

    arguments.setDevicePairValidated(true);
    arguments.setDevicePairingStatus(1);
    m_mobileDevice->disconnect(device);
    m_mobileDevice->connect(device);
    while (m_mobileDevice->startSession(device) != MobileDeviceResult::kSuccess) {
        if (!sleep(kSessionRetryMs) || !deviceAlive(generation)) {
            m_mobileDevice->disconnect(device);
            return;
        }
        // A failed start may have dropped the lockdown connection.
        m_mobileDevice->connect(device);
    }

    // The file service is started once.
    std::unique_ptr<ServiceConnection> service;
    const uint32_t started = m_mobileDevice->startService(device, kAfcService, &service);
    if (started == MobileDeviceResult::kPasscodeLocked) {
        arguments.setDevicePairingStatus(2);
        arguments.setSuccess(false);
        sendConnected(arguments);
        m_mobileDevice->stopSession(device);
        m_mobileDevice->disconnect(device);
        if (!sleep(kPasscodeRestartMs) || !deviceAlive(generation))
            return;
        m_pairingWaitGeneration.store(generation);
        startWorker([this, generation] { _onIOSConnectivity(generation); });
        return;
    }
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
    sleep(kSettleMs);

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

    sleep(kSettleMs);
    m_mobileDevice->stopSession(device);
    sleep(kSettleMs);

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

bool QELDeviceInterface::_takeOverReplug(const QString& device)
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_fileManager || m_leftPendingDevice.isEmpty() || m_leftPendingDevice != device)
            return false;
        m_leftPendingDevice.clear();
        ++m_departure; // the pending debounce ends without a disconnection
        m_afcConnection.reset();
        m_validDeviceConnected.store(false);
    }
    disconnectFileRelayService();
    closeAppsConnection();
    qCInfo(lcOrvane) << "The device came back before its disconnection: connecting it again";
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
}
