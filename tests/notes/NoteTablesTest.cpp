// SPDX-License-Identifier: GPL-3.0-or-later
// Table attachments: their cells read from the attachment row's mergeable
// data, shown and exported as an HTML table in row and column order, and
// hostile data that leaves the placeholder.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "FolderBackupFileSource.h"
#include "NotesTestSupport.h"
#include "QELCopyNotes.h"
#include "QELIOS9NoteDataReader.h"
#include "QELIOS9NoteDatabaseReader.h"
#include "QELIOS9NoteDetail.h"
#include "RecordingCopyDelegate.h"
#include "TextEscaping.h"

using namespace NotesTest;
using namespace NoteStoreFixture;

namespace {

using TableRows = QELIOS9NoteDataReader::TableRows;

// The cells of every <table> of a page, row by row, as the page's text.
QList<TableRows> tablesOf(const QString& html)
{
    static const QRegularExpression kTable(QStringLiteral("<table[^>]*>(.*?)</table>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression kRow(QStringLiteral("<tr>(.*?)</tr>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression kCell(QStringLiteral("<td>(.*?)</td>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    QList<TableRows> tables;
    for (auto t = kTable.globalMatch(html); t.hasNext();) {
        TableRows rows;
        const QString table = t.next().captured(1);
        for (auto r = kRow.globalMatch(table); r.hasNext();) {
            QStringList cells;
            const QString row = r.next().captured(1);
            for (auto c = kCell.globalMatch(row); c.hasNext();)
                cells.append(c.next().captured(1));
            rows.append(cells);
        }
        tables.append(rows);
    }
    return tables;
}

// The rows as the page must show them: escaped, lines broken.
TableRows asHtml(const TableRows& rows)
{
    TableRows html;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& cell : row)
            cells.append(
                TextEscaping::htmlText(cell).replace(QLatin1Char('\n'), QStringLiteral("<br/>")));
        html.append(cells);
    }
    return html;
}

const TableRows kBudget{
    {QStringLiteral("Item"), QStringLiteral("Cost"), QStringLiteral("Paid by")},
    {QStringLiteral("Ferry <b>Kiel</b>"), QStringLiteral("€ 84 & tax"), QStringLiteral("Dana")},
    {QStringLiteral("Hotel\nTwo nights"), QStringLiteral(""), QStringLiteral("Elif Yılmaz")},
};

// A backup with one note holding text, a table and more text.
struct TableNote {
    Layout layout = Layout::Later;
    QByteArray mergeableData;
    // The body names the table's type; otherwise only its row does.
    bool typedInBody = true;
};

class NoteTablesTest : public ::testing::Test {
protected:
    std::shared_ptr<QELIOS9NoteDetail> load(const TableNote& spec)
    {
        const QString folder = m_root.filePath(QString::number(++m_calls));
        QDir().mkpath(folder);
        const QString table = QStringLiteral("com.apple.notes.table");
        Store store;
        store.layout = spec.layout;
        store.accounts = {{1, QStringLiteral("iCloud")}};
        Note note;
        note.key = 10;
        note.title = QStringLiteral("Trip budget");
        note.account = 1;
        note.body = noteBody(QStringLiteral("Trip budget\n") + objectReplacement()
                                 + QStringLiteral("\nSettle by Friday"),
                             {{identifier(1), spec.typedInBody ? table : QString()}});
        store.notes = {note};
        AttachmentRow row;
        row.key = 20;
        row.identifier = identifier(1);
        row.typeIdentifier = table;
        row.typeInNewerColumn = spec.layout == Layout::Later;
        row.mergeableData = spec.mergeableData;
        store.attachments = {row};
        EXPECT_TRUE(writeNoteStore(folder + QStringLiteral("/NoteStore.sqlite"), store));
        m_source = std::make_unique<FolderBackupFileSource>(folder);
        m_reader = std::make_shared<QELIOS9NoteDatabaseReader>(m_source->GetPathToDataOfType(4),
                                                               QString());
        m_reader->setDeviceBackup(m_source.get());
        const auto notes = m_reader->getAllNotes();
        EXPECT_EQ(notes.size(), 1);
        if (notes.isEmpty())
            return nullptr;
        EXPECT_TRUE(m_reader->extractMediaForNote(*notes.first()));
        return std::static_pointer_cast<QELIOS9NoteDetail>(notes.first());
    }

    // The page the export job writes, and how many attachments it could not carry.
    QString exported(const std::shared_ptr<QELIOS9NoteDetail>& note, size_t* failed)
    {
        RecordingCopyDelegate delegate;
        QELCopyNotes job;
        job.setDelegate(&delegate);
        job.setExportOptions(QELCopyNotes::kHTML);
        job.setDatabaseReader(m_reader);
        job.setBaseCopyPath(m_out.path());
        job.setItemQueue({QELCopyNotes::itemForNote(note)});
        job.startCopy();
        EXPECT_TRUE(delegate.waitForAllItemsCopied());
        *failed = job.failedItemCount();
        return QString::fromUtf8(readFile(m_out.filePath(QStringLiteral("Trip budget.html"))));
    }

    QTemporaryDir m_root;
    QTemporaryDir m_out;
    int m_calls = 0;
    std::unique_ptr<FolderBackupFileSource> m_source;
    std::shared_ptr<QELIOS9NoteDatabaseReader> m_reader;
};

} // namespace

TEST(NoteTableDecoderTest, ReadsCellsInRowAndColumnOrder)
{
    struct Case {
        const char* name;
        TableRows rows;
        TableRows expected; // empty: as `rows`
    };
    const Case cases[] = {
        {"three by three, escaped text and a line break", kBudget, {}},
        {"one cell", {{QStringLiteral("only")}}, {}},
        {"a cell never written is empty",
         {{QStringLiteral("a"), QString()}, {QString(), QStringLiteral("d")}},
         {{QStringLiteral("a"), QStringLiteral("")}, {QStringLiteral(""), QStringLiteral("d")}}},
        {"ragged rows fill the shortest",
         {{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}, {QStringLiteral("4")}},
         {{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
          {QStringLiteral("4"), QStringLiteral(""), QStringLiteral("")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<TableRows> rows =
            QELIOS9NoteDataReader::readTableData(tableMergeableData(c.rows));
        ASSERT_TRUE(rows.has_value());
        const TableRows& expected = c.expected.isEmpty() ? c.rows : c.expected;
        ASSERT_EQ(rows->size(), expected.size());
        for (qsizetype r = 0; r < expected.size(); ++r)
            EXPECT_EQ(rows->at(r), expected.at(r)) << "row " << r;
    }
}

TEST(NoteTableDecoderTest, BadDataGivesNothing)
{
    const QByteArray good = tableMergeableData(kBudget);
    QByteArray garbage(4096, '\0');
    QRandomGenerator random(54);
    for (char& byte : garbage)
        byte = char(random.bounded(256));
    // A field declaring far more bytes than there are.
    const QByteArray hugeLength =
        ProtoWriter()
            .raw(QByteArray("\x12") + ProtoWriter::encodeVarint(1ULL << 60))
            .raw(QByteArray(32, '\x1A'))
            .data();
    // A grid of 1001 x 1000 with one cell written: more cells than allowed.
    TableRows huge(1001, QStringList(1000, QString()));
    huge[0][0] = QStringLiteral("x");

    struct Case {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"empty", {}},
        {"truncated gzip", good.left(good.size() / 2)},
        {"not compressed", tableDocument(kBudget)},
        {"garbage protobuf", compress(garbage)},
        {"a cut document", compress(tableDocument(kBudget).chopped(7))},
        {"a note body, not a table", noteBody(QStringLiteral("Trip"))},
        {"a length past the end", compress(hugeLength)},
        {"rows that are the table itself",
         tableMergeableData(kBudget, TableFault::RowsAreTheTable)},
        {"cells that name themselves",
         tableMergeableData(kBudget, TableFault::CellsNameThemselves)},
        {"an index past the object list",
         tableMergeableData(kBudget, TableFault::IndexPastTheList)},
        {"a grid past the cell limit", tableMergeableData(huge)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(QELIOS9NoteDataReader::readTableData(c.data).has_value());
    }
}

// The view's page and the exported page show the table between the lines
// around it; both layouts keep the data in their own column.
TEST_F(NoteTablesTest, TheViewAndTheExportShowTheCells)
{
    for (const Layout layout : {Layout::Later, Layout::IOS9}) {
        for (const bool typedInBody : {true, false}) {
            SCOPED_TRACE(testing::Message() << (layout == Layout::Later ? "later" : "iOS 9")
                                            << (typedInBody ? ", typed in body" : ", row only"));
            const auto note = load({layout, tableMergeableData(kBudget), typedInBody});
            ASSERT_TRUE(note);
            const QString page = note->htmlRepresentationWithTitle(QStringLiteral("Trip budget"));
            const QList<TableRows> shown = tablesOf(page);
            ASSERT_EQ(shown.size(), 1) << qPrintable(page);
            EXPECT_EQ(shown.first(), asHtml(kBudget));
            EXPECT_FALSE(page.contains(QLatin1String("<b>Kiel"))) << qPrintable(page);
            EXPECT_LT(page.indexOf(QLatin1String("<table")),
                      page.indexOf(QLatin1String("Settle by Friday")));

            size_t failed = 99;
            const QString file = exported(note, &failed);
            EXPECT_EQ(failed, 0u);
            const QList<TableRows> written = tablesOf(file);
            ASSERT_EQ(written.size(), 1) << qPrintable(file);
            EXPECT_EQ(written.first(), asHtml(kBudget));
            QDir(m_out.path()).removeRecursively();
            QDir().mkpath(m_out.path());
        }
    }
}

// A table whose data is missing or broken keeps its placeholder in the view,
// and the export counts it as not carried.
TEST_F(NoteTablesTest, ABrokenTableKeepsItsPlaceholder)
{
    const QByteArray good = tableMergeableData(kBudget);
    const QByteArray cases[] = {QByteArray(), good.left(good.size() - 9),
                                tableMergeableData(kBudget, TableFault::CellsNameThemselves)};
    for (const QByteArray& data : cases) {
        const auto note = load({Layout::Later, data, true});
        ASSERT_TRUE(note);
        const QString page = note->htmlRepresentationWithTitle(QStringLiteral("Trip budget"));
        EXPECT_FALSE(page.contains(QLatin1String("<table"))) << qPrintable(page);
        EXPECT_TRUE(page.contains(QLatin1String("Settle by Friday")));
        size_t failed = 0;
        const QString file = exported(note, &failed);
        EXPECT_EQ(failed, 1u);
        EXPECT_FALSE(file.contains(QLatin1String("<table")));
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
    }
}
