// SPDX-License-Identifier: GPL-3.0-or-later
// The app services of QELDeviceInterface: the installation proxy and
// springboard services of the connected iOS device.
#include <QFileInfo>
#include <QUrl>

#include "Clock.h"
#include "InstallationProxy.h"
#include "Log.h"
#include "MobileDevice.h"
#include "QELDeviceApplicationInstallDelegate.h"
#include "QELDeviceInterface.h"
#include "ServiceConnection.h"
#include "SpringBoardServices.h"
#include "ThreadCheck.h"

namespace {

const QString kInstallationProxyService = QStringLiteral("com.apple.mobile.installation_proxy");
const QString kSpringBoardService = QStringLiteral("com.apple.springboardservices");
const QString kStagingFolder = QStringLiteral("/PublicStaging");
constexpr int kPauseAfterPackageMs = 500;

const QString kIdentifier = QStringLiteral("CFBundleIdentifier");
const QString kType = QStringLiteral("ApplicationType");
const QString kDisplayName = QStringLiteral("CFBundleDisplayName");
const QString kName = QStringLiteral("CFBundleName");
const QString kShortVersion = QStringLiteral("CFBundleShortVersionString");
const QString kVersion = QStringLiteral("CFBundleVersion");
const QString kInfoString = QStringLiteral("CFBundleGetInfoString");

// A text attribute; anything else a hostile Info.plist puts there reads as absent.
QString textOf(const QVariantMap& entry, const QString& key)
{
    const QVariant value = entry.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// The local path and the staged file name of a package given as a path or a
// file URL ("file://localhost/..." included).
QString localPathOf(const QString& package)
{
    if (package.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        QString text = package;
        text.remove(QStringLiteral("file://localhost"));
        const QUrl url(text);
        return url.isLocalFile() ? url.toLocalFile() : QUrl(package).toLocalFile();
    }
    return package;
}

} // namespace

bool QELDeviceInterface::StartAppsService()
{
    std::lock_guard lock(m_appsMutex);
    ++m_appsUsers;
    if (m_appsConnectionIsOpen && m_appsDevice == connectedDevice())
        return true;
    closeAppsConnectionLocked();
    return openAppsConnectionLocked();
}

bool QELDeviceInterface::openAppsConnectionLocked()
{
    const QString device = connectedDevice();
    if (device.isEmpty() || connectedDeviceOperatingSystem() != 1)
        return false;
    // A fresh session: the one left by the connection may have timed out.
    m_mobileDevice->stopSession(device);
    m_mobileDevice->disconnect(device);
    if (m_mobileDevice->connect(device) != MobileDeviceResult::kSuccess)
        return false;
    const auto endSession = [this, &device](bool started) {
        if (started)
            m_mobileDevice->stopSession(device);
        m_mobileDevice->disconnect(device);
    };
    if (m_mobileDevice->startSession(device) != MobileDeviceResult::kSuccess) {
        endSession(false);
        return false;
    }
    std::unique_ptr<ServiceConnection> installService;
    std::unique_ptr<InstallationProxy> proxy;
    uint32_t rc = m_mobileDevice->startService(device, kInstallationProxyService, &installService);
    if (rc == MobileDeviceResult::kSuccess && installService)
        rc = m_mobileDevice->installationProxyOpen(std::move(installService), &proxy);
    if (rc != MobileDeviceResult::kSuccess || !proxy) {
        qCInfo(lcOrvane, "Could not start the installation proxy: 0x%08X", rc);
        endSession(true);
        return false;
    }
    std::unique_ptr<ServiceConnection> springService;
    std::unique_ptr<SpringBoardServices> springBoard;
    rc = m_mobileDevice->startService(device, kSpringBoardService, &springService);
    if (rc == MobileDeviceResult::kSuccess && springService)
        rc = m_mobileDevice->springBoardServicesOpen(std::move(springService), &springBoard);
    // The services keep their own connections; the lockdown session is not needed by them.
    endSession(true);
    if (rc != MobileDeviceResult::kSuccess || !springBoard) {
        qCInfo(lcOrvane, "Could not start springboard services: 0x%08X", rc);
        return false;
    }
    m_installAppService = std::move(proxy);
    m_springboardAppService = std::move(springBoard);
    m_appsDevice = device;
    m_appsConnectionIsOpen = true;
    return true;
}

void QELDeviceInterface::StopAppsService()
{
    std::lock_guard lock(m_appsMutex);
    if (m_appsUsers > 0)
        --m_appsUsers;
    if (m_appsUsers == 0)
        closeAppsConnectionLocked();
}

bool QELDeviceInterface::appsConnectionIsOpen() const
{
    std::lock_guard lock(m_appsMutex);
    return m_appsConnectionIsOpen;
}

void QELDeviceInterface::closeAppsConnection()
{
    std::lock_guard lock(m_appsMutex);
    closeAppsConnectionLocked();
    m_appDictionary.clear();
}

void QELDeviceInterface::closeAppsConnectionLocked()
{
    m_installAppService.reset();
    m_springboardAppService.reset();
    m_appsConnectionIsOpen = false;
    m_appsDevice.clear();
}

uint32_t QELDeviceInterface::noteAppsResult(uint32_t code)
{
    if (code == MobileDeviceResult::kNotConnected) {
        qCInfo(lcOrvane) << "The apps connection broke; the next start opens it again";
        closeAppsConnectionLocked();
    }
    return code;
}

QStringList QELDeviceInterface::getAppIDList()
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_appsMutex);
    QStringList ids;
    if (!m_appsConnectionIsOpen)
        return ids;
    QVariantMap answer;
    // The names and versions come with the list, so apps installed since the
    // last load have their details too.
    if (noteAppsResult(m_installAppService->lookup(
            {kIdentifier, kType, kDisplayName, kName, kShortVersion, kVersion, kInfoString},
            &answer))
        != MobileDeviceResult::kSuccess)
        return ids;
    m_appDictionary = answer;
    for (auto it = answer.cbegin(); it != answer.cend(); ++it) {
        const QVariantMap entry = it.value().toMap();
        const QString id = textOf(entry, kIdentifier);
        if (!id.isEmpty() && textOf(entry, kType) == QLatin1String("User"))
            ids.append(id);
    }
    return ids;
}

bool QELDeviceInterface::ApplicationIsPresent(const QString& bundleId)
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_appsMutex);
    if (!m_appsConnectionIsOpen || bundleId.isEmpty())
        return false;
    QVariantMap answer;
    return noteAppsResult(m_installAppService->lookup({kIdentifier}, &answer))
        == MobileDeviceResult::kSuccess
        && answer.contains(bundleId);
}

std::optional<AppDetail> QELDeviceInterface::GetAppDetailByBundleId(const QString& bundleId)
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_appsMutex);
    if ((m_appDictionary.isEmpty() || !m_appDictionary.contains(bundleId))
        && m_appsConnectionIsOpen) {
        QVariantMap answer;
        if (noteAppsResult(m_installAppService->lookup(
                {kIdentifier, kDisplayName, kName, kShortVersion, kVersion, kInfoString}, &answer))
            == MobileDeviceResult::kSuccess)
            m_appDictionary = answer;
    }
    if (m_appDictionary.isEmpty())
        return std::nullopt;
    AppDetail detail;
    const QVariantMap entry = m_appDictionary.value(bundleId).toMap();
    detail.bundleId = textOf(entry, kIdentifier);
    detail.bundleDisplayName = textOf(entry, kDisplayName);
    // Many apps name themselves only by their bundle name.
    if (detail.bundleDisplayName.isEmpty())
        detail.bundleDisplayName = textOf(entry, kName);
    detail.bundleVersion = textOf(entry, kShortVersion);
    if (detail.bundleVersion.isEmpty())
        detail.bundleVersion = textOf(entry, kVersion);
    detail.bundleInfoString = textOf(entry, kInfoString);
    return detail;
}

QImage QELDeviceInterface::GetApplicationIconForBundleId(const QString& bundleId)
{
    assertNotOnGuiThread();
    QByteArray png;
    {
        std::lock_guard lock(m_appsMutex);
        if (!m_appsConnectionIsOpen || bundleId.isEmpty())
            return {};
        if (noteAppsResult(m_springboardAppService->iconPngData(bundleId, &png))
            != MobileDeviceResult::kSuccess)
            return {};
    }
    return QImage::fromData(png, "PNG");
}

bool QELDeviceInterface::ArchiveApplication(const QString& bundleId)
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_appsMutex);
    if (!m_appsConnectionIsOpen || bundleId.isEmpty())
        return false;
    return noteAppsResult(m_installAppService->archive(bundleId)) == MobileDeviceResult::kSuccess;
}

bool QELDeviceInterface::RemoveArchiveApplication(const QString& bundleId)
{
    assertNotOnGuiThread();
    std::lock_guard lock(m_appsMutex);
    if (!m_appsConnectionIsOpen || bundleId.isEmpty())
        return false;
    return noteAppsResult(m_installAppService->removeArchive(bundleId))
        == MobileDeviceResult::kSuccess;
}

int QELDeviceInterface::InstallApplicationsFromPaths(const QStringList& paths)
{
    assertNotOnGuiThread();
    if (paths.isEmpty())
        return 0;
    makeDir(kStagingFolder);
    const int count = static_cast<int>(paths.size());
    int installed = 0;
    for (int n = 1; n <= count; ++n) {
        const QString localPath = localPathOf(paths.at(n - 1));
        const QString fileName = QFileInfo(localPath).fileName();
        const QString stagedPath = kStagingFolder + QLatin1Char('/') + fileName;
        if (auto* receiver = m_applicationInstallDelegate.load())
            receiver->OnApplicationInstallEventForApplicationAppNumberOf(fileName, n, count);
        bool ok = false;
        if (!fileName.isEmpty()) {
            // A file left by an earlier, interrupted install would refuse the upload.
            if (fileExistsAtPath(stagedPath))
                deletePath(stagedPath);
            if (copyLocalFileAtToDevicePath(localPath, stagedPath)) {
                std::lock_guard lock(m_appsMutex);
                ok = m_appsConnectionIsOpen
                    && noteAppsResult(m_installAppService->install(stagedPath.mid(1)))
                        == MobileDeviceResult::kSuccess;
            }
            if (fileExistsAtPath(stagedPath))
                deletePath(stagedPath);
        }
        if (ok)
            ++installed;
        else
            qCInfo(lcOrvane) << "The device did not install" << fileName;
        if (auto* receiver = m_applicationInstallDelegate.load())
            receiver->OnApplicationInstallResultForApplicationInstalled(fileName, ok);
        Clock::sleepFor(Clock::Milliseconds(kPauseAfterPackageMs), &m_quitting);
    }
    deletePath(kStagingFolder);
    if (auto* receiver = m_applicationInstallDelegate.load())
        receiver->OnApplicationInstallCompleteInstalledOf(installed, count);
    return installed;
}

int QELDeviceInterface::UninstallApplicationsWithBundleIds(const QStringList& bundleIds)
{
    assertNotOnGuiThread();
    int uninstalled = 0;
    for (const QString& id : bundleIds) {
        if (id.isEmpty())
            continue;
        std::lock_guard lock(m_appsMutex);
        if (!m_appsConnectionIsOpen)
            break;
        if (noteAppsResult(m_installAppService->uninstall(id)) == MobileDeviceResult::kSuccess)
            ++uninstalled;
    }
    return uninstalled;
}
