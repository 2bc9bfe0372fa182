// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "QELNoteDatabaseReader.h"
#include "QELNoteTableObjectDefinition.h"

// What the notes list shows and does, without a window: the rows made from
// the notes, what a click on a row selects, and the search.
class QELNotesTable {
public:
    using Rows = QList<QELNoteTableObjectDefinition>;

    // The rows of `notes` in their order: an account heading whenever the
    // account changes from one note to the next, a folder heading whenever the
    // folder does (ids 0 and missing ones give none), then the note's row.
    static Rows processNotesForTable(const QELNoteDatabaseReader::NoteList& notes);

    // Whether note rows are indented: when any heading row exists.
    static bool notesIndented(const Rows& rows);

    struct Selection {
        // Every note row selected, in row order; headings are never selected.
        QList<int> rows;
        // The row whose note is shown: the lowest selected; none when no note is.
        std::optional<int> shownRow;
    };
    // The selection after a click: the note rows of `selected`, and for the
    // row selected last (`current`) an account row takes the note rows up to
    // the next account row, a folder row those up to the next heading.
    static Selection expandSelection(const Rows& rows, const QList<int>& selected,
                                     std::optional<int> current);

    // The notes whose folder name, summary or title holds `text`, case and
    // diacritics ignored; all of them for an empty text.
    static QELNoteDatabaseReader::NoteList filterNotes(const QELNoteDatabaseReader::NoteList& notes,
                                                       const QString& text);

    // The note a row stands for; null for a heading or a key not in `notes`.
    static std::shared_ptr<QELNoteDetail> noteForRow(const QELNoteDatabaseReader::NoteList& notes,
                                                     const QELNoteTableObjectDefinition& row);
};
