// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessagesListRules.h"

#include <algorithm>

#include "TextMatch.h"

namespace MessagesListRules {

namespace {

bool isNumber(const QString& title)
{
    return (!title.isEmpty() && title.at(0).isDigit()) || title.contains(QLatin1Char('+'));
}

} // namespace

bool titleLessThan(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && !b.isEmpty();
    const bool aNumber = isNumber(a);
    const bool bNumber = isNumber(b);
    if (aNumber != bNumber)
        return bNumber;
    return TextMatch::compareFolded(a, b) < 0;
}

QList<QELMessagesConversation> sortedByTitle(QList<QELMessagesConversation> conversations)
{
    std::stable_sort(conversations.begin(), conversations.end(),
                     [](const QELMessagesConversation& a, const QELMessagesConversation& b) {
                         return titleLessThan(a.title(), b.title());
                     });
    return conversations;
}

QList<QELMessagesConversation> copyQueue(const QStringList& headers, const Groups& shown,
                                         QList<SelectedRow> selected)
{
    QList<QELMessagesConversation> queue;
    if (selected.isEmpty()) {
        for (const QString& header : headers)
            queue += shown.value(header);
        return queue;
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const SelectedRow& a, const SelectedRow& b) {
                         return a.header != b.header ? a.header < b.header : a.child < b.child;
                     });
    for (const SelectedRow& row : std::as_const(selected)) {
        if (row.header < 0 || row.header >= headers.size())
            continue;
        const QList<QELMessagesConversation> group = shown.value(headers.at(row.header));
        if (row.child < 0)
            queue += group;
        else if (row.child < group.size())
            queue.append(group.at(row.child));
    }
    return queue;
}

bool titleMatches(const QELMessagesConversation& conversation, const QString& foldedText)
{
    return TextMatch::containsFolded(conversation.title(), foldedText);
}

} // namespace MessagesListRules
