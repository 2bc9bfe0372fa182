// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELNoteContent.h"

// One line of a note, without its line break.
class QELTextNoteContent : public QELNoteContent {
public:
    QELTextNoteContent();

    // The line's text escaped for HTML; "<br/>" for a line without text (its
    // bytes were not UTF-8) or a part that is not a text line.
    QString htmlRepresentation() const override;
    QString plainTextRepresentation() const override;

    // Null when the line's bytes were not valid UTF-8.
    QString textData() const { return m_textData; }
    void setTextData(const QString& text) { m_textData = text; }

private:
    QString m_textData;
};
