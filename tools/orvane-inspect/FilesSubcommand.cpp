// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect files DEVICE-FOLDER PATH`: a folder of a simulated device
// (docs/simulated-devices.md) as the file browser lists it.
//
// The device folder is attached to a simulated backend and reached through
// the device interface, as the application reaches a device; PATH is listed
// in the browser's order (names without case).
#include <QJsonArray>
#include <QJsonObject>

#include "FileListBuilder.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceConnection.h"

namespace {

using InspectJson::number;
using InspectJson::text;

int inspectFiles(const InspectRequest& request)
{
    if (request.arguments.size() != 1)
        return InspectSubcommands::fail(QStringLiteral("files: give one device PATH"));
    const QString path = request.arguments.first();
    SimulatedDeviceConnection connection;
    QELDeviceInterface& device = connection.device();
    QString why;
    int code = InspectSubcommands::kSucceeded;
    if (!connection.connect(request.folder, &why)) {
        code = InspectSubcommands::fail(why);
    } else if (const std::optional<QList<DeviceFileEntry>> entries =
                   FileListBuilder::listDeviceFolder(device, path)) {
        InspectJsonStream out;
        out.beginObject();
        out.beginArray(QStringLiteral("entries"));
        for (const DeviceFileEntry& entry : *entries) {
            const bool folder = entry.kind == FileEntryKind::Folder;
            QJsonObject item;
            item.insert(QStringLiteral("name"), text(entry.name));
            item.insert(QStringLiteral("type"),
                        folder ? QStringLiteral("folder") : QStringLiteral("file"));
            item.insert(QStringLiteral("size"), number(folder ? std::nullopt : entry.size));
            out.value(item);
        }
        out.end();
        code = out.finish();
    } else {
        code = InspectSubcommands::fail(QStringLiteral("no folder at %1 on the device").arg(path));
    }
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
