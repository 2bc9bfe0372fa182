// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One part of a note's body, in note order: a line of text or an attachment.
class QELNoteContent {
public:
    // Content formats, shared by the decoder, the records and the readers.
    static constexpr int kTextLine = 1;
    static constexpr int kImage = 2;
    static constexpr int kSketch = 3;
    static constexpr int kVideo = 4;
    // An attachment placeholder that no attachment of a kind we show resolved.
    static constexpr int kUnresolved = 5;
    // An attachment file of another kind (a PDF, a recording, any file): the
    // pages link it by its name.
    static constexpr int kFile = 6;
    // A table: the pages show its cells' text.
    static constexpr int kTable = 7;

    virtual ~QELNoteContent() = default;

    // The part as HTML for the page shown in the view.
    virtual QString htmlRepresentation() const = 0;
    virtual QString plainTextRepresentation() const = 0;

    int contentFormat() const { return m_contentFormat; }
    void setContentFormat(int format) { m_contentFormat = format; }

protected:
    QELNoteContent() = default;
    QELNoteContent(const QELNoteContent&) = default;
    QELNoteContent& operator=(const QELNoteContent&) = default;

private:
    int m_contentFormat = 0;
};
