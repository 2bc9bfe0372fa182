// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include "QELCopy.h"

struct QELBookCopyRun;

// Transfer into the music library: each book (a QELBookDetails item) is
// copied into "<media folder>/Books" and added to the library through its
// host. A book of the PDF kind keeps its device file's extension, one of the
// ePub kind becomes "<name>.epub"; a book stored as a device folder becomes
// a folder of that name. A book the library holds already (a book of that
// name, not any track) is skipped, as is one whose file an earlier run left
// (that file is added again). Names are made safe and numbered within a run.
// Main thread for every call.
class QELTransferBooks : public QELCopy {
    Q_OBJECT
public:
    explicit QELTransferBooks(QObject* parent = nullptr);
    ~QELTransferBooks() override;

    void startCopy() override;
    // Stops the run before its next book, and the file being copied at its
    // next block. Hides QELCopy::cancelCopy.
    void cancelCopy();

    // The books of the last run that were skipped.
    quint32 skippedItemCount() const;

    // The folder the books go into; empty when no library folder is known.
    QString booksFolder();

private:
    void _transferBooks(const std::shared_ptr<QELBookCopyRun>& run);

    mutable std::mutex m_mutex; // guards m_run
    std::shared_ptr<QELBookCopyRun> m_run;
};
