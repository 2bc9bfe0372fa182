// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

// Writes that never leave a half-written file behind: the data goes to a
// temporary file in the target's folder, is synced, and is renamed over the
// target only when complete, so an existing file stays whole until its
// replacement is. A target that is a symbolic link is replaced by the new
// file, never written through. Failures answer false and, when `error` is
// given, the reason (English, for the log); no temporary file is left.
// Blocking; worker threads.

namespace AtomicFile {

// Fills the open temporary file; false (with the reason in `error`) abandons
// the write.
using Producer = std::function<bool(QIODevice& out, QString* error)>;

// A path in the folder of `target` that does not exist yet, hidden and short
// enough for any target name.
QString temporaryPathFor(const QString& target);

// Writes a new file at `path` (which must not exist) through `produce`, syncing
// its data to disk first when `sync` is set. The file is removed on failure,
// whose reason is noted for the calling thread (CopyFailures). A valid
// `modified` becomes the file's modification time.
bool writeNewFile(const QString& path, const Producer& produce, bool sync, QString* error,
                  const QDateTime& modified = QDateTime());

// The permissions a new file gets from open(…, 0666): 0666 less the umask.
// Read without changing the umask, which other threads may rely on.
unsigned newFileMode();

// Gives a file the modification time of the item it holds; nothing when
// `modified` is invalid. False when the file system refuses.
bool setModificationTime(const QString& path, const QDateTime& modified);

// Flushes a file's or a folder's data and metadata to disk.
bool syncPath(const QString& path, QString* error);

} // namespace AtomicFile

// A valid `modified` becomes the file's modification time (the date of the
// item the file holds: a voicemail's, a note's).
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr,
                         const QDateTime& modified = QDateTime());
bool writeFileAtomically(const QString& path, const AtomicFile::Producer& produce,
                         QString* error = nullptr, const QDateTime& modified = QDateTime());
