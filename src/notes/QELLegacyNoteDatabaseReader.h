// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELNoteDatabaseReader.h"

class QELSQLiteDatabase;

// Reads the notes of the databases before the note store: the Core Data
// generation (notes.sqlite: ZNOTE, ZNOTEBODY) or the earlier one (notes.db:
// Note, note_bodies). Bodies are HTML; the notes get them cleaned of markup,
// as text and as summary (so the search finds their words).
class QELLegacyNoteDatabaseReader : public QELNoteDatabaseReader {
public:
    explicit QELLegacyNoteDatabaseReader(const QString& notesDbPath);

    // getNotes(), sorted by title (plain, case-sensitive comparison).
    NoteList getAllNotes() override;
    QString className() const override { return QStringLiteral("QELLegacyNoteDatabaseReader"); }

    // The unsorted notes; empty when the database cannot be read or has
    // neither generation's tables. Blocking: worker threads.
    NoteList getNotes();

private:
    QString m_databasePath;
};
