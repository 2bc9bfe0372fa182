// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect apps DEVICE-FOLDER`: the user apps of a simulated device
// (docs/simulated-devices.md) as the apps view lists them.
//
// The device folder is attached to a simulated backend and reached through
// the device interface's app services, as the apps view reaches a device;
// "archived" says whether the device holds an archive of the app.
#include <algorithm>

#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELAppDetailSummary.h"
#include "QELCopyApps.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceConnection.h"

namespace {

using InspectJson::text;

int inspectApps(const InspectRequest& request)
{
    SimulatedDeviceConnection connection;
    QString why;
    if (!connection.connect(request.folder, &why))
        return InspectSubcommands::fail(why);
    QELDeviceInterface& device = connection.device();
    if (!device.StartAppsService()) {
        device.StopAppsService();
        return InspectSubcommands::fail(
            QStringLiteral("the apps of %1 cannot be read").arg(request.folder));
    }
    QList<QELAppDetailSummary> apps;
    for (const QString& id : device.getAppIDList()) {
        QELAppDetailSummary app;
        if (const std::optional<AppDetail> detail = device.GetAppDetailByBundleId(id)) {
            app.setBundleName(detail->bundleDisplayName);
            app.setBundleID(detail->bundleId);
            app.setBundleVersion(detail->bundleVersion);
        }
        apps.append(app);
    }
    device.StopAppsService();
    std::stable_sort(apps.begin(), apps.end(), QELAppDetailSummary::nameOrder);
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("apps"));
    for (const QELAppDetailSummary& app : apps) {
        const QString archive = QELCopyApps::archivePathOf(app.bundleID());
        QJsonObject item;
        item.insert(QStringLiteral("bundleID"), text(app.bundleID()));
        item.insert(QStringLiteral("name"), text(app.bundleName()));
        item.insert(QStringLiteral("version"), text(app.bundleVersion()));
        item.insert(QStringLiteral("archived"),
                    !archive.isEmpty() && device.fileExistsAtPath(archive));
        out.value(item);
    }
    out.end();
    return out.finish();
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("apps"),
    QStringLiteral("the user apps of a simulated device as the apps view lists them: bundle id, "
                   "name, version and whether the device holds its archive (DEVICE-FOLDER)"),
    InspectSubcommand::Input::FolderOnly,
    false,
    {},
    {},
    inspectApps,
});

} // namespace
