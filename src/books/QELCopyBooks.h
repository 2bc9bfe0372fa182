// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>

#include "QELCopy.h"

struct QELBookCopyRun;

// Copy to the computer: each book of the PDF kind (a QELBookDetails item) is
// copied into the destination folder as "<name>.<extension of its device
// file>", a book stored as a device folder as the folder "<name>.pdf" with
// its tree. Names are made safe and numbered within a run ("Report.pdf",
// "Report 1.pdf"); a file of an earlier run is kept and the book counted as
// skipped. Books of the ePub kind are passed over without an event, though
// the item count counts them. Main thread for every call.
class QELCopyBooks : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyBooks(QObject* parent = nullptr);
    ~QELCopyBooks() override;

    // Starts the run on a worker thread; without items or a destination
    // folder it only reports the end.
    void startCopy() override;
    // Stops the run before its next book, and the file being copied at its
    // next block (no partial file stays). Hides QELCopy::cancelCopy.
    void cancelCopy();

    // The books of the last run whose copy was there already.
    quint32 skippedItemCount() const;

private:
    void _copyBooks(const std::shared_ptr<QELBookCopyRun>& run);

    mutable std::mutex m_mutex; // guards m_run
    std::shared_ptr<QELBookCopyRun> m_run;
};
