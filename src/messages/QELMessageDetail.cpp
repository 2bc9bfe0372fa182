// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessageDetail.h"

bool QELMessageDetail::contains(const QString& searchText) const
{
    if (searchText.isEmpty())
        return false;
    if (m_message.contains(searchText, Qt::CaseInsensitive))
        return true;
    for (const QELMessagePiece& piece : m_messagePieces) {
        if (piece.isText() && piece.contentLocation().contains(searchText, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
