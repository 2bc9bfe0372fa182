// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class DeviceFileRelayDelegate;
class QELDeviceInterface;

// Takes the user databases and notes off an iOS device through its file-relay
// service and unpacks them into a folder, on a thread of its own.
class DeviceFileRelay {
public:
    explicit DeviceFileRelay(QELDeviceInterface* deviceInterface);
    // Waits for a running extract.
    ~DeviceFileRelay();

    DeviceFileRelayDelegate* delegate() const { return m_delegate.load(); }
    void setDelegate(DeviceFileRelayDelegate* delegate) { m_delegate.store(delegate); }
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }

    // Starts an extract into `targetFolder`; ignored while one runs.
    void beginExtractData(const QString& targetFolder);
    bool isFileRelayAvailable() const { return m_fileRelayAvailable.load(); }
    bool isExtractInProgress() const { return m_extractInProgress.load(); }
    bool isExtractComplete() const { return m_extractComplete.load(); }

private:
    void _workerExtract(const QString& targetFolder);

    QELDeviceInterface* m_deviceInterface;
    std::atomic<DeviceFileRelayDelegate*> m_delegate{nullptr};
    std::atomic<bool> m_fileRelayAvailable{false};
    std::atomic<bool> m_extractComplete{false};
    std::atomic<bool> m_extractInProgress{false};
    std::mutex m_threadMutex;
    std::thread m_workerThread;
};
