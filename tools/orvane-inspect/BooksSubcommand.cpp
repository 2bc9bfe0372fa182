// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect books DEVICE-FOLDER`: the books of a simulated device
// (docs/simulated-devices.md) as the books view lists them.
// A list that is there but damaged refuses the input (exit code 2) and says
// which list and why.
//
// The device folder is attached to a simulated backend and read through the
// device interface by the books view's own reader: the main list's books,
// then the purchases'. "kind" is "pdf" for a book of the PDF kind, else its
// extension in lower case; "path" the book's device path, null for a
// purchase the device holds no file of.
#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELBooksReader.h"
#include "QELDeviceInterface.h"
#include "SimulatedDeviceConnection.h"

namespace {

using InspectJson::text;

int inspectBooks(const InspectRequest& request)
{
    SimulatedDeviceConnection connection;
    QString why;
    if (!connection.connect(request.folder, &why))
        return InspectSubcommands::fail(why);
    const QELBooksReader::Result result = QELBooksReader::readBooks(connection.device());
    // A damaged list would otherwise read as a device without those books.
    if (!result.problems.isEmpty())
        return InspectSubcommands::fail(result.problems.join(QStringLiteral("; ")));
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("books"));
    for (const QELBookDetails& book : result.books) {
        QJsonObject item;
        item.insert(QStringLiteral("title"), text(book.name()));
        item.insert(QStringLiteral("author"), text(book.artist()));
        item.insert(QStringLiteral("kind"), text(book.kindText()));
        item.insert(QStringLiteral("path"),
                    book.path().isEmpty() ? QJsonValue() : text(book.path()));
        out.value(item);
    }
    out.end();
    return out.finish();
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("books"),
    QStringLiteral("the books of a simulated device as the books view lists them: title, author, "
                   "kind and device path (DEVICE-FOLDER)"),
    InspectSubcommand::Input::FolderOnly,
    false,
    {},
    {},
    inspectBooks,
});

} // namespace
