// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The order in which the call log lists the other parties of calls and the
// voicemail list its senders: empty names first, then names, then numbers (a
// name that starts with a decimal digit or holds a "+"), each group ignoring
// case and diacritics: "alice", "Bob", "+44 20", "123".
namespace ParticipantNameOrder {

enum class Kind { Empty, Name, Number };

Kind kindOf(const QString& displayName);

// The list order of two display names alone (<0, 0, >0). Names that differ
// only in case or accents ("Bob", "bob", "Böb") compare equal here.
int compareNames(const QString& a, const QString& b);

// One row of the list, as plain values.
struct Entry {
    QString displayName;
    QString handle; // the number or address the name stands for
};

// A strict total order for sorting: compareNames first; names it holds equal
// in the order of their exact text, then of their handles, so that one list
// always comes out in one order.
bool lessThan(const Entry& a, const Entry& b);

} // namespace ParticipantNameOrder
