#include "RealDeviceBackup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "BackupFolderCare.h"
#include "BackupPathRules.h"
#include "DescriptorWrite.h"
#include "Plist.h"
#include "ToolOutput.h"

namespace {

// Set by SIGTERM and SIGINT while idevicebackup2 runs: the program that ran
// this tool is stopping it, or has ended.
volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int) { g_stopRequested = 1; }

// How long idevicebackup2 is given to end once asked to.
constexpr int kStopGraceMs = 5000;

constexpr qsizetype kKeptOutput = 256 * 1024;

struct RunResult {
    bool started = false;
    bool succeeded = false;
    bool stopped = false; // asked to stop (SIGTERM, SIGINT) while it ran
    QByteArray tail;      // the end of the output, for the failure test
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
    // idevicebackup2 ends with this tool, however the tool ends.
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
    });
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
        process.waitForReadyRead(100);
        drain();
        if (g_stopRequested) {
            result.stopped = true;
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            QElapsedTimer grace;
            grace.start();
            while (process.state() != QProcess::NotRunning && grace.elapsed() < kStopGraceMs) {
                process.waitForFinished(100);
                drain();
            }
            if (process.state() != QProcess::NotRunning) {
                process.kill();
                process.waitForFinished(-1);
            }
            break;
        }
    }
    process.waitForFinished(-1);
    drain();
    result.succeeded =
        !result.stopped && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

bool looksLocked(const QByteArray& output)
{
    const QByteArray text = output.toLower();
    // The device's own error, or lockdown's "password protected" (-17).
    return text.contains("mberrordomain/208") || text.contains("error code -17")
        || text.contains("device locked") || text.contains("passcode");
}

// Copies a file whole (the files idevicebackup2 may rewrite in place).
bool copyFileAt(int fromFolder, const char* name, int toFolder)
{
    const int in = ::openat(fromFolder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::openat(toFolder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = writeAllToDescriptor(out, buffer, got);
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    return ok;
}

// Fills the empty folder `to` with the tree of `from`: the stored files as
// hard links (idevicebackup2 writes a file it replaces as a new file, so the
// link keeps the old content), the files at the top (Manifest.db, Status.plist
// and the other property lists, which it may rewrite in place) as copies.
// Links are recreated, not followed. False at the first item that cannot be kept.
bool fillSnapshot(int from, int to, bool top)
{
    const int listing = ::dup(from);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    bool ok = true;
    while (ok) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat info {};
        if (::fstatat(from, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            break;
        }
        if (S_ISDIR(info.st_mode)) {
            ok = ::mkdirat(to, name, 0700) == 0;
            const int below =
                ok ? ::openat(from, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            const int belowCopy =
                ok ? ::openat(to, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            ok = below >= 0 && belowCopy >= 0 && fillSnapshot(below, belowCopy, false);
            if (below >= 0)
                ::close(below);
            if (belowCopy >= 0)
                ::close(belowCopy);
        } else if (S_ISREG(info.st_mode)) {
            const bool storedFile =
                !top || BackupPathRules::isBackupFileName(QString::fromLocal8Bit(name));
            ok = storedFile && ::linkat(from, name, to, name, 0) == 0;
            // A file system without hard links gets a copy.
            if (!ok)
                ok = copyFileAt(from, name, to);
        } else if (S_ISLNK(info.st_mode)) {
            char target[4096];
            const ssize_t length = ::readlinkat(from, name, target, sizeof target - 1);
            ok = length >= 0;
            if (ok) {
                target[length] = 0;
                ok = ::symlinkat(target, to, name) == 0;
            }
        }
    }
    ::closedir(dir);
    return ok;
}

// Keeps the device's previous backup beside it, under a name of the
// "-snap-" form, before idevicebackup2 changes it in place. The snapshot is
// built under a staging name and renamed once whole, so a snapshot that is
// there is whole. A null string when it cannot be made.
QString keepPreviousBackup(const QString& backupRoot, const QString& udid, const QString& folder)
{
    const QString staging =
        BackupFolderCare::unusedName(backupRoot, QLatin1Char('.') + udid + QStringLiteral("-new-"));
    if (staging.isEmpty() || !QDir().mkdir(staging))
        return {};
    const int from = ::open(QFile::encodeName(folder).constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int to = ::open(QFile::encodeName(staging).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = from >= 0 && to >= 0 && fillSnapshot(from, to, true);
    if (from >= 0)
        ::close(from);
    if (to >= 0) {
        ok = ::fsync(to) == 0 && ok;
        ::close(to);
    }
    const QString snapshot = ok ? BackupFolderCare::unusedName(
                                 backupRoot, QLatin1Char('.') + udid + QStringLiteral("-snap-"))
                                : QString();
    if (snapshot.isEmpty() || !backupRename(staging, snapshot, "snapshot")) {
        BackupFolderCare::removeFolder(staging);
        return {};
    }
    backupKillPoint("snapshot");
    return snapshot;
}

// Puts the snapshot back in place of the backup idevicebackup2 left changed.
bool putBackPreviousBackup(const QString& backupRoot, const QString& udid, const QString& folder,
                           const QString& snapshot)
{
    const QString changed =
        BackupFolderCare::unusedName(backupRoot, QLatin1Char('.') + udid + QStringLiteral("-old-"));
    const QFileInfo info(folder);
    if (info.exists() || info.isSymLink()) {
        if (changed.isEmpty() || !backupRename(folder, changed, "aside"))
            return false;
    }
    if (!backupRename(snapshot, folder, "back")) {
        // The next run of the tool puts the snapshot back.
        return false;
    }
    if (!changed.isEmpty())
        BackupFolderCare::removeFolder(changed);
    return true;
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
    // idevicebackup2 changes an existing backup in place: a run that fails
    // or is stopped part-way would leave it neither the old nor a new one.
    const QString folder = backupRoot + QLatin1Char('/') + udid;
    QString snapshot;
    const QFileInfo existing(folder);
    if (existing.isDir() && !existing.isSymLink()) {
        snapshot = keepPreviousBackup(backupRoot, udid, folder);
        if (snapshot.isEmpty()) {
            ToolOutput::out(QStringLiteral("Backup failed: cannot keep a copy of the previous "
                                           "backup in %1 while the new one is made.")
                                .arg(backupRoot));
            return 1;
        }
    }
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    sigemptyset(&stop.sa_mask);
    ::sigaction(SIGTERM, &stop, nullptr);
    ::sigaction(SIGINT, &stop, nullptr);
    const RunResult run =
        runIdeviceBackup2({QStringLiteral("--udid"), udid, QStringLiteral("backup"), backupRoot});
    const QVariantMap status = Plist::readFile(folder + QStringLiteral("/Status.plist")).toMap();
    const bool finished =
        status.value(QStringLiteral("SnapshotState")).toString() == QLatin1String("finished");
    if (run.started && run.succeeded && finished) {
        // The snapshot is no longer the backup to keep: renamed first, so
        // that a run stopped while it is removed does not put it back.
        if (!snapshot.isEmpty()) {
            const QString done = BackupFolderCare::unusedName(
                backupRoot, QLatin1Char('.') + udid + QStringLiteral("-old-"));
            if (!done.isEmpty() && backupRename(snapshot, done, "done")) {
                backupKillPoint("kept");
                BackupFolderCare::removeFolder(done);
            }
        }
        return 0;
    }
    if (!snapshot.isEmpty()) {
        if (putBackPreviousBackup(backupRoot, udid, folder, snapshot))
            ToolOutput::error(QStringLiteral("The previous backup of %1 is kept.").arg(udid));
        else
            ToolOutput::error(
                QStringLiteral(
                    "Cannot put the previous backup of %1 back yet; the next run of the tool does.")
                    .arg(udid));
    }
    if (!run.started)
        return 1;
    if (run.stopped) {
        ToolOutput::out(
            QStringLiteral("Backup failed: stopped before idevicebackup2 had finished."));
        return 1;
    }
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
