#include "SimulatedDevice.h"

#include "Plist.h"

#include <QDir>

bool SimulatedDevice::backupLocked() const
{
    return simulation.value(QStringLiteral("BackupLocked")).toBool();
}

std::optional<QString> SimulatedDevice::backupPassword() const
{
    const QVariant password = simulation.value(QStringLiteral("BackupPassword"));
    if (!password.isValid())
        return std::nullopt;
    return password.toString();
}

std::optional<SimulatedDevice> SimulatedDevice::find(const QString& udid)
{
    const QStringList folders = qEnvironmentVariable("ORVANE_SIMULATED_DEVICES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QVariantMap values = Plist::readFile(folder + QStringLiteral("/device.plist")).toMap();
        if (values.value(QStringLiteral("UniqueDeviceID")).toString() != udid)
            continue;
        SimulatedDevice device;
        device.folder = QDir::cleanPath(QDir(folder).absolutePath());
        device.values = values;
        device.simulation = values.value(QStringLiteral("Simulation")).toMap();
        return device;
    }
    return std::nullopt;
}
