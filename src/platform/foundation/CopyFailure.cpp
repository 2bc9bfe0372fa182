// SPDX-License-Identifier: GPL-3.0-or-later
#include "CopyFailure.h"

#include <atomic>
#include <cerrno>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>

namespace CopyFailures {

namespace {

thread_local CopyFailure t_last = CopyFailure::None;
thread_local const std::atomic<bool>* t_cancel = nullptr;

std::atomic<bool> g_injected{false};
std::atomic<int> g_injectedError{0};
std::atomic<qint64> g_bytesLeft{0};

} // namespace

CopyFailure fromErrno(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return CopyFailure::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
        return CopyFailure::ReadOnlyFolder;
    case ENOENT:
    case ENOTDIR:
        return CopyFailure::MissingFolder;
    default:
        return CopyFailure::Failed;
    }
}

void note(CopyFailure failure)
{
    if (failure == CopyFailure::None || t_last == CopyFailure::DiskFull)
        return;
    t_last = failure;
}

void noteErrno(int code) { note(fromErrno(code)); }

CopyFailure last() { return t_last; }

void clear() { t_last = CopyFailure::None; }

CopyFailure checkFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (folder.isEmpty() || ::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return CopyFailure::MissingFolder;
    const int injected = g_injected ? g_injectedError.load() : 0;
    if (injected == EROFS || injected == EACCES || injected == EPERM)
        return CopyFailure::ReadOnlyFolder;
    struct statvfs volume {};
    if (::statvfs(native.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY))
        return CopyFailure::ReadOnlyFolder;
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return errno == EROFS || errno == EACCES || errno == EPERM ? CopyFailure::ReadOnlyFolder
                                                                   : CopyFailure::Failed;
    return CopyFailure::None;
}

ScopedInjectedWriteFailure::ScopedInjectedWriteFailure(int error, qint64 afterBytes)
{
    g_injectedError = error;
    g_bytesLeft = afterBytes;
    g_injected = true;
}

ScopedInjectedWriteFailure::~ScopedInjectedWriteFailure() { g_injected = false; }

void setThreadCancelFlag(const std::atomic<bool>* flag) { t_cancel = flag; }

bool cancelRequested() { return t_cancel && t_cancel->load(); }

bool injectedWriteFailure(qint64 bytes, int* error)
{
    if (!g_injected.load(std::memory_order_relaxed))
        return false;
    if (g_bytesLeft.fetch_sub(bytes) - bytes >= 0)
        return false;
    g_bytesLeft = 0;
    if (error)
        *error = g_injectedError;
    return true;
}

bool writeFailureInjected() { return g_injected.load(std::memory_order_relaxed); }

} // namespace CopyFailures
