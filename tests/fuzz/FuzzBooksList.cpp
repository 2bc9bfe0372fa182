// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the books app's lists ("/Books/Books.plist" and
// "Books/Purchases/Purchases.plist"): read, or refused with a reason; every
// path a book gets stays inside its folder.
#include "FuzzSupport.h"
#include "QELBooksListParser.h"
#include "SafePath.h"

namespace {

void check(const QELBooksListParser::List& list, const QString& folder, bool pathNeeded)
{
    if (!list.readable && (list.error.isEmpty() || !list.books.isEmpty()))
        FuzzSupport::fail("a refused list has no reason or still has books");
    if (list.readable && !list.books.isEmpty())
        FuzzSupport::parsed();
    for (const QELBookDetails& book : list.books) {
        if (book.path().isNull()) {
            if (pathNeeded)
                FuzzSupport::fail("a book of the main list has no path");
            continue;
        }
        if (!book.path().startsWith(folder + QLatin1Char('/'))
            || !SafePath::isSafeRelativePath(book.path().mid(folder.size() + 1)))
            FuzzSupport::fail("a book's path leaves its folder");
        (void)book.isPDFKind();
        (void)book.kindText();
        (void)book.fileText();
        (void)book.fileFallbackText();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    check(QELBooksListParser::parseMainList(bytes), QStringLiteral("/Books"), true);
    check(QELBooksListParser::parsePurchasesList(bytes), QStringLiteral("/Books/Purchases"), false);
    return 0;
}
