// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceFileRelay.h"

#include "CpioArchiveExtractor.h"
#include "DeviceFileRelayDelegate.h"
#include "Log.h"
#include "QELDeviceInterface.h"

#include <QDir>
#include <QFile>

DeviceFileRelay::DeviceFileRelay(QELDeviceInterface* deviceInterface) : m_deviceInterface(deviceInterface) {}

DeviceFileRelay::~DeviceFileRelay()
{
    std::lock_guard lock(m_threadMutex);
    if (m_workerThread.joinable())
        m_workerThread.join();
}

void DeviceFileRelay::beginExtractData(const QString& targetFolder)
{
    std::lock_guard lock(m_threadMutex);
    if (m_extractInProgress.exchange(true))
        return;
    if (m_workerThread.joinable())
        m_workerThread.join();
    m_extractComplete.store(false);
    m_workerThread = std::thread([this, targetFolder] { _workerExtract(targetFolder); });
}

void DeviceFileRelay::_workerExtract(const QString& targetFolder)
{
    bool available = false;
    if (m_deviceInterface && m_deviceInterface->connectToFileRelayService()) {
        if (m_deviceInterface->requestFileRelaySource({QStringLiteral("UserDatabases"), QStringLiteral("MobileNotes")})
            && QDir().mkpath(targetFolder)) {
            const QString archive = targetFolder + QStringLiteral("/userdump.cpio.gz");
            QFile::remove(archive);
            QDir(targetFolder + QStringLiteral("/var")).removeRecursively();
            if (m_deviceInterface->receiveFileRelayItem(archive)) {
                // Unpacked here, never by a shell: names from the device are
                // confined to the target folder.
                QString error;
                int refused = 0;
                int failed = 0;
                available = CpioArchiveExtractor::extract(archive, targetFolder, &error, &refused,
                                                          &failed);
                if (!available)
                    qCWarning(lcOrvane) << "File relay archive not unpacked:" << error;
                if (refused > 0)
                    qCInfo(lcOrvane) << "File relay archive entries refused:" << refused;
                if (failed > 0)
                    qCWarning(lcOrvane) << "File relay archive entries not written:" << failed;
                QFile::remove(archive);
            }
        }
        m_deviceInterface->disconnectFileRelayService();
    }
    m_fileRelayAvailable.store(available);
    m_extractComplete.store(true);
    m_extractInProgress.store(false);
    if (DeviceFileRelayDelegate* receiver = m_delegate.load()) {
        if (available)
            receiver->OnExtractComplete();
        else
            receiver->OnExtractCompleteOnErrors();
    }
}
