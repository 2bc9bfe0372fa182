// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include <QString>
#include <QtGlobal>

class QELBookDetails;
class QELDeviceInterface;

namespace SafePath {
class UniqueNamer;
}

// What one run of a book job works with and counts. A run has a cancel of its
// own, so that a file it is copying stops when the run is cancelled or
// replaced, whatever a later run does to the job.
struct QELBookCopyRun {
    QString folder;
    std::atomic<bool> cancel{false};
    std::atomic<quint32> skipped{0};

    // How one book's copy ended.
    enum class Outcome {
        Copied,
        // Its target was there from an earlier run and stays (a folder's
        // missing files are filled in).
        Kept,
        Failed,
        Cancelled,
    };

    // Copies the book into the folder as the named file (or, for a book
    // stored as a device folder, a folder of that name with the tree).
    // `extension` for a file; a folder book is named with `folderExtension`.
    // Answers the outcome and, for Copied and Kept, the target in `target`.
    Outcome copyBook(QELDeviceInterface& device, SafePath::UniqueNamer& namer,
                     const QELBookDetails& book, const QString& fileExtension,
                     const QString& folderExtension, QString* target);

    // The extension of a book's device file as a file name may carry it: a
    // short run of letters and digits, else none.
    static QString deviceExtensionOf(const QString& devicePath);
};
