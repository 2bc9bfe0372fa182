#include "BackupToolRunner.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "Clock.h"
#include "Log.h"

namespace BackupToolRunner {

namespace {

// How long one wait for output lasts before the limits are looked at again.
constexpr int kPollMs = 50;
// How long a stopped tool is given to end before it is killed.
constexpr auto kTerminateGrace = std::chrono::milliseconds(5000);

std::mutex& groupsMutex()
{
    static std::mutex mutex;
    return mutex;
}

QList<pid_t>& groups()
{
    static QList<pid_t> list;
    return list;
}

// Keeps a run's process group in the list of this program's runs while it
// lives; on the way out, stops whatever of the group is still there.
class RunningGroup {
public:
    explicit RunningGroup(pid_t group)
        : m_group(group)
    {
        std::lock_guard lock(groupsMutex());
        groups().append(m_group);
    }
    ~RunningGroup()
    {
        // A helper the tool left behind would outlive the run, hold the
        // device and count as another backup.
        signalGroup(SIGKILL);
        std::lock_guard lock(groupsMutex());
        groups().removeOne(m_group);
    }
    RunningGroup(const RunningGroup&) = delete;
    RunningGroup& operator=(const RunningGroup&) = delete;
    void signalGroup(int signal) const
    {
        if (m_group > 0 && ::kill(-m_group, signal) != 0 && errno != ESRCH)
            qCWarning(lcOrvane) << "Cannot signal the backup tool's processes" << m_group
                                << strerror(errno);
    }

private:
    pid_t m_group;
};

void drain(QProcess& process, Result* result, const Options& options)
{
    result->standardOutput += process.readAllStandardOutput();
    if (options.mergeChannels)
        return;
    const QByteArray error = process.readAllStandardError();
    if (options.keepStandardError)
        result->standardError += error;
}

void stop(QProcess& process, const RunningGroup& group, Result* result, const Options& options)
{
    group.signalGroup(SIGTERM);
    QElapsedTimer grace;
    grace.start();
    while (process.state() != QProcess::NotRunning
           && grace.elapsed() < Clock::scaled(kTerminateGrace).count()) {
        process.waitForFinished(kPollMs);
        drain(process, result, options);
    }
    if (process.state() != QProcess::NotRunning) {
        group.signalGroup(SIGKILL);
        process.waitForFinished(-1);
    }
    drain(process, result, options);
}

} // namespace

Result run(const QString& toolPath, const QStringList& arguments, const Options& options)
{
    Result result;
    const QFileInfo tool(toolPath);
    if (toolPath.isEmpty() || !tool.isFile() || !tool.isExecutable()) {
        qCWarning(lcOrvane) << "The backup tool is missing; looked for" << toolPath;
        return result;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ORVANE_BACKUP_PASSWORD"));
    environment.remove(QStringLiteral("ORVANE_BACKUP_KEY"));
    environment.remove(QStringLiteral("ORVANE_EXTRACT_TO"));
    if (options.password)
        environment.insert(QStringLiteral("ORVANE_BACKUP_PASSWORD"), *options.password);
    if (!options.passwordKey.isEmpty())
        environment.insert(QStringLiteral("ORVANE_BACKUP_KEY"),
                           QString::fromLatin1(options.passwordKey.toHex()));
    if (!options.extractTo.isEmpty())
        environment.insert(QStringLiteral("ORVANE_EXTRACT_TO"), options.extractTo);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(options.mergeChannels ? QProcess::MergedChannels
                                                        : QProcess::SeparateChannels);
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(toolPath, arguments);
    if (!process.waitForStarted(-1)) {
        qCWarning(lcOrvane) << "Cannot start the backup tool" << toolPath << process.errorString();
        return result;
    }
    // The group is the tool's own from its start: the child set it before exec.
    const RunningGroup group(static_cast<pid_t>(process.processId()));
    process.closeWriteChannel();
    result.started = true;

    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 limitMs =
        options.timeLimit.count() > 0 ? Clock::scaled(options.timeLimit).count() : -1;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(kPollMs);
        drain(process, &result, options);
        if (options.cancel && options.cancel->load()) {
            result.cancelled = true;
            stop(process, group, &result, options);
            return result;
        }
        if (limitMs >= 0 && elapsed.elapsed() > limitMs
            && process.state() != QProcess::NotRunning) {
            result.timedOut = true;
            stop(process, group, &result, options);
            return result;
        }
    }
    process.waitForFinished(-1);
    drain(process, &result, options);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

QList<pid_t> runningProcessGroups()
{
    std::lock_guard lock(groupsMutex());
    return groups();
}

} // namespace BackupToolRunner
