// SPDX-License-Identifier: GPL-3.0-or-later
// The file-relay service of QELDeviceInterface.
#include "QELDeviceInterface.h"

#include "Log.h"
#include "MobileDevice.h"
#include "QELDeviceMessaging.h"
#include "ServiceConnection.h"

#include <QFile>

namespace {
constexpr uint32_t kRelayChunk = 1024000;
}

bool QELDeviceInterface::connectToFileRelayService()
{
    std::lock_guard lock(m_fileRelayMutex);
    m_fileRelayServiceStarted = false;
    m_fileRelayService.reset();
    const QString device = connectedDevice();
    if (device.isEmpty() || connectedDeviceOperatingSystem() != 1)
        return false;
    if (m_mobileDevice->connect(device) != MobileDeviceResult::kSuccess)
        return false;
    if (m_mobileDevice->startSession(device) != MobileDeviceResult::kSuccess) {
        m_mobileDevice->disconnect(device);
        return false;
    }
    std::unique_ptr<ServiceConnection> service;
    if (m_mobileDevice->startService(device, QStringLiteral("com.apple.mobile.file_relay"), &service)
            != MobileDeviceResult::kSuccess
        || !service) {
        m_mobileDevice->stopSession(device);
        m_mobileDevice->disconnect(device);
        return false;
    }
    m_fileRelayService = std::move(service);
    m_fileRelayDevice = device;
    m_fileRelayServiceStarted = true;
    return true;
}

bool QELDeviceInterface::requestFileRelaySource(const QStringList& sources)
{
    std::lock_guard lock(m_fileRelayMutex);
    if (!m_fileRelayServiceStarted || !m_fileRelayService)
        return false;
    QVariantList names;
    for (const QString& source : sources)
        names.append(source);
    if (!QELDeviceMessaging::SendMessageToServiceSetkeysSetValuesNumberOfEntries(
            *m_fileRelayService, {QStringLiteral("Sources")}, {names}, 1))
        return false;
    const QVariantMap reply = QELDeviceMessaging::ReceiveMessageFromService(*m_fileRelayService).toMap();
    if (reply.contains(QStringLiteral("Error"))) {
        qCInfo(lcOrvane) << "File relay refused the request:" << reply.value(QStringLiteral("Error")).toString();
        return false;
    }
    return reply.value(QStringLiteral("Status")).toString().compare(QLatin1String("Acknowledged"), Qt::CaseInsensitive)
           == 0;
}

bool QELDeviceInterface::receiveFileRelayItem(const QString& localPath)
{
    std::lock_guard lock(m_fileRelayMutex);
    if (!m_fileRelayServiceStarted || !m_fileRelayService)
        return false;
    QFile out(localPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray buffer(static_cast<qsizetype>(kRelayChunk), '\0');
    for (;;) {
        const int64_t got = m_fileRelayService->receive(buffer.data(), kRelayChunk);
        if (got <= 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            out.close();
            out.remove();
            return false;
        }
    }
    return out.flush();
}

void QELDeviceInterface::disconnectFileRelayService()
{
    std::lock_guard lock(m_fileRelayMutex);
    if (!m_fileRelayServiceStarted)
        return;
    if (m_fileRelayService)
        m_fileRelayService->close();
    m_fileRelayService.reset();
    m_mobileDevice->stopSession(m_fileRelayDevice);
    m_mobileDevice->disconnect(m_fileRelayDevice);
    m_fileRelayServiceStarted = false;
}
