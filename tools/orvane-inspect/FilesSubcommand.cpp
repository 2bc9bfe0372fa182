// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect files DEVICE-FOLDER PATH`: a folder of a simulated device
// (docs/simulated-devices.md) as the file browser lists it.
//
// The device folder is attached to a simulated backend and reached through
// the device interface, as the application reaches a device; PATH is listed
// in the browser's order (names without case).
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "FileListBuilder.h"
#include "IPodFramework.h"
#include "InspectJson.h"
#include "InspectSubcommand.h"
#include "QELDeviceConnectivityDelegate.h"
#include "QELDeviceInterface.h"
#include "SimulatedMobileDevice.h"

namespace {

using InspectJson::number;
using InspectJson::text;

// Waits for the device's connection event.
class ConnectionWaiter : public QELDeviceConnectivityDelegate {
public:
    void OnDeviceConnected(const QELDeviceConnectivityArguments& arguments) override
    {
        std::lock_guard lock(m_mutex);
        m_connected = arguments.success();
        m_changed.notify_all();
    }
    void OnDeviceDisconnected(const QELDeviceConnectivityArguments&) override {}

    bool waitForConnection(std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, limit, [this] { return m_connected; });
        return m_connected;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_connected = false;
};

int inspectFiles(const InspectRequest& request)
{
    if (request.arguments.size() != 1)
        return InspectSubcommands::fail(QStringLiteral("files: give one device PATH"));
    const QString path = request.arguments.first();
    if (!QFileInfo::exists(request.folder + QStringLiteral("/device.plist")))
        return InspectSubcommands::fail(
            QStringLiteral("not a simulated device folder: %1").arg(request.folder));

    auto simulator = std::make_shared<SimulatedMobileDevice>();
    auto iPods = std::make_shared<IPodFramework>(IPodFramework::Options{false, false, {}});
    QELDeviceInterface device(simulator, iPods);
    ConnectionWaiter waiter;
    device.setDelegate(&waiter);
    device.BeginDeviceConnectionDetect();
    int code = InspectSubcommands::kSucceeded;
    if (simulator->attach(request.folder).isEmpty()) {
        code = InspectSubcommands::fail(
            QStringLiteral("the device folder %1 cannot be used").arg(request.folder));
    } else if (!waiter.waitForConnection(std::chrono::seconds(30))) {
        code = InspectSubcommands::fail(
            QStringLiteral("the device of %1 did not connect").arg(request.folder));
    } else if (const std::optional<QList<DeviceFileEntry>> entries =
                   FileListBuilder::listDeviceFolder(device, path)) {
        QJsonArray list;
        for (const DeviceFileEntry& entry : *entries) {
            const bool folder = entry.kind == FileEntryKind::Folder;
            QJsonObject item;
            item.insert(QStringLiteral("name"), text(entry.name));
            item.insert(QStringLiteral("type"),
                        folder ? QStringLiteral("folder") : QStringLiteral("file"));
            item.insert(QStringLiteral("size"), number(folder ? std::nullopt : entry.size));
            list.append(item);
        }
        QJsonObject root;
        root.insert(QStringLiteral("entries"), list);
        code = InspectJson::print(root);
    } else {
        code = InspectSubcommands::fail(QStringLiteral("no folder at %1 on the device").arg(path));
    }
    device.shutdown();
    device.setDelegate(nullptr);
    return code;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("files"),
    QStringLiteral("a device folder as the file browser lists it: name, type and size of each "
                   "entry (DEVICE-FOLDER of a simulated device, then its PATH)"),
    InspectSubcommand::Input::FolderOnly,
    false,
    QStringLiteral("PATH"),
    {},
    inspectFiles,
});

} // namespace
