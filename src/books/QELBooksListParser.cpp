// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBooksListParser.h"

#include <QVariant>

#include "Log.h"
#include "Plist.h"
#include "SafePath.h"

namespace QELBooksListParser {

namespace {

enum class Source { Main, Purchases };

// A value the lists give as text; a number becomes its decimal text (the
// purchases' "DSID" is one). Identifiers are unsigned 64-bit values, which
// the property-list bridge hands over as signed words.
std::optional<QString> textOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong:
        return QString::number(static_cast<quint64>(value.toLongLong()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return value.toString();
    default:
        return std::nullopt;
    }
}

// The device path of an entry's "Path" below `folder`; null when the entry
// has none, or one that is empty or climbs out of the folder.
QString devicePathOf(const QVariantMap& entry, const QString& folder)
{
    const auto it = entry.constFind(QStringLiteral("Path"));
    if (it == entry.constEnd() || it->typeId() != QMetaType::QString)
        return {};
    QString relative = it->toString();
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    while (relative.endsWith(QLatin1Char('/')))
        relative.chop(1);
    if (relative.isEmpty())
        return {};
    if (!SafePath::isSafeRelativePath(relative)) {
        qCWarning(lcOrvane) << "A book's path leaves its folder and is not used:" << it->toString();
        return {};
    }
    return folder + QLatin1Char('/') + relative;
}

List parse(const QByteArray& bytes, Source source)
{
    List list;
    if (bytes.size() > kMaxListBytes) {
        list.error = QStringLiteral("the list is larger than %1 bytes").arg(kMaxListBytes);
        return list;
    }
    QString why;
    const QVariant root = Plist::parse(bytes, &why);
    if (root.typeId() != QMetaType::QVariantMap) {
        list.error = why.isEmpty() ? QStringLiteral("the list is no dictionary") : why;
        return list;
    }
    const QVariant books = root.toMap().value(QStringLiteral("Books"));
    if (books.typeId() != QMetaType::QVariantList) {
        list.error = QStringLiteral("the list has no \"Books\" array");
        return list;
    }
    list.readable = true;
    const QString folder =
        source == Source::Main ? QStringLiteral("/Books") : QStringLiteral("/Books/Purchases");
    for (const QVariant& item : books.toList()) {
        if (item.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap entry = item.toMap();
        QELBookDetails book;
        book.setPath(devicePathOf(entry, folder));
        if (source == Source::Main && book.path().isNull())
            continue;
        book.setName(textOf(entry.value(QStringLiteral("Name"))).value_or(QString()));
        book.setArtist(textOf(entry.value(QStringLiteral("Artist"))).value_or(QString()));
        std::optional<QString> id = textOf(entry.value(QStringLiteral("Persistent ID")));
        if (!id && source == Source::Purchases)
            id = textOf(entry.value(QStringLiteral("DSID")));
        book.setPersistentID(id.value_or(QString()));
        const QString kindKey =
            source == Source::Main ? QStringLiteral("Extension") : QStringLiteral("Flavor");
        if (entry.contains(kindKey))
            book.setExtension(textOf(entry.value(kindKey)).value_or(QString()));
        list.books.append(book);
    }
    return list;
}

} // namespace

List parseMainList(const QByteArray& bytes) { return parse(bytes, Source::Main); }

List parsePurchasesList(const QByteArray& bytes) { return parse(bytes, Source::Purchases); }

} // namespace QELBooksListParser
