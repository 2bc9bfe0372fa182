// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "IPodFramework.h"
#include "QELDeviceConnectivityArguments.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceBuilder.h"
#include "SimulatedInstallationProxy.h"
#include "SimulatedMobileDevice.h"
#include "WaitUntil.h"

// A device interface connected to one simulated device with apps.
namespace AppsTest {

struct Connected : QELDeviceConnectivityDelegate {
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        if (arguments.success())
            connected = true;
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}
    void OnDeviceCommunicatingWithSourceFile(bool, const QString&) override {}
    std::atomic<bool> connected{false};
};

// A PNG icon of one colour.
inline QByteArray iconPng(QRgb colour)
{
    QImage image(57, 57, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline QVariantMap app(const QString& name, const QString& version = QStringLiteral("1.0"),
                       const QString& type = QString())
{
    QVariantMap info{{QStringLiteral("CFBundleDisplayName"), name},
                     {QStringLiteral("CFBundleShortVersionString"), version}};
    if (!type.isEmpty())
        info.insert(QStringLiteral("ApplicationType"), type);
    return info;
}

class Device {
public:
    explicit Device(const QString& folder)
        : m_builder(folder)
    {
        m_builder.value(QStringLiteral("ProductVersion"), QStringLiteral("8.4"));
    }
    SimulatedDeviceBuilder& builder() { return m_builder; }
    QString folder() const { return m_builder.folder(); }
    // Builds the folder and connects an interface to it; false when it did not connect.
    bool connect()
    {
        if (m_builder.build().isEmpty())
            return false;
        m_backend = std::make_shared<SimulatedMobileDevice>(QStringList{m_builder.folder()});
        m_interface = std::make_unique<QELDeviceInterface>(
            m_backend, std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}}));
        m_interface->setDelegate(&m_events);
        m_interface->BeginDeviceConnectionDetect();
        return waitUntil([this] { return m_events.connected.load(); });
    }
    QELDeviceInterface& interface() { return *m_interface; }
    SimulatedMobileDevice& backend() { return *m_backend; }
    QString udid() const { return m_backend->attachedDevices().value(0); }
    QStringList callLog() const { return m_backend->callLog(udid()); }
    // The calls of the apps services only.
    QStringList appCalls() const
    {
        QStringList calls;
        for (const QString& call : callLog())
            if (call.startsWith(QLatin1String("Lookup"))
                || call.startsWith(QLatin1String("Install"))
                || call.startsWith(QLatin1String("Uninstall"))
                || call.startsWith(QLatin1String("Archive"))
                || call.startsWith(QLatin1String("RemoveArchive"))
                || call.startsWith(QLatin1String("getIcon")))
                calls.append(call);
        return calls;
    }
    ~Device()
    {
        if (m_interface)
            m_interface->shutdown();
    }

private:
    SimulatedDeviceBuilder m_builder;
    std::shared_ptr<SimulatedMobileDevice> m_backend;
    Connected m_events;
    std::unique_ptr<QELDeviceInterface> m_interface;
};

} // namespace AppsTest
