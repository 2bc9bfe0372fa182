// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "QELMessagesConversation.h"

// The rules of the messages view's conversation list, apart from its widgets:
// the order of a group, what a copy takes from the selection, and the title
// half of the search. Pure functions; any thread.
namespace MessagesListRules {

// The group headers, which are also the keys of the lists.
inline const QString kSmsGroup = QStringLiteral("SMS & iMessage");
inline const QString kWhatsAppGroup = QStringLiteral("WhatsApp");

using Groups = QHash<QString, QList<QELMessagesConversation>>;

// The order of a group: an empty title first, then names, then numbers (a
// title whose first character is a digit, or with a "+"); within each,
// ignoring case and diacritics.
bool titleLessThan(const QString& a, const QString& b);
// The list in that order (stable).
QList<QELMessagesConversation> sortedByTitle(QList<QELMessagesConversation> conversations);

// A selected row of the list: a header (child -1) or a conversation of it.
struct SelectedRow {
    int header = 0;
    int child = -1;
};
// What a copy queues: for each selected row in list order, its conversation,
// or every conversation of a selected header; with no row selected, every
// conversation of every group in header order.
QList<QELMessagesConversation> copyQueue(const QStringList& headers, const Groups& shown,
                                         QList<SelectedRow> selected);

// Whether the conversation's title holds `foldedText` (a TextMatch::fold()
// result), ignoring case and diacritics.
bool titleMatches(const QELMessagesConversation& conversation, const QString& foldedText);

} // namespace MessagesListRules
