#include "RealDeviceBackup.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include "Plist.h"
#include "ToolOutput.h"

namespace {

constexpr qsizetype kKeptOutput = 256 * 1024;

struct RunResult {
    bool started = false;
    bool succeeded = false;
    QByteArray tail; // the end of the output, for the failure test
};

// Runs idevicebackup2, passing its output on while it runs (so a long output
// never stalls it) and keeping the last part of it.
RunResult runIdeviceBackup2(const QStringList& arguments)
{
    RunResult result;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("idevicebackup2"));
    if (program.isEmpty()) {
        ToolOutput::out(QStringLiteral(
            "idevicebackup2 is not installed (Debian package libimobiledevice-utils)."));
        return result;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        ToolOutput::out(
            QStringLiteral("Cannot start idevicebackup2: %1").arg(process.errorString()));
        return result;
    }
    process.closeWriteChannel();
    result.started = true;
    auto drain = [&] {
        const QByteArray bytes = process.readAll();
        if (bytes.isEmpty())
            return;
        ToolOutput::raw(bytes);
        result.tail += bytes;
        if (result.tail.size() > kKeptOutput)
            result.tail = result.tail.right(kKeptOutput);
    };
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(-1);
        drain();
    }
    process.waitForFinished(-1);
    drain();
    result.succeeded = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

bool looksLocked(const QByteArray& output)
{
    const QByteArray text = output.toLower();
    // The device's own error, or lockdown's "password protected" (-17).
    return text.contains("mberrordomain/208") || text.contains("error code -17")
        || text.contains("device locked") || text.contains("passcode");
}

} // namespace

namespace RealDeviceBackup {

int backUp(const QString& udid, const QString& backupRoot)
{
    if (!QDir().mkpath(backupRoot)) {
        ToolOutput::out(
            QStringLiteral("Backup failed: cannot create the backup folder %1.").arg(backupRoot));
        return 1;
    }
    const RunResult run =
        runIdeviceBackup2({QStringLiteral("--udid"), udid, QStringLiteral("backup"), backupRoot});
    if (!run.started)
        return 1;
    const QVariantMap status =
        Plist::readFile(backupRoot + QLatin1Char('/') + udid + QStringLiteral("/Status.plist"))
            .toMap();
    const bool finished =
        status.value(QStringLiteral("SnapshotState")).toString() == QLatin1String("finished");
    if (run.succeeded && finished)
        return 0;
    if (looksLocked(run.tail))
        ToolOutput::out(
            QStringLiteral("Backup failed: Error Domain=MBErrorDomain/208 \"The device is locked "
                           "with a passcode.\" Unlock the device and try again."));
    else if (run.succeeded)
        ToolOutput::out(
            QStringLiteral("Backup failed: idevicebackup2 ended without a finished backup in %1.")
                .arg(backupRoot + QLatin1Char('/') + udid));
    else
        ToolOutput::out(QStringLiteral("Backup failed."));
    return 1;
}

int restore(const QString& udid, const QString& backupRoot, bool encrypted)
{
    if (encrypted) {
        // idevicebackup2 takes a restore password only on its command line,
        // where every local user could read it.
        ToolOutput::out(QStringLiteral(
            "Restore failed: an encrypted backup cannot be restored to a real device from here, "
            "because idevicebackup2 would need the password on its command line."));
        return 1;
    }
    const RunResult run =
        runIdeviceBackup2({QStringLiteral("--udid"), udid, QStringLiteral("--source"), udid,
                           QStringLiteral("restore"), backupRoot});
    if (!run.started)
        return 1;
    if (run.succeeded)
        return 0;
    ToolOutput::out(QStringLiteral("Restore failed."));
    return 1;
}

} // namespace RealDeviceBackup
