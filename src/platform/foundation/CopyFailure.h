// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include <QString>

// Why an item of a copy could not be copied, as the end of the copy tells the
// user. The file helpers note the reason of their last failure for the thread
// that called them; the copy job reads it when it counts the item as not
// copied, so every job learns why without passing error codes through its own
// code.
enum class CopyFailure {
    None,
    Failed,          // a read or a write failed for another reason
    ReadOnlyFolder,  // the folder cannot be written to
    MissingFolder,   // the folder does not exist (any more)
    DiskFull,        // no space left, or the quota is used up
    MissingOnDevice, // the device no longer has the file
    UnreadableEntry, // a file or a folder to copy could not be read
    UnsupportedName, // a name the other side cannot hold (not UTF-8)
    Cancelled,       // a cancel cut the item short (what it had written is gone)
};

namespace CopyFailures {

// The reason an errno of a local file call stands for.
CopyFailure fromErrno(int code);

// Notes the calling thread's failure; a full disk stays noted until clear(),
// since what fails after it (removing the partial file) says less.
void note(CopyFailure failure);
void noteErrno(int code);
// The calling thread's last noted failure since clear(); None when none.
CopyFailure last();
void clear();

// Whether files can be made in `folder`: None, MissingFolder or ReadOnlyFolder.
// A copy asks this before its first item, so a folder it cannot use is told at
// once instead of once per item.
CopyFailure checkFolder(const QString& folder);

// A fault the file helpers act on as if the disk answered `error` once
// `afterBytes` more bytes were written, for tests of what a copy leaves behind
// when the disk fills up (ENOSPC) or the folder is read-only (EROFS, which
// checkFolder() then answers too). Process-wide while it lives: copies run on
// their own threads. One at a time.
class ScopedInjectedWriteFailure {
public:
    explicit ScopedInjectedWriteFailure(int error, qint64 afterBytes = 0);
    ~ScopedInjectedWriteFailure();
    ScopedInjectedWriteFailure(const ScopedInjectedWriteFailure&) = delete;
    ScopedInjectedWriteFailure& operator=(const ScopedInjectedWriteFailure&) = delete;
};

// The cancel flag of the copy this thread works for (set by the copy job for
// its workers), so that steps deep inside an item (an attachment, a record)
// can stop without a flag passed down to them. False when none is set.
void setThreadCancelFlag(const std::atomic<bool>* flag);
bool cancelRequested();

// Called by the file helpers before writing `bytes`: true (with the errno in
// `error`) when an injected fault makes this write fail.
bool injectedWriteFailure(qint64 bytes, int* error);
// Whether a fault is injected (the helpers then write through the paths that
// check it rather than through the kernel's own copy).
bool writeFailureInjected();

} // namespace CopyFailures
