#include "BackupToolRunner.h"

#include "Clock.h"
#include "Log.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace BackupToolRunner {

namespace {

// How long one wait for output lasts before the limits are looked at again.
constexpr int kPollMs = 50;
// How long a stopped tool is given to end before it is killed.
constexpr auto kTerminateGrace = std::chrono::milliseconds(5000);

void drain(QProcess& process, Result* result, const Options& options)
{
    result->standardOutput += process.readAllStandardOutput();
    const QByteArray error = process.readAllStandardError();
    if (options.keepStandardError)
        result->standardError += error;
}

void stop(QProcess& process, Result* result, const Options& options)
{
    process.terminate();
    QElapsedTimer grace;
    grace.start();
    while (process.state() != QProcess::NotRunning && grace.elapsed() < Clock::scaled(kTerminateGrace).count()) {
        process.waitForFinished(kPollMs);
        drain(process, result, options);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }
    drain(process, result, options);
}

} // namespace

Result run(const QString& toolPath, const QStringList& arguments, const Options& options)
{
    Result result;
    const QFileInfo tool(toolPath);
    if (toolPath.isEmpty() || !tool.isFile() || !tool.isExecutable())
        return result;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ORVANE_BACKUP_PASSWORD"));
    environment.remove(QStringLiteral("ORVANE_EXTRACT_TO"));
    if (options.password)
        environment.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), *options.password);
    if (!options.extractTo.isEmpty())
        environment.insert(QStringLiteral("ORVANE_EXTRACT_TO"), options.extractTo);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(options.mergeChannels ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.start(toolPath, arguments);
    if (!process.waitForStarted(-1)) {
        qCWarning(lcOrvane) << "Cannot start the backup tool" << toolPath << process.errorString();
        return result;
    }
    process.closeWriteChannel();
    result.started = true;

    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs = options.timeLimit.count() > 0 ? Clock::scaled(options.timeLimit).count() : -1;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(kPollMs);
        drain(process, &result, options);
        if (options.cancel && options.cancel->load()) {
            result.cancelled = true;
            stop(process, &result, options);
            return result;
        }
        if (limitMs >= 0 && elapsed.elapsed() > limitMs && process.state() != QProcess::NotRunning) {
            result.timedOut = true;
            stop(process, &result, options);
            return result;
        }
    }
    process.waitForFinished(-1);
    drain(process, &result, options);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace BackupToolRunner
