// orvane-mobilebackup: makes, lists, reads and restores device backups for
// Orvane. Backups live in <data home>/Orvane/MobileSync/Backup/<device>; a
// simulated device (ORVANE_SIMULATED_DEVICES) is backed up from its folder, a
// real one through idevicebackup2.

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>

#include "BackupEncryption.h"
#include "BackupFolderCare.h"
#include "BackupReading.h"
#include "Locations.h"
#include "RealDeviceBackup.h"
#include "SimulatedBackup.h"
#include "SimulatedDevice.h"
#include "ToolCommandLine.h"
#include "ToolOutput.h"

namespace {

int restore(const ToolCommandLine& line, const QString& backupRoot)
{
    const QString folder = backupRoot + QLatin1Char('/') + line.device;
    if (const std::optional<SimulatedDevice> device = SimulatedDevice::find(line.device))
        return restoreSimulatedDevice(*device, folder, line.password);
    QString error;
    bool wrongPassword = false;
    const std::optional<OpenedBackup> backup = BackupEncryption::open(
        folder, line.password, line.passwordKey, false, &error, &wrongPassword);
    if (!backup) {
        ToolOutput::out(QStringLiteral("Restore failed: %1").arg(error));
        return BackupEncryption::failureStatus(wrongPassword);
    }
    return RealDeviceBackup::restore(line.device, backupRoot, backup->encrypted);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    umask(077); // backups hold the user's private data
    QString error;
    const std::optional<ToolCommandLine> line =
        ToolCommandLine::parse(app.arguments().mid(1), &error);
    if (!line) {
        ToolOutput::error(error);
        ToolOutput::error(ToolCommandLine::usage());
        return 2;
    }
    const QString backupRoot = Locations::backupRoot();
    if (line->command == ToolCommandLine::Command::Backup)
        QDir().mkpath(backupRoot);
    // Held until the run ends; it first tidies what a run of this device cut
    // short left behind.
    const BackupFolderCare care(backupRoot, line->device);
    switch (line->command) {
    case ToolCommandLine::Command::Help:
        ToolOutput::out(ToolCommandLine::usage());
        return 0;
    case ToolCommandLine::Command::Backup:
        if (const std::optional<SimulatedDevice> device = SimulatedDevice::find(line->device))
            return backUpSimulatedDevice(*device, line->device, backupRoot);
        return RealDeviceBackup::backUp(line->device, backupRoot);
    case ToolCommandLine::Command::Extract:
        return BackupReading::extract(*line, backupRoot);
    case ToolCommandLine::Command::FileName:
        return BackupReading::fileName(*line, backupRoot);
    case ToolCommandLine::Command::List:
        return BackupReading::list(*line, backupRoot);
    case ToolCommandLine::Command::Restore:
        return restore(*line, backupRoot);
    }
    return 2;
}
