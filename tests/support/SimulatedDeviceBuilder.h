#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Writes a simulated device folder (docs/simulated-devices.md) in code:
//
//   const QString folder = SimulatedDeviceBuilder(dir.path() + "/phone")
//       .productType("iPhone15,2").productVersion("17.2")
//       .pairingSequence({"PasscodeProtected", "PairingDialogPending", "Paired"})
//       .afcFile("iTunes_Control/iTunes/iTunesPrefs", QByteArray(300, 'x'))
//       .backupFile("HomeDomain", "Library/SMS/sms.db", smsBytes)
//       .build();
//
// Defaults describe a paired iPhone on iOS 17.2 with an empty file system.
class SimulatedDeviceBuilder {
public:
    explicit SimulatedDeviceBuilder(QString folder);

    SimulatedDeviceBuilder& deviceClass(const QString& value);
    SimulatedDeviceBuilder& productVersion(const QString& value);
    SimulatedDeviceBuilder& deviceName(const QString& value);
    SimulatedDeviceBuilder& udid(const QString& value);
    SimulatedDeviceBuilder& productType(const QString& value);
    // Any lockdown value; an invalid QVariant removes the key (e.g. to leave
    // out DeviceClass).
    SimulatedDeviceBuilder& value(const QString& key, const QVariant& value);

    // Simulation keys.
    SimulatedDeviceBuilder& pairingSequence(const QStringList& answers);
    SimulatedDeviceBuilder& passcodeLockedServiceStarts(int count);
    SimulatedDeviceBuilder& connectResults(const QStringList& results);
    SimulatedDeviceBuilder& sessionStartFailures(int count);
    SimulatedDeviceBuilder& overWiFi();
    SimulatedDeviceBuilder& extraDirectoryEntries(const QString& devicePath, const QStringList& names);
    SimulatedDeviceBuilder& readError(const QString& devicePath, qint64 atByte);
    SimulatedDeviceBuilder& fileRelayArchive(const QByteArray& archive);
    SimulatedDeviceBuilder& backupPassword(const QString& password);
    SimulatedDeviceBuilder& backupLocked(bool locked = true);
    SimulatedDeviceBuilder& simulation(const QString& key, const QVariant& value);

    // Content. Paths are relative to the AFC root, the domain, or the app.
    SimulatedDeviceBuilder& afcFile(const QString& path, const QByteArray& bytes);
    SimulatedDeviceBuilder& afcFolder(const QString& path);
    SimulatedDeviceBuilder& backupFile(const QString& domain, const QString& relativePath, const QByteArray& bytes);
    SimulatedDeviceBuilder& app(const QString& bundleId, const QVariantMap& infoPlist);

    QString folder() const { return m_folder; }
    QString afcRoot() const { return m_folder + QStringLiteral("/afc"); }

    // Writes device.plist and the folders; answers the device folder (empty on failure).
    QString build() const;

private:
    QString m_folder;
    QVariantMap m_values;
    QVariantMap m_simulation;
    QList<QPair<QString, QByteArray>> m_files;  // relative to the device folder
    QStringList m_folders;
};

// Writes a cpio archive ("newc" format, as file relay sends) of the given
// entries, gzip-compressed. A name is written as it stands, so tests can make
// hostile archives ("../evil", "/etc/x"). A null QByteArray makes a folder.
QByteArray makeCpioGzArchive(const QList<QPair<QString, QByteArray>>& entries);
