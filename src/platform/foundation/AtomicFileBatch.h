// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "AtomicFile.h"

// The files one copy run writes. Each is written under a temporary name and
// renamed into place when complete, as writeFileAtomically does, but the run
// syncs the data and the folders once, at commit(), instead of once per file.
// A file that a placed one replaces is kept under a hidden name until then, so
// abandon() (or the destructor of a batch never committed) removes what the
// run placed and puts every replaced file back. Not thread-safe: one batch per
// job, on its worker thread.
class AtomicFileBatch {
public:
    AtomicFileBatch() = default;
    ~AtomicFileBatch();
    AtomicFileBatch(const AtomicFileBatch&) = delete;
    AtomicFileBatch& operator=(const AtomicFileBatch&) = delete;

    // A valid `modified` becomes the file's modification time.
    bool write(const QString& target, const QByteArray& data, QString* error = nullptr,
               const QDateTime& modified = QDateTime());
    bool write(const QString& target, const AtomicFile::Producer& produce, QString* error = nullptr,
               const QDateTime& modified = QDateTime());

    // For a file the caller fills by other means (a copy from the device): a
    // path beside `target` that does not exist yet, removed again by abandon()
    // when it is never placed.
    QString temporaryPathFor(const QString& target);
    // Moves a complete temporary file over `target`. A folder is never
    // replaced; the temporary file is removed when the move fails.
    bool place(const QString& temporaryPath, const QString& target, QString* error = nullptr);

    // Syncs every placed file and their folders, then drops the replaced files;
    // the batch is then empty and may take the next run. On failure the batch
    // stays open (abandon() still undoes it).
    bool commit(QString* error = nullptr);
    // Removes the run's files and restores the ones they replaced.
    void abandon();

    // The targets placed so far, in order.
    QStringList placedFiles() const;

private:
    struct Placed {
        QString target;
        QString replaced; // the hidden name of the file it replaced, or empty
    };
    std::vector<Placed> m_placed;
    QStringList m_temporaries;
};
