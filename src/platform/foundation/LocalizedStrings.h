#pragma once

#include <QHash>
#include <QString>

// The user-visible texts, looked up by key in the string table
// (resources/Localizable.strings, lines of the form "KEY" = "text";).
// A key the table lacks shows as the key itself.
namespace LocalizedStrings {

QString text(const QString& key);

// Parses a string table; exposed for tests and for tools.
QHash<QString, QString> parse(const QString& source);

} // namespace LocalizedStrings

inline QString L(const char* key) { return LocalizedStrings::text(QString::fromLatin1(key)); }
