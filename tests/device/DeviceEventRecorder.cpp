#include "DeviceEventRecorder.h"

void DeviceEventRecorder::OnDeviceConnected(const QELDeviceConnectivityArguments& arguments)
{
    std::lock_guard lock(m_mutex);
    m_connected.append(arguments);
    m_changed.notify_all();
}

void DeviceEventRecorder::OnDeviceDisconnected(const QELDeviceConnectivityArguments& arguments)
{
    std::lock_guard lock(m_mutex);
    m_disconnected.append(arguments);
    m_changed.notify_all();
}

void DeviceEventRecorder::OnDeviceCommunicatingWithSourceFile(bool communicating,
                                                              const QString& devicePath)
{
    std::lock_guard lock(m_mutex);
    m_communicating.append({communicating, devicePath});
    m_changed.notify_all();
}

QList<QELDeviceConnectivityArguments> DeviceEventRecorder::connected() const
{
    std::lock_guard lock(m_mutex);
    return m_connected;
}

QList<QELDeviceConnectivityArguments> DeviceEventRecorder::disconnected() const
{
    std::lock_guard lock(m_mutex);
    return m_disconnected;
}

QList<QPair<bool, QString>> DeviceEventRecorder::communicating() const
{
    std::lock_guard lock(m_mutex);
    return m_communicating;
}

QList<qint64> DeviceEventRecorder::pairingStatuses() const
{
    QList<qint64> statuses;
    for (const auto& event : connected()) {
        if (!event.success())
            statuses.append(event.devicePairingStatus());
    }
    return statuses;
}

bool DeviceEventRecorder::waitFor(const std::function<bool()>& condition, int timeoutMs) const
{
    return waitUntil(condition, timeoutMs);
}

bool DeviceEventRecorder::waitForSuccess(int timeoutMs) const
{
    return waitFor(
        [this] {
            const auto events = connected();
            return !events.isEmpty() && events.last().success();
        },
        timeoutMs);
}
