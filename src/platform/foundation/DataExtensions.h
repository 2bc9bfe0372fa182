#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// zlib compression of byte buffers, and one-line Base64 text.
namespace DataExtensions {

// The most bytes an inflate produces unless told otherwise. Streams come from
// device files, and a few kilobytes of crafted input can expand without end.
inline constexpr qsizetype kDefaultInflateLimit = qsizetype(512) * 1024 * 1024;

// Inflates one complete zlib stream (RFC 1950; raw deflate and gzip are
// refused). Empty input gives empty output. A corrupt or truncated stream, or
// one that would produce more than `limit` bytes, gives nothing.
std::optional<QByteArray> zlibInflate(const QByteArray& data,
                                      qsizetype limit = kDefaultInflateLimit);

// As zlibInflate, for a stream wrapped either way: a zlib (RFC 1950) or a gzip
// (RFC 1952) header, told apart by the stream itself (zlib's window bits 47).
// Note bodies come in both forms.
std::optional<QByteArray> gzipOrZlibInflate(const QByteArray& data,
                                            qsizetype limit = kDefaultInflateLimit);

// Compresses into one complete zlib stream at the default level. Empty input
// gives empty output; nothing when the compressor cannot be set up.
std::optional<QByteArray> zlibDeflate(const QByteArray& data);

} // namespace DataExtensions

namespace StringAdditions {

// The standard Base64 text (RFC 4648, with padding) of the data, on one line.
// `length` is what callers pass as the data's length; it does not change the text.
QString base64StringFromDataLength(const QByteArray& data, int length);

} // namespace StringAdditions
