// SPDX-License-Identifier: GPL-3.0-or-later
// The notes list without a window: its rows, what a click selects, the search.
#include <gtest/gtest.h>

#include "NotesTestSupport.h"
#include "QELIOS9NoteDetail.h"
#include "QELNotesTable.h"

namespace {

using Rows = QELNotesTable::Rows;

std::shared_ptr<QELNoteDetail> note(qint64 id, const char* title, qint64 account, qint64 folder,
                                    const char* folderName = "", const char* summary = "")
{
    auto n = std::make_shared<QELIOS9NoteDetail>();
    n->setNoteId(id);
    n->setRowKey({QELNoteRowKey::Source::NoteStore, id});
    n->setTitle(QString::fromUtf8(title));
    n->setSummary(QString::fromUtf8(summary));
    if (account >= 0) {
        QELNoteAccountDetail a;
        a.setAccountId(account);
        a.setName(QStringLiteral("Account %1").arg(account));
        n->setAccountDetail(a);
    }
    if (folder >= 0) {
        QELNoteFolderDetail f;
        f.setFolderId(folder);
        f.setName(*folderName ? QString::fromUtf8(folderName)
                              : QStringLiteral("Folder %1").arg(folder));
        n->setFolderDetail(f);
    }
    return n;
}

// "A:<title>", "F:<title>", "N:<title>" per row.
QStringList describe(const Rows& rows)
{
    QStringList out;
    for (const auto& row : rows) {
        const char* kind = row.type() == QELNoteTableObjectDefinition::kAccount ? "A:"
            : row.type() == QELNoteTableObjectDefinition::kFolder               ? "F:"
                                                                                : "N:";
        out.append(QString::fromLatin1(kind) + row.title());
    }
    return out;
}

QELNoteDatabaseReader::NoteList twoAccountsTwoFolders()
{
    return {note(1, "a", 1, 10), note(2, "b", 1, 10), note(3, "c", 1, 11),
            note(4, "d", 2, 20), note(5, "e", 2, 21), note(6, "f", 2, 21)};
}

} // namespace

TEST(NotesTableTest, HeadingsFollowTheReadersOrder)
{
    struct Case {
        const char* name;
        QELNoteDatabaseReader::NoteList notes;
        QStringList rows;
        bool indented;
    };
    const QList<Case> cases{
        {"two accounts with two folders each",
         twoAccountsTwoFolders(),
         {"A:Account 1", "F:Folder 10", "N:a", "N:b", "F:Folder 11", "N:c", "A:Account 2",
          "F:Folder 20", "N:d", "F:Folder 21", "N:e", "N:f"},
         true},
        {"interleaved accounts and folders repeat their headings",
         {note(1, "a", 1, 10), note(2, "b", 2, 10), note(3, "c", 1, 11), note(4, "d", 1, 11)},
         {"A:Account 1", "F:Folder 10", "N:a", "A:Account 2", "N:b", "A:Account 1", "F:Folder 11",
          "N:c", "N:d"},
         true},
        {"no account and no folder",
         {note(1, "a", -1, -1), note(2, "b", 0, 0)},
         {"N:a", "N:b"},
         false},
        {"no notes", {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rows rows = QELNotesTable::processNotesForTable(c.notes);
        EXPECT_EQ(describe(rows), c.rows);
        EXPECT_EQ(QELNotesTable::notesIndented(rows), c.indented);
    }
}

TEST(NotesTableTest, AClickOnAHeadingSelectsItsNotes)
{
    const Rows rows = QELNotesTable::processNotesForTable(twoAccountsTwoFolders());
    struct Case {
        const char* name;
        QList<int> selected;
        std::optional<int> current;
        QList<int> rows;
        std::optional<int> shown;
    };
    const QList<Case> cases{
        {"account row: its notes up to the next account", {0}, 0, {2, 3, 5}, 2},
        {"last account row: to the end", {6}, 6, {8, 10, 11}, 8},
        {"folder row: its notes up to the next heading", {4}, 4, {5}, 5},
        {"folder row of two notes", {9}, 9, {10, 11}, 10},
        {"several notes: the lowest is shown", {11, 3, 8}, 8, {3, 8, 11}, 3},
        {"notes and a folder", {11, 4}, 4, {5, 11}, 5},
        {"nothing", {}, std::nullopt, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QELNotesTable::Selection selection =
            QELNotesTable::expandSelection(rows, c.selected, c.current);
        EXPECT_EQ(selection.rows, c.rows);
        EXPECT_EQ(selection.shownRow, c.shown);
    }
}

TEST(NotesTableTest, SearchLooksInFolderNamesSummariesAndTitles)
{
    const QELNoteDatabaseReader::NoteList notes{
        note(1, "Groceries", 1, 10, "Kitchen", "milk and eggs"),
        note(2, "Pancakes", 1, 10, "Kitchen", "flour"),
        note(3, "Trip", 1, 11, "Travel", "Lisbon café"),
        note(4, "Plain", -1, -1, "", "nothing here"),
    };
    auto titles = [](const QELNoteDatabaseReader::NoteList& found) {
        QStringList out;
        for (const auto& n : found)
            out.append(n->title());
        return out;
    };
    EXPECT_EQ(titles(QELNotesTable::filterNotes(notes, QStringLiteral("KITCH"))),
              QStringList({"Groceries", "Pancakes"}));
    EXPECT_EQ(titles(QELNotesTable::filterNotes(notes, QStringLiteral("cafe"))),
              QStringList({"Trip"}));
    EXPECT_EQ(titles(QELNotesTable::filterNotes(notes, QStringLiteral("plain"))),
              QStringList({"Plain"}));
    EXPECT_EQ(QELNotesTable::filterNotes(notes, QStringLiteral("nowhere")).size(), 0);
    EXPECT_EQ(QELNotesTable::filterNotes(notes, QString()).size(), 4);
}

TEST(NotesTableTest, RowsNameTheirNoteByItsRowKey)
{
    auto store = note(7, "store note", 1, 10);
    auto older = note(7, "mail note", 256003, 256003);
    older->setRowKey({QELNoteRowKey::Source::OlderDatabase, 7});
    const QELNoteDatabaseReader::NoteList notes{store, older};
    const Rows rows = QELNotesTable::processNotesForTable(notes);
    ASSERT_EQ(describe(rows).last(), QStringLiteral("N:mail note"));
    EXPECT_EQ(QELNotesTable::noteForRow(notes, rows.last()), older);
    EXPECT_EQ(QELNotesTable::noteForRow(notes, rows.at(2)), store);
    EXPECT_EQ(QELNotesTable::noteForRow(notes, rows.first()), nullptr);
}
