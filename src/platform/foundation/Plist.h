#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

typedef void* plist_t;

// Property lists as QVariant, through libplist. Dictionaries are QVariantMap,
// arrays QVariantList, strings QString, integers qint64 (device integers are
// signed 64-bit values; libplist keeps them as raw 64-bit words), reals double,
// booleans bool, dates QDateTime (UTC), data QByteArray, UIDs quint64.
namespace Plist {

enum class Format { Xml, Binary };

// Parses binary or XML property-list bytes. An invalid, truncated or empty
// input gives an invalid QVariant and, when `error` is given, a reason.
QVariant parse(const QByteArray& bytes, QString* error = nullptr);
QVariant readFile(const QString& path, QString* error = nullptr);

// Serialises a value; types that a property list cannot hold are left out.
QByteArray serialize(const QVariant& value, Format format = Format::Xml);

// Writes the serialised value to a temporary name and renames it over `path`,
// so a failed write never leaves a half-written file in place.
bool writeFile(const QString& path, const QVariant& value, Format format = Format::Xml);

// Conversions to and from libplist nodes, for code that talks to libimobiledevice.
// fromNode does not take ownership; toNode's result is owned by the caller.
QVariant fromNode(plist_t node);
plist_t toNode(const QVariant& value);

} // namespace Plist
