// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <optional>

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include "QELBookDetails.h"

class QELDeviceInterface;

// Reads the books of the connected device: the books app's main list and its
// purchases list (QELBooksListParser), each copied into the temporary folder
// first, and each book's cover from "<path>/iTunesArtwork". Blocking, worker
// threads only.
namespace QELBooksReader {

// The bundle identifier of the device's books app.
inline constexpr const char* kBooksAppID = "com.apple.iBooks";
// Covers larger than this are not read; the book shows the default cover.
constexpr qint64 kMaxCoverBytes = 20 * 1024 * 1024;
// A cover is kept at most this many pixels high or wide: a grid of hundreds
// of books must not hold full-size scans.
constexpr int kMaxCoverSide = 512;

struct Result {
    // False when the device has no "/Books" folder.
    bool booksFolderPresent = false;
    // The main list's books, then the purchases'.
    QList<QELBookDetails> books;
    // A list that is there but could not be read, each as "<device path> is
    // damaged: <reason>" and the like; its books are missing from `books`.
    QStringList problems;
};

// Whether the books app is installed. Opens the apps connection for the
// question and always closes it again; nothing when it cannot be asked.
std::optional<bool> isBooksAppPresent(QELDeviceInterface& device);

// Reads both lists with their covers. `cancel`, when set, stops between books
// (the books read so far are answered).
Result readBooks(QELDeviceInterface& device, const std::atomic<bool>* cancel = nullptr);

// The cover stored with the book at `bookPath`; a null image when there is
// none, it is empty, too large or no image.
QImage coverOf(QELDeviceInterface& device, const QString& bookPath);

// The cover of every book without one of its own (one image for all).
QImage defaultCover();

// Where the lists are copied: "Books.plist" and "BookPurchases.plist" in the
// temporary folder; empty when there is no temporary folder.
QString localMainListPath();
QString localPurchasesListPath();

} // namespace QELBooksReader
