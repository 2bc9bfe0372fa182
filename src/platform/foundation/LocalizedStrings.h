#pragma once

#include <QHash>
#include <QString>

// The user-visible texts, looked up by key in the string table
// (resources/Localizable.strings, lines of the form "KEY" = "text";).
// A key the table lacks shows as the key itself.
namespace LocalizedStrings {

QString text(const QString& key);

// A text with a count: the table's "KEY#one" entry for one, else "KEY"; "%1"
// becomes the count in the locale's digits (a form without "%1" is answered
// as it stands, its "%2" for the caller). Every count shown goes through
// here, so no page says "1 items".
QString count(const QString& key, qint64 n);

// Parses a string table; exposed for tests and for tools.
QHash<QString, QString> parse(const QString& source);

} // namespace LocalizedStrings

inline QString L(const char* key) { return LocalizedStrings::text(QString::fromLatin1(key)); }
inline QString Ln(const char* key, qint64 n)
{
    return LocalizedStrings::count(QString::fromLatin1(key), n);
}
