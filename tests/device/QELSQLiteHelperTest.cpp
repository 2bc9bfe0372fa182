#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A small in-memory database in the shape of a device's media library.
Database makeDatabase()
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const char* schema = R"sql(
        CREATE TABLE item (pid INTEGER PRIMARY KEY, title TEXT, year INTEGER, rating REAL, artwork BLOB);
        CREATE TABLE album (pid INTEGER PRIMARY KEY, album TEXT);
        CREATE TABLE empty_table (only_column TEXT);
        CREATE TABLE "it's" ("o'clock" TEXT);
        CREATE VIEW item_view AS SELECT pid, title FROM item;
        INSERT INTO item VALUES (1, 'Grüße 🎵', 1999, 2.5, NULL);
        INSERT INTO item VALUES (2, NULL, NULL, NULL, NULL);
        INSERT INTO album VALUES (1, 'First');
    )sql";
    EXPECT_EQ(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK);
    return Database(db);
}

Statement prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    return Statement(statement);
}

// Probes finalize what they prepare: the caller's connection has no statement left over.
void expectNoStatementLeft(sqlite3* db) { EXPECT_EQ(sqlite3_next_stmt(db, nullptr), nullptr); }

struct TableCase {
    const char* table;
    bool found;
};
void PrintTo(const TableCase& c, std::ostream* os) { *os << c.table; }

class TableProbe : public ::testing::TestWithParam<TableCase> {};

TEST_P(TableProbe, AnswersOnlyForTables)
{
    Database db = makeDatabase();
    EXPECT_EQ(QELSQLiteHelper::doesDatabaseContainTable(db.get(), QString::fromUtf8(GetParam().table)),
              GetParam().found);
    expectNoStatementLeft(db.get());
}

INSTANTIATE_TEST_SUITE_P(Names, TableProbe,
                         ::testing::Values(TableCase{"item", true}, TableCase{"empty_table", true},
                                           TableCase{"missing", false}, TableCase{"item_view", false},
                                           TableCase{"", false},
                                           // A name is looked up as it is, never run as SQL.
                                           TableCase{"it's", true}, TableCase{"x' OR '1'='1", false},
                                           TableCase{"item' --", false}));

struct ColumnCase {
    const char* table;
    const char* column;
    bool found;
};
void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.table << "." << c.column; }

class ColumnProbe : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnProbe, AnswersWhenTableAndColumnExist)
{
    Database db = makeDatabase();
    const ColumnCase& c = GetParam();
    EXPECT_EQ(QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db.get(), QString::fromUtf8(c.table),
                                                                        QString::fromUtf8(c.column)),
              c.found);
    expectNoStatementLeft(db.get());
    // Nothing a name holds runs: every table is still there.
    EXPECT_TRUE(QELSQLiteHelper::doesDatabaseContainTable(db.get(), QStringLiteral("item")));
}

INSTANTIATE_TEST_SUITE_P(Names, ColumnProbe,
                         ::testing::Values(ColumnCase{"item", "title", true}, ColumnCase{"item", "missing", false},
                                           ColumnCase{"missing", "title", false},
                                           ColumnCase{"empty_table", "only_column", true},
                                           // SQLite resolves column names without case, as a query would.
                                           ColumnCase{"item", "TITLE", true}, ColumnCase{"album", "title", false},
                                           ColumnCase{"item_view", "title", true},
                                           ColumnCase{"it's", "o'clock", true},
                                           ColumnCase{"item", "title is null; DROP TABLE item; --", false},
                                           ColumnCase{"item; DROP TABLE item", "pid", false}));

TEST(SQLiteProbes, NoConnectionAnswersNo)
{
    EXPECT_FALSE(QELSQLiteHelper::doesDatabaseContainTable(nullptr, QStringLiteral("item")));
    EXPECT_FALSE(QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(nullptr, QStringLiteral("item"),
                                                                         QStringLiteral("pid")));
    EXPECT_EQ(QELSQLiteHelper::indexOfColumnNamedWithinStatment(QStringLiteral("pid"), nullptr), -1);
    EXPECT_FALSE(QELSQLiteHelper::doesStatmentContainColumn(nullptr, QStringLiteral("pid")));
    EXPECT_EQ(QELSQLiteHelper::stringValueForColumnFromStatment(0, nullptr), QStringLiteral(""));
}

struct StatementColumnCase {
    const char* column;
    int index;
};
void PrintTo(const StatementColumnCase& c, std::ostream* os) { *os << c.column; }

class StatementColumns : public ::testing::TestWithParam<StatementColumnCase> {};

TEST_P(StatementColumns, LastColumnOfThatExactName)
{
    Database db = makeDatabase();
    Statement statement =
        prepare(db.get(), "SELECT item.pid, item.title, album.pid, album.album AS Title FROM item JOIN album "
                          "ON item.pid = album.pid");
    const QString column = QString::fromUtf8(GetParam().column);
    EXPECT_EQ(QELSQLiteHelper::indexOfColumnNamedWithinStatment(column, statement.get()), GetParam().index);
    EXPECT_EQ(QELSQLiteHelper::doesStatmentContainColumn(statement.get(), column), GetParam().index >= 0);
    // The caller's statement is untouched and still steps.
    EXPECT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
}

INSTANTIATE_TEST_SUITE_P(Names, StatementColumns,
                         ::testing::Values(StatementColumnCase{"pid", 2}, StatementColumnCase{"title", 1},
                                           StatementColumnCase{"Title", 3}, StatementColumnCase{"TITLE", -1},
                                           StatementColumnCase{"album", -1}, StatementColumnCase{"", -1}));

TEST(SQLiteProbes, TextOfAColumn)
{
    Database db = makeDatabase();
    Statement statement = prepare(db.get(), "SELECT pid, title, year, rating, artwork FROM item ORDER BY pid");
    ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
    auto text = [&](int column) { return QELSQLiteHelper::stringValueForColumnFromStatment(column, statement.get()); };
    EXPECT_EQ(text(0), QStringLiteral("1"));
    EXPECT_EQ(text(1), QString::fromUtf8("Grüße 🎵"));
    EXPECT_EQ(text(2), QStringLiteral("1999"));
    EXPECT_EQ(text(3), QStringLiteral("2.5"));
    EXPECT_EQ(text(4), QStringLiteral(""));
    EXPECT_FALSE(text(4).isNull());
    EXPECT_EQ(text(99), QStringLiteral(""));

    ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
    for (int column = 1; column < 5; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(text(column), QStringLiteral(""));
        EXPECT_FALSE(text(column).isNull());
    }
}

TEST(SQLiteProbes, QuotedIdentifierDoublesQuotes)
{
    EXPECT_EQ(QELSQLiteHelper::quotedIdentifier(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    Database db = makeDatabase();
    const QString sql = QStringLiteral("SELECT %1 FROM %2")
                            .arg(QELSQLiteHelper::quotedIdentifier(QStringLiteral("o'clock")),
                                 QELSQLiteHelper::quotedIdentifier(QStringLiteral("it's")));
    Statement statement = prepare(db.get(), sql.toUtf8().constData());
    EXPECT_EQ(sqlite3_step(statement.get()), SQLITE_DONE);
}

} // namespace

TEST(SQLiteHelperColumns, AColumnASystemLacksIsSelectedAsNull)
{
    const QELSQLiteDatabase db = QELSQLiteDatabase::openInMemory();
    ASSERT_TRUE(db.execute(QStringLiteral("CREATE TABLE call(address TEXT, Duration REAL)")));
    struct Case {
        const char* table;
        const char* column;
        const char* alias;
        const char* expected;
    };
    for (const Case& c : {Case{"call", "address", "", "address"},
                          Case{"call", "duration", "", "duration"}, // SQLite ignores case
                          Case{"call", "address", "c", "c.address"},
                          Case{"call", "flags", "c", "NULL"},
                          Case{"missing", "address", "", "NULL"}}) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        EXPECT_EQ(QELSQLiteHelper::columnOrNull(db.handle(), QLatin1String(c.table),
                                                QLatin1String(c.column), QLatin1String(c.alias)),
                  QLatin1String(c.expected));
    }
}
