// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNotesTable.h"

#include <algorithm>

#include "TextMatch.h"

QELNotesTable::Rows QELNotesTable::processNotesForTable(
    const QELNoteDatabaseReader::NoteList& notes)
{
    Rows rows;
    std::optional<qint64> lastAccount;
    std::optional<qint64> lastFolder;
    for (const std::shared_ptr<QELNoteDetail>& note : notes) {
        const std::optional<QELNoteAccountDetail>& account = note->accountDetail();
        if (account && account->accountId() != 0
            && (!lastAccount || *lastAccount != account->accountId())) {
            QELNoteTableObjectDefinition row;
            row.setTitle(account->name());
            row.setIdentifier(account->accountId());
            row.setType(QELNoteTableObjectDefinition::kAccount);
            rows.append(row);
            lastAccount = account->accountId();
        }
        const std::optional<QELNoteFolderDetail>& folder = note->folderDetail();
        if (folder && folder->folderId() != 0
            && (!lastFolder || *lastFolder != folder->folderId())) {
            QELNoteTableObjectDefinition row;
            row.setTitle(folder->name());
            row.setIdentifier(folder->folderId());
            row.setType(QELNoteTableObjectDefinition::kFolder);
            rows.append(row);
            lastFolder = folder->folderId();
        }
        QELNoteTableObjectDefinition row;
        row.setTitle(note->title());
        row.setIdentifier(note->noteId());
        row.setType(QELNoteTableObjectDefinition::kNote);
        row.setRowKey(note->rowKey());
        rows.append(row);
    }
    return rows;
}

bool QELNotesTable::notesIndented(const Rows& rows)
{
    return std::any_of(rows.cbegin(), rows.cend(), [](const QELNoteTableObjectDefinition& row) {
        return row.type() != QELNoteTableObjectDefinition::kNote;
    });
}

QELNotesTable::Selection QELNotesTable::expandSelection(const Rows& rows,
                                                        const QList<int>& selected,
                                                        std::optional<int> current)
{
    auto isNote = [&rows](int i) {
        return i >= 0 && i < rows.size()
            && rows.at(i).type() == QELNoteTableObjectDefinition::kNote;
    };
    QList<int> chosen;
    for (int i : selected)
        if (isNote(i) && !chosen.contains(i))
            chosen.append(i);
    if (current && *current >= 0 && *current < rows.size()) {
        const int type = rows.at(*current).type();
        if (type == QELNoteTableObjectDefinition::kFolder) {
            for (int i = *current + 1; isNote(i); ++i)
                if (!chosen.contains(i))
                    chosen.append(i);
        } else if (type == QELNoteTableObjectDefinition::kAccount) {
            for (int i = *current + 1;
                 i < rows.size() && rows.at(i).type() != QELNoteTableObjectDefinition::kAccount;
                 ++i)
                if (isNote(i) && !chosen.contains(i))
                    chosen.append(i);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    Selection selection;
    selection.rows = chosen;
    if (!chosen.isEmpty())
        selection.shownRow = chosen.first();
    return selection;
}

QELNoteDatabaseReader::NoteList QELNotesTable::filterNotes(
    const QELNoteDatabaseReader::NoteList& notes, const QString& text)
{
    if (text.isEmpty())
        return notes;
    const QString needle = TextMatch::fold(text);
    QELNoteDatabaseReader::NoteList found;
    for (const std::shared_ptr<QELNoteDetail>& note : notes) {
        const bool inFolder = note->folderDetail() && !note->folderDetail()->name().isEmpty()
            && TextMatch::containsFolded(note->folderDetail()->name(), needle);
        if (inFolder || TextMatch::containsFolded(note->summary(), needle)
            || TextMatch::containsFolded(note->title(), needle))
            found.append(note);
    }
    return found;
}

std::shared_ptr<QELNoteDetail> QELNotesTable::noteForRow(
    const QELNoteDatabaseReader::NoteList& notes, const QELNoteTableObjectDefinition& row)
{
    if (row.type() != QELNoteTableObjectDefinition::kNote)
        return nullptr;
    for (const std::shared_ptr<QELNoteDetail>& note : notes)
        if (note->rowKey() == row.rowKey())
            return note;
    return nullptr;
}
