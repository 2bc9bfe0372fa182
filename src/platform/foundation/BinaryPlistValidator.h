// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// A structural check of a binary property list ("bplist00") that runs before
// libplist sees the bytes. libplist trusts parts of the layout (it asserts on a
// dictionary key it cannot hold as C text, follows shared references into a
// tree of any size, and recurses as deep as the references go), so a damaged
// file from a device or a backup could end the program. This check refuses:
// a bad header or trailer; an offset table or object outside the file; an
// object type or length libplist does not read; an object reference past the
// object count; a dictionary key that is not a string or holds a NUL; a
// container reachable from itself; nesting deeper than `maxDepth` below the
// top object; and a tree that would hold far more nodes than the file has bytes.
namespace BinaryPlistValidator {

// Nothing when the structure is sound, else the first fault found, in English for the log.
std::optional<QString> firstFault(const QByteArray& bytes, int maxDepth);

} // namespace BinaryPlistValidator
