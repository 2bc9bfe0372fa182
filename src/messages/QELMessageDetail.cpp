// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessageDetail.h"

#include "TextMatch.h"

bool QELMessageDetail::contains(const QString& searchText) const
{
    if (searchText.isEmpty())
        return false;
    // Case and accents do not count, as in every other search field.
    const QString needle = TextMatch::fold(searchText);
    if (TextMatch::containsFolded(m_message, needle))
        return true;
    for (const QELMessagePiece& piece : m_messagePieces) {
        if (piece.isText() && TextMatch::containsFolded(piece.contentLocation(), needle))
            return true;
    }
    return false;
}
