// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "QELBookDetails.h"

// The two lists the device's books app keeps, from their bytes (XML or
// binary property lists) to book records without covers:
//   "/Books/Books.plist": {"Books": [{"Name", "Persistent ID", "Artist",
//       "Path" (below "/Books"), "Extension"}]}; an entry without a usable
//       "Path" is no book of the device and is left out.
//   "Books/Purchases/Purchases.plist": {"Books": [{"Name", "Persistent ID"
//       or "DSID", "Artist", "Path" (below "/Books/Purchases"), "Flavor"}]};
//       an entry without "Path" is kept, without a path.
// A "Path" that would lead out of its folder ("..") counts as none.
namespace QELBooksListParser {

// Lists longer than this are refused unread: a real one holds a few hundred
// short entries.
constexpr qint64 kMaxListBytes = 32 * 1024 * 1024;

struct List {
    // False when the bytes are no property list with a "Books" array; `error`
    // then says why.
    bool readable = false;
    QString error;
    QList<QELBookDetails> books;
};

List parseMainList(const QByteArray& bytes);
List parsePurchasesList(const QByteArray& bytes);

} // namespace QELBooksListParser
