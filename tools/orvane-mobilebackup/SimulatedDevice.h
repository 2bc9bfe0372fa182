#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// A simulated device (docs/simulated-devices.md), as far as backups go.
struct SimulatedDevice {
    QString folder;
    QVariantMap values;      // device.plist
    QVariantMap simulation;  // its "Simulation" dictionary

    QString value(const char* key) const { return values.value(QString::fromLatin1(key)).toString(); }
    QString backupSource() const { return folder + QStringLiteral("/backup"); }
    bool backupLocked() const;
    std::optional<QString> backupPassword() const;

    // The folder among ORVANE_SIMULATED_DEVICES whose UniqueDeviceID is `udid`.
    static std::optional<SimulatedDevice> find(const QString& udid);
};
