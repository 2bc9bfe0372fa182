#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include <QList>
#include <QPair>

#include "QELDeviceConnectivityDelegate.h"
#include "WaitUntil.h"

// Records the device events (each a copy) and lets a test wait for them.
class DeviceEventRecorder : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments) override;
    void OnDeviceCommunicatingWithSourceFile(bool communicating,
                                             const QString& devicePath) override;

    QList<QELDeviceConnectivityArguments> connected() const;
    QList<QELDeviceConnectivityArguments> disconnected() const;
    QList<QPair<bool, QString>> communicating() const;
    // The pairing status of every connect event that did not succeed.
    QList<qint64> pairingStatuses() const;

    // Waits (in real time, at most `timeoutMs`) until `condition` holds.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) const;
    bool waitForSuccess(int timeoutMs = 10000) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<QELDeviceConnectivityArguments> m_connected;
    QList<QELDeviceConnectivityArguments> m_disconnected;
    QList<QPair<bool, QString>> m_communicating;
};
