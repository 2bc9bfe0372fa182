// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QStringList>

// Reads the strings out of an archive in the device's typed-stream format
// ("streamtyped"), which sms.db uses for a message's attributed text
// (attributedBody, the only copy of the text on later systems) and for the
// attachment identifiers of the oldest iMessage tables.
//
// The archive is untrusted: every length and reference is checked against
// the bytes and tables read so far, nesting is bounded, and a damaged or
// unknown part ends the reading (what was read before it stands). No
// archive can make it crash, loop or read past the blob.
class TypedStreamReader {
public:
    // The text of an archived (mutable) attributed string: the string that
    // follows its class chain. None when the blob is no such archive, or is
    // damaged before the text ends, or the text is not UTF-8.
    static std::optional<QString> attributedStringText(const QByteArray& blob);
    // Every string the archive holds, in order (an archived array of
    // attachment identifiers); those before any damage.
    static QStringList strings(const QByteArray& blob);
};
