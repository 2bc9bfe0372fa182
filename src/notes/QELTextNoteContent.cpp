// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTextNoteContent.h"

#include "TextEscaping.h"

QELTextNoteContent::QELTextNoteContent() { setContentFormat(kTextLine); }

QString QELTextNoteContent::htmlRepresentation() const
{
    if (m_textData.isNull() || contentFormat() != kTextLine)
        return QStringLiteral("<br/>");
    return TextEscaping::htmlText(m_textData);
}

QString QELTextNoteContent::plainTextRepresentation() const
{
    return m_textData.isNull() ? QString(QLatin1String("")) : m_textData;
}
