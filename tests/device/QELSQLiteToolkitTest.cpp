// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite toolkit: reading a copied database with its WAL, row loops that
// fail on a bad end, the scoped transaction and the store base.
#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QELSQLiteDatabase.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "QELSQLiteStore.h"
#include "QELSQLiteTransaction.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QList<qint64> idsOf(const QELSQLiteDatabase& db, const QString& table = QStringLiteral("t"))
{
    QList<qint64> ids;
    QELSQLiteStatement rows(db.handle(),
                            QStringLiteral("SELECT id FROM %1 ORDER BY id").arg(table));
    rows.forEachRow([&ids](const QELSQLiteStatement& row) {
        ids.append(row.int64(0));
        return true;
    });
    return ids;
}

// A device database in WAL mode whose last rows the device has not yet
// checkpointed: ids 1-3 are in the main file, 4-5 only in "-wal". The copies
// are taken while the writer still holds the files open, as a device backup
// or file relay takes them.
class WalCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString original = m_device.filePath(QStringLiteral("x.sqlitedb"));
        QELSQLiteDatabase writer = QELSQLiteDatabase::openOrCreate(original);
        ASSERT_TRUE(writer.isOpen());
        ASSERT_TRUE(
            writer.execute(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                                          "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT);"
                                          "INSERT INTO t VALUES (1,'a'),(2,'b'),(3,'c');"
                                          "PRAGMA wal_checkpoint(TRUNCATE);"
                                          "INSERT INTO t VALUES (4,'recent');"
                                          "INSERT INTO t VALUES (5,'latest');")));
        ASSERT_GT(QFileInfo(original + QStringLiteral("-wal")).size(), 0);
        ASSERT_TRUE(QFile::copy(original, copyPath()));
        ASSERT_TRUE(
            QFile::copy(original + QStringLiteral("-wal"), copyPath() + QStringLiteral("-wal")));
        m_originalBytes = readAll(original);
        m_writer = writer;
    }

    QString copyPath() const { return m_copies.filePath(QStringLiteral("x.sqlitedb")); }

    QTemporaryDir m_device;
    QTemporaryDir m_copies;
    QELSQLiteDatabase m_writer;
    QByteArray m_originalBytes;
};

TEST_F(WalCopy, RowsThatLiveOnlyInTheWalAreRead)
{
    const QByteArray copiedMain = readAll(copyPath());
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        QString error;
        QELSQLiteDatabase copy = QELSQLiteDatabase::openCopyReadOnly(copyPath(), &error);
        ASSERT_TRUE(copy.isOpen()) << error.toStdString();
        EXPECT_EQ(idsOf(copy), (QList<qint64>{1, 2, 3, 4, 5}));
        // The connection only reads, even though SQLite had to open it for writing.
        EXPECT_FALSE(copy.execute(QStringLiteral("INSERT INTO t VALUES (6,'x')")));
    }
    // Closing folds nothing into the copy, so a second reader sees what was copied.
    EXPECT_EQ(readAll(copyPath()), copiedMain);
    EXPECT_TRUE(QFileInfo::exists(copyPath() + QStringLiteral("-wal")));
    // The device's own files are never touched.
    EXPECT_EQ(readAll(m_device.filePath(QStringLiteral("x.sqlitedb"))), m_originalBytes);
}

TEST_F(WalCopy, WithoutItsWalACopyHoldsOnlyTheCheckpointedRows)
{
    // Shows what the companion is worth: the main file alone lacks the last rows.
    QFile::remove(copyPath() + QStringLiteral("-wal"));
    QString error;
    QELSQLiteDatabase copy = QELSQLiteDatabase::openCopyReadOnly(copyPath(), &error);
    ASSERT_TRUE(copy.isOpen()) << error.toStdString();
    EXPECT_EQ(idsOf(copy), (QList<qint64>{1, 2, 3}));
}

// A table of `rows` rows over many pages, each row long enough that a page
// holds only a few.
QString writeBigTable(const QString& path, int rows)
{
    QELSQLiteDatabase db = QELSQLiteDatabase::openOrCreate(path);
    EXPECT_TRUE(db.execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)")));
    QELSQLiteTransaction transaction(db.handle());
    QELSQLiteStatement insert(db.handle(), QStringLiteral("INSERT INTO t VALUES (?1, ?2)"));
    for (int i = 1; i <= rows; ++i) {
        insert.bindInt64(1, i);
        insert.bindText(2, QString(200, QLatin1Char('a' + i % 26)));
        EXPECT_TRUE(insert.execute());
    }
    EXPECT_TRUE(transaction.commit());
    return path;
}

struct RowLoop {
    bool complete = false;
    int rows = 0;
    int code = 0;
};

RowLoop readAllRows(const QELSQLiteDatabase& db)
{
    RowLoop loop;
    QELSQLiteStatement rows(db.handle(), QStringLiteral("SELECT id, v FROM t"));
    loop.complete = rows.forEachRow([&loop](const QELSQLiteStatement&) {
        ++loop.rows;
        return true;
    });
    loop.code = rows.lastStepCode();
    return loop;
}

TEST(SQLiteRows, ACorruptPageMidTableFailsTheLoop)
{
    QTemporaryDir dir;
    const QString path = writeBigTable(dir.filePath(QStringLiteral("big.db")), 600);
    {
        const RowLoop intact = readAllRows(QELSQLiteDatabase::openCopyReadOnly(path));
        EXPECT_TRUE(intact.complete);
        EXPECT_EQ(intact.rows, 600);
    }
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(path, QStringLiteral("t")));
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    ASSERT_TRUE(db.isOpen()) << error.toStdString(); // the schema page is whole
    const RowLoop damaged = readAllRows(db);
    EXPECT_FALSE(damaged.complete);
    EXPECT_GT(damaged.rows, 0);
    EXPECT_LT(damaged.rows, 600);
    EXPECT_EQ(damaged.code, SQLITE_CORRUPT);

    // The loop of old: it simply stops, and the rows read look like all of them.
    QELSQLiteStatement plain(db.handle(), QStringLiteral("SELECT id, v FROM t"));
    int seen = 0;
    while (plain.step())
        ++seen;
    EXPECT_EQ(seen, damaged.rows);
}

TEST(SQLiteRows, StoppingEarlyIsNoFailureAndAnUnpreparedStatementIs)
{
    QTemporaryDir dir;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(
        writeBigTable(dir.filePath(QStringLiteral("s.db")), 10));
    QELSQLiteStatement rows(db.handle(), QStringLiteral("SELECT id FROM t ORDER BY id"));
    QList<qint64> seen;
    EXPECT_TRUE(rows.forEachRow([&seen](const QELSQLiteStatement& row) {
        seen.append(row.int64(0));
        return seen.size() < 3;
    }));
    EXPECT_EQ(seen, (QList<qint64>{1, 2, 3}));

    QELSQLiteStatement broken(db.handle(), QStringLiteral("SELECT nothing FROM nowhere"));
    bool called = false;
    EXPECT_FALSE(broken.forEachRow([&called](const QELSQLiteStatement&) { return called = true; }));
    EXPECT_FALSE(called);
    EXPECT_FALSE(broken.errorMessage().isEmpty());
}

// Files that are not whole databases. Each either fails to open with a reason
// or fails its row loop: none reads as a complete table, none crashes.
struct DamageCase {
    const char* what;
    std::function<bool(const QString& path)> damage;
    bool opens; // the schema survives, so only the rows fail
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class DamagedFile : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFile, FailsClearlyNeverAsACompleteRead)
{
    QTemporaryDir dir;
    const QString path = writeBigTable(dir.filePath(QStringLiteral("d.db")), 600);
    ASSERT_TRUE(GetParam().damage(path));
    for (const auto& open :
         {&QELSQLiteDatabase::openCopyReadOnly, &QELSQLiteDatabase::openReadOnly}) {
        QString error;
        int code = SQLITE_OK;
        const QELSQLiteDatabase db =
            open(path, &error, &code, QELSQLiteDatabase::kDeviceStepBudget);
        EXPECT_EQ(db.isOpen(), GetParam().opens) << error.toStdString();
        if (!db.isOpen()) {
            EXPECT_TRUE(error.contains(path)) << error.toStdString();
            EXPECT_NE(code, SQLITE_OK);
            continue;
        }
        EXPECT_FALSE(readAllRows(db).complete);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFile,
    ::testing::Values(
        DamageCase{"empty", [](const QString& p) { return SQLiteDamage::truncateTo(p, 0); }, false},
        DamageCase{"missing", [](const QString& p) { return QFile::remove(p); }, false},
        DamageCase{"text",
                   [](const QString& p) {
                       return writeFile(
                           p,
                           "just some text, long enough to pass for a header or two............");
                   },
                   false},
        DamageCase{"magic then garbage",
                   [](const QString& p) {
                       return writeFile(p, QByteArray("SQLite format 3\0garbage", 23));
                   },
                   false},
        DamageCase{"header cut short",
                   [](const QString& p) { return SQLiteDamage::truncateTo(p, 60); }, false},
        DamageCase{"first page garbage",
                   [](const QString& p) { return SQLiteDamage::overwritePage(p, 1); }, false},
        // The header still counts the pages that were cut off.
        DamageCase{
            "cut in half",
            [](const QString& p) { return SQLiteDamage::truncateTo(p, QFileInfo(p).size() / 2); },
            false},
        DamageCase{"cut to one page",
                   [](const QString& p) { return SQLiteDamage::truncateTo(p, 4096); }, false},
        DamageCase{
            "page mid-table garbage",
            [](const QString& p) { return SQLiteDamage::damageMiddleOf(p, QStringLiteral("t")); },
            true}));

// How a transaction's scope ends: only commit() keeps the rows.
struct TransactionCase {
    const char* what;
    std::function<void(QELSQLiteTransaction&, QELSQLiteStatement&)> body;
    bool kept;
};
void PrintTo(const TransactionCase& c, std::ostream* os) { *os << c.what; }

class ScopedTransaction : public ::testing::TestWithParam<TransactionCase> {};

TEST_P(ScopedTransaction, KeepsRowsOnlyWhenCommitted)
{
    QTemporaryDir dir;
    const QELSQLiteDatabase db =
        QELSQLiteDatabase::openOrCreate(dir.filePath(QStringLiteral("tx.db")));
    ASSERT_TRUE(db.execute(QStringLiteral(
        "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1,'before')")));
    try {
        QELSQLiteTransaction transaction(db.handle());
        ASSERT_TRUE(transaction.isActive()) << transaction.error().toStdString();
        QELSQLiteStatement insert(db.handle(),
                                  QStringLiteral("INSERT INTO t VALUES (?1, 'inside')"));
        insert.bindInt64(1, 2);
        ASSERT_TRUE(insert.execute());
        GetParam().body(transaction, insert);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(idsOf(db), GetParam().kept ? (QList<qint64>{1, 2}) : (QList<qint64>{1}));
    // The connection is out of the transaction either way.
    EXPECT_EQ(sqlite3_get_autocommit(db.handle()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ScopedTransaction,
    ::testing::Values(
        TransactionCase{
            "commit", [](QELSQLiteTransaction& t, QELSQLiteStatement&) { EXPECT_TRUE(t.commit()); },
            true},
        TransactionCase{"early return", [](QELSQLiteTransaction&, QELSQLiteStatement&) {}, false},
        TransactionCase{
            "exception",
            [](QELSQLiteTransaction&, QELSQLiteStatement&) { throw std::runtime_error("x"); },
            false},
        TransactionCase{"explicit rollback, then commit",
                        [](QELSQLiteTransaction& t, QELSQLiteStatement&) {
                            t.rollback();
                            EXPECT_FALSE(t.commit());
                        },
                        false},
        TransactionCase{"a failing statement, then return",
                        [](QELSQLiteTransaction&, QELSQLiteStatement& insert) {
                            insert.bindInt64(1, 1); // the id is taken
                            EXPECT_FALSE(insert.execute());
                        },
                        false}));

// A store of notes, the shape of every store that derives from the base.
class NoteStore : public QELSQLiteStore {
public:
    static std::unique_ptr<NoteStore> open(const QString& path,
                                           WhenFileFails whenFileFails = WhenFileFails::UseMemory)
    {
        std::unique_ptr<NoteStore> store(new NoteStore());
        if (!store->openStore(path, whenFileFails))
            return nullptr;
        return store;
    }
    using WhenFileFails = QELSQLiteStore::WhenFileFails;

    QVariant valueOf(qint64 id, const char* column)
    {
        QELSQLiteStatement select =
            prepare(QStringLiteral("SELECT body, data, number FROM note WHERE id=?1"));
        select.bindInt64(1, id);
        if (!select.step())
            return QStringLiteral("<no row>");
        const int index = select.columnIndex(QString::fromLatin1(column));
        switch (select.columnType(index)) {
        case SQLITE_NULL:
            return QVariant();
        case SQLITE_INTEGER:
            return select.int64(index);
        case SQLITE_FLOAT:
            return select.real(index);
        case SQLITE_BLOB:
            return select.blob(index);
        default:
            return select.storedText(index);
        }
    }
    QString journalMode()
    {
        QELSQLiteStatement mode = prepare(QStringLiteral("PRAGMA journal_mode"));
        return mode.step() ? mode.text(0) : QString();
    }

protected:
    QStringList schemaStatements() const override
    {
        return {QStringLiteral("CREATE TABLE IF NOT EXISTS note (id INTEGER PRIMARY KEY, body "
                               "TEXT, data BLOB, number)")};
    }

private:
    NoteStore() = default;
};

struct StoreCase {
    const char* what;
    std::function<QString(const QString& dir)> prepare; // answers the store path
    NoteStore::WhenFileFails whenFileFails;
    bool inMemory;
};
void PrintTo(const StoreCase& c, std::ostream* os) { *os << c.what; }

class StoreOpening : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreOpening, UsesTheFileOrFallsBackToMemory)
{
    QTemporaryDir dir;
    const QString path = GetParam().prepare(dir.path());
    if (path == QLatin1String("<skip>"))
        GTEST_SKIP() << "permissions do not bind this user";
    auto store = NoteStore::open(path, GetParam().whenFileFails);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->isInMemory(), GetParam().inMemory);
    EXPECT_EQ(store->filePath(), path);
    EXPECT_EQ(store->journalMode(), QStringLiteral("off"));
    ASSERT_TRUE(store->run(QStringLiteral("INSERT INTO note (id, body) VALUES (?1, ?2)"),
                           {7, QStringLiteral("kept")}));
    EXPECT_EQ(store->valueOf(7, "body"), QVariant(QStringLiteral("kept")));
    if (!GetParam().inMemory) {
        EXPECT_TRUE(QFileInfo(path).isFile());
    }
    // Lets the temporary folder go.
    QFile(dir.filePath(QStringLiteral("locked")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

INSTANTIATE_TEST_SUITE_P(
    Places, StoreOpening,
    ::testing::Values(StoreCase{"writable folder",
                                [](const QString& d) { return d + QStringLiteral("/s.sqlite"); },
                                NoteStore::WhenFileFails::UseMemory, false},
                      StoreCase{"no path", [](const QString&) { return QString(); },
                                NoteStore::WhenFileFails::UseMemory, true},
                      StoreCase{"folder is a file",
                                [](const QString& d) {
                                    writeFile(d + QStringLiteral("/plain"), "x");
                                    return d + QStringLiteral("/plain/s.sqlite");
                                },
                                NoteStore::WhenFileFails::UseMemory, true},
                      StoreCase{"folder not writable",
                                [](const QString& d) {
                                    if (geteuid() == 0)
                                        return QStringLiteral("<skip>");
                                    QDir(d).mkdir(QStringLiteral("locked"));
                                    QFile(d + QStringLiteral("/locked"))
                                        .setPermissions(QFileDevice::ReadOwner
                                                        | QFileDevice::ExeOwner);
                                    return d + QStringLiteral("/locked/s.sqlite");
                                },
                                NoteStore::WhenFileFails::UseMemory, true},
                      StoreCase{"a folder in the file's place",
                                [](const QString& d) {
                                    QDir(d).mkdir(QStringLiteral("s.sqlite"));
                                    return d + QStringLiteral("/s.sqlite");
                                },
                                NoteStore::WhenFileFails::UseMemory, true},
                      StoreCase{"damaged file, memory",
                                [](const QString& d) {
                                    writeFile(d + QStringLiteral("/s.sqlite"),
                                              QByteArray(8192, '\x5a'));
                                    return d + QStringLiteral("/s.sqlite");
                                },
                                NoteStore::WhenFileFails::UseMemory, true},
                      StoreCase{"damaged file, started afresh",
                                [](const QString& d) {
                                    writeFile(d + QStringLiteral("/s.sqlite"),
                                              QByteArray(8192, '\x5a'));
                                    return d + QStringLiteral("/s.sqlite");
                                },
                                NoteStore::WhenFileFails::RecreateFileThenUseMemory, false}));

TEST(SQLiteStore, KeepsAnEarlierRunsRowsWhenItsSchemaAllowsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    ASSERT_TRUE(NoteStore::open(path)->run(
        QStringLiteral("INSERT INTO note (id, body) VALUES (1, 'first run')")));
    auto again = NoteStore::open(path, NoteStore::WhenFileFails::RecreateFileThenUseMemory);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->isInMemory());
    EXPECT_EQ(again->valueOf(1, "body"), QVariant(QStringLiteral("first run")));
}

TEST(SQLiteStore, BoundValuesAreStoredVerbatim)
{
    auto store = NoteStore::open(QString());
    ASSERT_TRUE(store);
    const QStringList hostile = {
        QStringLiteral("'); DROP TABLE note; --"),
        QStringLiteral("x' OR '1'='1"),
        QStringLiteral("\"double\" and 'single' quotes"),
        QStringLiteral("?1 ?2 :name @name $name"),
        QStringLiteral("%s %n %d \\ \\\\ \\'"),
        QStringLiteral("line\nbreak\rreturn\ttab"),
        QStringLiteral("(null)"),
        QStringLiteral(""),
        QStringLiteral("Grüße 🎵 ☃ 日本"),
        QStringLiteral("; END; COMMIT; BEGIN;"),
        QStringLiteral("/* unterminated comment"),
    };
    qint64 id = 0;
    for (const QString& text : hostile) {
        SCOPED_TRACE(text.toStdString());
        ++id;
        QString error;
        ASSERT_TRUE(store->run(QStringLiteral("INSERT INTO note (id, body) VALUES (?1, ?2)"),
                               {id, text}, &error))
            << error.toStdString();
        const QVariant back = store->valueOf(id, "body");
        EXPECT_EQ(back.toString(), text);
        EXPECT_FALSE(back.isNull());
    }
    // Each value by its type; a null text and a null array are NULL.
    struct Typed {
        QVariant value;
        const char* column;
        QVariant expected;
    };
    const QByteArray withNul("a\0b\xff", 4);
    const Typed typed[] = {
        {QVariant(QString()), "body", QVariant()},
        {QVariant(), "number", QVariant()},
        {QVariant(withNul), "data", QVariant(withNul)},
        {QVariant(QByteArray()), "data", QVariant()},
        {QVariant(std::numeric_limits<qint64>::max()), "number",
         QVariant(std::numeric_limits<qint64>::max())},
        {QVariant(std::numeric_limits<qint64>::min()), "number",
         QVariant(std::numeric_limits<qint64>::min())},
        {QVariant(true), "number", QVariant(qint64(1))},
        {QVariant(2.5), "number", QVariant(2.5)},
    };
    for (const Typed& t : typed) {
        SCOPED_TRACE(t.column);
        ++id;
        ASSERT_TRUE(store->run(QStringLiteral("INSERT INTO note (id, %1) VALUES (?1, ?2)")
                                   .arg(QLatin1String(t.column)),
                               {id, t.value}));
        EXPECT_EQ(store->valueOf(id, t.column), t.expected);
    }
    QELSQLiteStatement count = store->prepare(QStringLiteral("SELECT count(*) FROM note"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), id);
}

TEST(SQLiteStore, ItsLockIsReentrantAndRunFailsWithAReason)
{
    auto store = NoteStore::open(QString());
    ASSERT_TRUE(store);
    std::lock_guard<std::recursive_mutex> outer(store->lock());
    std::lock_guard<std::recursive_mutex> inner(store->lock());
    QString error;
    EXPECT_FALSE(store->run(QStringLiteral("INSERT INTO missing VALUES (1)"), {}, &error));
    EXPECT_TRUE(error.contains(QLatin1String("missing"))) << error.toStdString();
    store->close();
    EXPECT_FALSE(store->isOpen());
    EXPECT_FALSE(store->run(QStringLiteral("INSERT INTO note (id) VALUES (1)")));
}

} // namespace

namespace {

// A device file whose expected table is a view over a query that never ends
// (or ends after longer than anyone would wait).
struct HostileViewCase {
    const char* name;
    const char* view;
    bool inPlace; // opened where it lies (a manifest) rather than as a copy
};

class HostileView : public ::testing::TestWithParam<HostileViewCase> {};

QString writeHostileDatabase(const QString& path, const char* view)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE real_rows(id INTEGER PRIMARY KEY, v TEXT);", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db, view, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

constexpr Clock::Milliseconds kTestBudget{100};

} // namespace

TEST_P(HostileView, AReadOfItGivesUpWithAReasonInsteadOfRunningForEver)
{
    QTemporaryDir dir;
    const QString path =
        writeHostileDatabase(dir.filePath(QStringLiteral("hostile.db")), GetParam().view);
    QString error;
    const QELSQLiteDatabase db = GetParam().inPlace
        ? QELSQLiteDatabase::openReadOnly(path, &error, nullptr, kTestBudget)
        : QELSQLiteDatabase::openCopyReadOnly(path, &error, nullptr, kTestBudget);
    ASSERT_TRUE(db.isOpen()) << error.toStdString();

    QELSQLiteStatement rows(db.handle(), QStringLiteral("SELECT * FROM t"));
    ASSERT_TRUE(rows.isPrepared()) << rows.errorMessage().toStdString();
    int seen = 0;
    const bool complete = rows.forEachRow([&seen](const QELSQLiteStatement&) {
        ++seen;
        return true;
    });
    EXPECT_FALSE(complete);
    EXPECT_EQ(rows.lastStepCode(), SQLITE_INTERRUPT);
    EXPECT_TRUE(rows.errorMessage().contains(QStringLiteral("time limit")))
        << rows.errorMessage().toStdString();

    // The connection stays usable for the next, honest query.
    QELSQLiteStatement count(db.handle(), QStringLiteral("SELECT count(*) FROM real_rows"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), 0);
}

INSTANTIATE_TEST_SUITE_P(
    SQLiteBudget, HostileView,
    ::testing::Values(
        HostileViewCase{"EndlessRecursionAsCopy",
                        "CREATE VIEW t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                        "FROM c) SELECT x FROM c WHERE x < 0;",
                        false},
        HostileViewCase{"EndlessRecursionInPlace",
                        "CREATE VIEW t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                        "FROM c) SELECT x FROM c WHERE x < 0;",
                        true},
        HostileViewCase{"HugeSortedCrossJoin",
                        "CREATE VIEW t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                        "FROM c LIMIT 100000) SELECT a.x * b.x AS p FROM c a, c b ORDER BY p;",
                        false}),
    [](const ::testing::TestParamInfo<HostileViewCase>& info) { return info.param.name; });

// Inside a Read the budget is the whole read's: once a hostile statement has
// spent it, the read's next statement gives up at once too, so a file cannot
// stall a read for the budget once per statement; outside it the connection
// serves honest queries again. The read keeps its first failure, whose
// reason is the statement's own, never "not an error".
TEST(SQLiteBudget, OneReadSharesOneBudgetAndKeepsItsFirstFailure)
{
    QTemporaryDir dir;
    const QString path = writeHostileDatabase(
        dir.filePath(QStringLiteral("hostile.db")),
        "CREATE VIEW t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
        "FROM c) SELECT x FROM c WHERE x < 0;");
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path);
    ASSERT_TRUE(db.isOpen());
    QString error;
    {
        QELSQLiteStepBudget::Read read(kTestBudget);
        EXPECT_EQ(QELSQLiteStepBudget::Read::current(), &read);
        QELSQLiteStatement hostile(db.handle(), QStringLiteral("SELECT * FROM t"));
        EXPECT_FALSE(hostile.forEachRow([](const QELSQLiteStatement&) { return true; }));
        EXPECT_EQ(hostile.lastStepCode(), SQLITE_INTERRUPT);
        QELSQLiteStepBudget::Read::failCurrent(QStringLiteral("the rows"), hostile.errorMessage());
        // A long honest query after it: the read's budget is gone.
        QELSQLiteStatement honest(
            db.handle(),
            QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                           "FROM c LIMIT 3000000) SELECT count(*) FROM c"));
        EXPECT_FALSE(honest.step());
        EXPECT_EQ(honest.lastStepCode(), SQLITE_INTERRUPT);
        read.fail(QStringLiteral("later"), QStringLiteral("ignored"));
        error = read.error();
    }
    EXPECT_EQ(QELSQLiteStepBudget::Read::current(), nullptr);
    EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: the rows: ")));
    EXPECT_TRUE(error.contains(QStringLiteral("time limit"))) << error.toStdString();
    QELSQLiteStatement count(db.handle(), QStringLiteral("SELECT count(*) FROM real_rows"));
    EXPECT_TRUE(count.step());

    // A failed step keeps its reason after other statements ran on the
    // connection; a failure without one is never "not an error".
    QELSQLiteStatement damaged(db.handle(), QStringLiteral("SELECT abs(-9223372036854775808)"));
    EXPECT_FALSE(damaged.step());
    QELSQLiteStatement other(db.handle(), QStringLiteral("SELECT 1"));
    EXPECT_TRUE(other.step());
    EXPECT_TRUE(damaged.errorMessage().contains(QStringLiteral("overflow")))
        << damaged.errorMessage().toStdString();
    QELSQLiteStepBudget::Read empty;
    empty.fail(QStringLiteral("x"), QStringLiteral("not an error"));
    EXPECT_FALSE(empty.error().contains(QStringLiteral("not an error")));
}

// The budget holds for one step, not for the whole read: a long read of many
// quick steps, with the caller's own work between them, runs to its end.
TEST(SQLiteBudget, CountsEachStepNotTheWholeRead)
{
    QTemporaryDir dir;
    const QString path = writeBigTable(dir.filePath(QStringLiteral("big.db")), 600);
    const QELSQLiteDatabase db =
        QELSQLiteDatabase::openCopyReadOnly(path, nullptr, nullptr, kTestBudget);
    ASSERT_TRUE(db.isOpen());
    const auto budget = kTestBudget;
    const auto start = std::chrono::steady_clock::now();
    int seen = 0;
    QELSQLiteStatement rows(db.handle(), QStringLiteral("SELECT id, v FROM t"));
    const bool complete = rows.forEachRow([&](const QELSQLiteStatement&) {
        // Work between steps longer than one step's budget in total.
        if (++seen == 300) {
            while (std::chrono::steady_clock::now() - start < budget * 2) {}
        }
        return true;
    });
    EXPECT_TRUE(complete) << rows.errorMessage().toStdString();
    EXPECT_EQ(seen, 600);
}

// Device files are read with SQLite's defensive settings; our own stores are not.
TEST(SQLiteBudget, DeviceFilesAreOpenedDefensively)
{
    QTemporaryDir dir;
    const QString path = writeBigTable(dir.filePath(QStringLiteral("big.db")), 3);
    const QELSQLiteDatabase device = QELSQLiteDatabase::openCopyReadOnly(path);
    const QELSQLiteDatabase manifest = QELSQLiteDatabase::openReadOnly(path);
    for (const QELSQLiteDatabase* db : {&device, &manifest}) {
        ASSERT_TRUE(db->isOpen());
        int defensive = -1;
        int trusted = -1;
        sqlite3_db_config(db->handle(), SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
        sqlite3_db_config(db->handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, -1, &trusted);
        EXPECT_EQ(defensive, 1);
        EXPECT_EQ(trusted, 0);
    }
}

// Whole numbers from REAL columns: a device file may hold any double there.
TEST(SQLiteRows, WholeNumbersFromRealsDropTheFractionAndClampTheRange)
{
    const QELSQLiteDatabase db = QELSQLiteDatabase::openInMemory();
    ASSERT_TRUE(db.execute(QStringLiteral("CREATE TABLE n(id INTEGER PRIMARY KEY, v)")));
    struct Case {
        const char* stored;
        qint64 expected;
    };
    const std::vector<Case> cases = {
        {"12.9", 12},
        {"-12.9", -12},
        {"0.5", 0},
        {"1e300", std::numeric_limits<qint64>::max()},
        {"-1e300", std::numeric_limits<qint64>::min()},
        {"9223372036854775807.0", std::numeric_limits<qint64>::max()},
        {"4611686018427387904", qint64(1) << 62},      // an INTEGER keeps every digit
        {"9e999", std::numeric_limits<qint64>::max()}, // infinity
        {"'7.5'", 7},
        {"NULL", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(db.execute(QStringLiteral("DELETE FROM n; INSERT INTO n(v) VALUES (%1)")
                                   .arg(QString::fromLatin1(c.stored))));
        QELSQLiteStatement row(db.handle(), QStringLiteral("SELECT v FROM n"));
        ASSERT_TRUE(row.step());
        EXPECT_EQ(row.wholeNumber(0), c.expected);
        EXPECT_EQ(row.wholeNumber(QStringLiteral("v")), c.expected);
        EXPECT_EQ(row.wholeNumber(QStringLiteral("absent")), 0);
    }
}

namespace {

// A read that answers more rows than its file has bytes cannot be reading
// stored rows once each: a view over an endless query, a join of a damaged
// file with itself, pages that point back at each other. Honest reads of
// many rows, in the file or its WAL, end as they should.
struct RowBoundCase {
    const char* name;
    const char* schema; // run on a new database
    const char* query;
    bool inMemory;
    bool completes;
    int rows; // when it completes
};
void PrintTo(const RowBoundCase& c, std::ostream* os) { *os << c.name; }

class RowBound : public ::testing::TestWithParam<RowBoundCase> {};

// Far past any bound of the small files below, so that a read without the
// bound stops here instead of running for ever.
constexpr int kRowCap = 1000000;

constexpr const char* kNumbers = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                 "LIMIT %1) ";

// The schema with "%1" standing for a query of the numbers 1 to `rows`.
QString numbered(const char* sql, int rows)
{
    QString schema = QString::fromLatin1(sql);
    return schema.replace(QStringLiteral("%1"), QString::fromLatin1(kNumbers).arg(rows));
}

} // namespace

TEST_P(RowBound, AReadOfMoreRowsThanTheFileHoldsFailsAndHonestReadsEnd)
{
    const RowBoundCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.db"));
    QELSQLiteDatabase db;
    if (c.inMemory) {
        db = QELSQLiteDatabase::openInMemory();
        ASSERT_TRUE(db.execute(numbered(c.schema, 300)));
    } else {
        {
            QELSQLiteDatabase writer = QELSQLiteDatabase::openOrCreate(path);
            // A WAL stays beside the file, as in a copy of a device's database.
            sqlite3_db_config(writer.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            QString error;
            ASSERT_TRUE(writer.execute(numbered(c.schema, c.rows > 0 ? c.rows : 300), &error))
                << error.toStdString();
        }
        QString error;
        db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
        ASSERT_TRUE(db.isOpen()) << error.toStdString();
    }
    const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();

    QELSQLiteStatement rows(db.handle(), QString::fromLatin1(c.query));
    ASSERT_TRUE(rows.isPrepared()) << rows.errorMessage().toStdString();
    qint64 seen = 0;
    const bool complete =
        rows.forEachRow([&seen](const QELSQLiteStatement&) { return ++seen < kRowCap; });
    if (c.completes) {
        EXPECT_TRUE(complete) << rows.errorMessage().toStdString();
        EXPECT_EQ(seen, c.rows);
        return;
    }
    EXPECT_FALSE(complete);
    EXPECT_EQ(rows.lastStepCode(), SQLITE_CORRUPT);
    EXPECT_EQ(rows.errorMessage(),
              QStringLiteral("a query answered more rows than the file could "
                             "hold; the file is damaged or hostile"));
    EXPECT_GT(seen, bytes);
    EXPECT_LE(seen, 2 * std::max<qint64>(bytes, 1024));
    // It stays failed until it is started again, and then reads from the top.
    EXPECT_FALSE(rows.step());
    EXPECT_EQ(rows.lastStepCode(), SQLITE_CORRUPT);
    rows.reset();
    EXPECT_TRUE(rows.step());
    EXPECT_EQ(rows.int64(0), 1);
}

INSTANTIATE_TEST_SUITE_P(
    SQLiteRows, RowBound,
    ::testing::Values(
        RowBoundCase{"EndlessView",
                     "CREATE TABLE real_rows(id INTEGER PRIMARY KEY); CREATE VIEW t AS WITH "
                     "RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c;",
                     "SELECT * FROM t", false, false, 0},
        RowBoundCase{"CrossJoinOfAFewRows",
                     "CREATE TABLE t(id INTEGER PRIMARY KEY); INSERT INTO t %1 SELECT x FROM c;",
                     "SELECT a.id, b.id FROM t a, t b", false, false, 0},
        RowBoundCase{"ManySmallRows",
                     "CREATE TABLE t(id INTEGER PRIMARY KEY); INSERT INTO t %1 SELECT x FROM c;",
                     "SELECT id FROM t", false, true, 100000},
        RowBoundCase{"ManySmallRowsInTheWal",
                     "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                     "CREATE TABLE t(id INTEGER PRIMARY KEY); INSERT INTO t %1 SELECT x FROM c;",
                     "SELECT id FROM t", false, true, 100000},
        RowBoundCase{"OneToManyJoin",
                     "CREATE TABLE parent(id INTEGER PRIMARY KEY); "
                     "INSERT INTO parent VALUES (1),(2),(3),(4),(5),(6),(7),(8),(9),(10); "
                     "CREATE TABLE child(id INTEGER PRIMARY KEY, p INTEGER); "
                     "INSERT INTO child %1 SELECT x, x % 10 + 1 FROM c;",
                     "SELECT parent.id, child.id FROM parent JOIN child ON child.p = parent.id",
                     false, true, 100000},
        RowBoundCase{"CrossJoinInMemory",
                     "CREATE TABLE t(id INTEGER PRIMARY KEY); INSERT INTO t %1 SELECT x FROM c;",
                     "SELECT a.id, b.id FROM t a, t b", true, true, 90000}),
    [](const ::testing::TestParamInfo<RowBoundCase>& info) { return info.param.name; });

// Our own stores read rows that a transaction has not yet written to the
// file (journal_mode OFF keeps them in memory until it ends): they count.
TEST(SQLiteRows, RowsOfAnOpenTransactionAreReadWhole)
{
    QTemporaryDir dir;
    const QELSQLiteDatabase db =
        QELSQLiteDatabase::openOrCreate(dir.filePath(QStringLiteral("store.db")));
    ASSERT_TRUE(db.execute(QStringLiteral("PRAGMA journal_mode=OFF; CREATE TABLE t(id INTEGER "
                                          "PRIMARY KEY); BEGIN;")));
    ASSERT_TRUE(db.execute(numbered("INSERT INTO t %1 SELECT x FROM c", 100000)));
    ASSERT_LT(QFileInfo(dir.filePath(QStringLiteral("store.db"))).size(), 100000);
    QELSQLiteStatement rows(db.handle(), QStringLiteral("SELECT id FROM t"));
    int seen = 0;
    EXPECT_TRUE(rows.forEachRow([&seen](const QELSQLiteStatement&) { return ++seen < kRowCap; }))
        << rows.errorMessage().toStdString();
    EXPECT_EQ(seen, 100000);
    EXPECT_TRUE(db.execute(QStringLiteral("COMMIT")));
}
