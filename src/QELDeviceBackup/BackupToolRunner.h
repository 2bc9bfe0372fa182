#pragma once

#include <atomic>
#include <chrono>
#include <optional>

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Runs the backup tool as a child process. A password and its key go to the
// tool in its environment (ORVANE_BACKUP_PASSWORD, ORVANE_BACKUP_KEY), never
// on its command line, where every local user could read them. Both output streams are drained
// while the tool runs, so a long output never makes it wait.
//
// Each run gets a process group of its own. The tool starts idevicebackup2 and
// other helpers of its own; stopping the tool stops them too, so no helper is
// left behind to pass for another program's backup.
namespace BackupToolRunner {

// The backup tool's exit status when the backup's password is missing or does
// not open its keys (and for no other failure): 1 is any other failure.
constexpr int kExitWrongPassword = 3;

struct Options {
    std::optional<QString> password; // absent: no password given
    // The password's key of a backup its device encrypted, derived by the
    // caller (ORVANE_BACKUP_KEY, in hexadecimal), so the tool need not derive
    // it again; empty: none.
    QByteArray passwordKey;
    QString extractTo;                      // ORVANE_EXTRACT_TO, when not empty
    bool mergeChannels = false;             // standard error into standard output
    bool keepStandardError = true;          // false: discarded
    std::chrono::milliseconds timeLimit{0}; // nominal (Clock); 0: none
    const std::atomic<bool>* cancel = nullptr;
};

struct Result {
    bool started = false;
    bool timedOut = false; // stopped at the time limit
    bool cancelled = false;
    int exitCode = -1; // the tool's status when it ended by itself
    QByteArray standardOutput;
    QByteArray standardError;

    bool succeeded() const { return started && !timedOut && !cancelled && exitCode == 0; }
};

// Blocks until the tool has ended (or was stopped). The tool path is checked
// first: a missing tool does not start.
Result run(const QString& toolPath, const QStringList& arguments, const Options& options = {});

// The process groups of the runs under way in this program (one per run, named
// by the tool's process identifier). Any thread.
QList<pid_t> runningProcessGroups();

} // namespace BackupToolRunner
