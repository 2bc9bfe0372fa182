// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One attachment named by a note's body, in body order: its kind, its
// identifier (the note store's ZIDENTIFIER of the attachment row) and its
// type identifier.
class QELNoteFormatDetail {
public:
    // A content format (QELNoteContent): kImage, kSketch, kVideo, or
    // kUnresolved for a kind the pages do not show (a table, a link, a PDF).
    int formatType() const { return m_formatType; }
    void setFormatType(int type) { m_formatType = type; }
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString& identifier) { m_identifier = identifier; }
    QString typeIdentifier() const { return m_typeIdentifier; }
    void setTypeIdentifier(const QString& uti) { m_typeIdentifier = uti; }

private:
    int m_formatType = 0;
    QString m_identifier;
    QString m_typeIdentifier;
};
