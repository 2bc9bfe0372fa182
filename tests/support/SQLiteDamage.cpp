// SPDX-License-Identifier: GPL-3.0-or-later
#include "SQLiteDamage.h"

#include <algorithm>

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

namespace SQLiteDamage {

namespace {

int pageSizeOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(100);
    if (header.size() < 100)
        return 0;
    const int size = (static_cast<unsigned char>(header.at(16)) << 8)
        | static_cast<unsigned char>(header.at(17));
    return size == 1 ? 65536 : size;
}

int rootPageOf(const QString& path, const QString& table)
{
    int root = 0;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT rootpage FROM sqlite_master WHERE type='table' AND name=?1",
                               -1, &statement, nullptr)
            == SQLITE_OK) {
            const QByteArray name = table.toUtf8();
            sqlite3_bind_text(statement, 1, name.constData(), static_cast<int>(name.size()),
                              SQLITE_TRANSIENT);
            if (sqlite3_step(statement) == SQLITE_ROW)
                root = sqlite3_column_int(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return root;
}

void putBigEndian(QByteArray& bytes, qsizetype at, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
}

// An interior page of a table b-tree whose `fanout` cells and right-most
// pointer all lead to `child`; keys 1 to fanout, each a one-byte varint.
QByteArray interiorPage(int pageSize, bool first, int fanout, int child)
{
    QByteArray page(pageSize, '\0');
    const int header = first ? 100 : 0; // page 1 begins with the file header
    constexpr int kCell = 5;            // child page number and a one-byte key
    const int contentStart = pageSize - fanout * kCell;
    page[header] = 0x05;
    putBigEndian(page, header + 3, static_cast<quint32>(fanout), 2);
    putBigEndian(page, header + 5, static_cast<quint32>(contentStart), 2);
    putBigEndian(page, header + 8, static_cast<quint32>(child), 4);
    for (int i = 0; i < fanout; ++i) {
        const int cell = contentStart + i * kCell;
        putBigEndian(page, header + 12 + 2 * i, static_cast<quint32>(cell), 2);
        putBigEndian(page, cell, static_cast<quint32>(child), 4);
        page[cell + 4] = static_cast<char>(i + 1);
    }
    return page;
}

bool writePage(const QString& path, int pageSize, int page, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 offset = static_cast<qint64>(page - 1) * pageSize;
    if (offset + pageSize > file.size() || !file.seek(offset))
        return false;
    // Page 1 keeps its file header.
    const QByteArray kept = page == 1 ? file.read(100) + bytes.mid(100) : bytes;
    return file.seek(offset) && file.write(kept) == pageSize;
}

// Counts to `steps` before the rows come; an uncorrelated subquery, so once
// per statement, however many rows follow.
QString counting(qint64 steps)
{
    return QStringLiteral("(WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r "
                          "WHERE x < %1) SELECT max(x) FROM r) > 0")
        .arg(steps);
}

// Renames `table` and puts a view of its name in its place: the columns of
// the table (and its ROWID) as "kept", joined after `before`.
bool replaceWithView(const QString& path, const QString& table, const QString& before,
                     const QString& where)
{
    sqlite3* db = nullptr;
    bool done = false;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
        == SQLITE_OK) {
        bool hasRowIdColumn = false;
        bool found = false;
        sqlite3_stmt* info = nullptr;
        const QByteArray pragma = QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toUtf8();
        if (sqlite3_prepare_v2(db, pragma.constData(), -1, &info, nullptr) == SQLITE_OK) {
            while (sqlite3_step(info) == SQLITE_ROW) {
                found = true;
                const QString name =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 1)));
                hasRowIdColumn = hasRowIdColumn
                    || name.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0;
            }
        }
        sqlite3_finalize(info);
        const QString kept = table + QStringLiteral("_kept");
        const QString rowId = hasRowIdColumn ? QString() : QStringLiteral("kept.rowid AS ROWID, ");
        const QString sql =
            QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"; "
                           "CREATE VIEW \"%1\" AS SELECT %3kept.* FROM %4\"%2\" kept WHERE %5;")
                .arg(table, kept, rowId, before, where);
        done = found
            && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_close_v2(db);
    return done;
}

} // namespace

QList<int> leafPagesOf(const QString& path, const QString& table)
{
    QList<int> pages;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(
                db, "SELECT pageno FROM dbstat WHERE name=?1 AND pagetype='leaf' ORDER BY pageno",
                -1, &statement, nullptr)
            == SQLITE_OK) {
            const QByteArray name = table.toUtf8();
            sqlite3_bind_text(statement, 1, name.constData(), static_cast<int>(name.size()),
                              SQLITE_TRANSIENT);
            while (sqlite3_step(statement) == SQLITE_ROW)
                pages.append(sqlite3_column_int(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return pages;
}

bool overwritePage(const QString& path, int page)
{
    const int pageSize = pageSizeOf(path);
    QFile file(path);
    if (pageSize == 0 || page < 1 || !file.open(QIODevice::ReadWrite))
        return false;
    const qint64 offset = static_cast<qint64>(page - 1) * pageSize;
    if (offset + pageSize > file.size() || !file.seek(offset))
        return false;
    return file.write(QByteArray(pageSize, '\xA5')) == pageSize;
}

bool damageMiddleOf(const QString& path, const QString& table)
{
    const QList<int> pages = leafPagesOf(path, table);
    if (pages.size() < 3)
        return false;
    return overwritePage(path, pages.at(pages.size() / 2));
}

bool repeatRows(const QString& path, const QString& table, int levels, int fanout)
{
    const int pageSize = pageSizeOf(path);
    const int root = rootPageOf(path, table);
    const QList<int> leaves = leafPagesOf(path, table);
    constexpr int kCell = 7; // the cell and its pointer
    if (pageSize == 0 || root == 0 || leaves.contains(root) || levels < 1 || levels > 18
        || leaves.size() < levels || fanout < 1 || 12 + fanout * kCell > pageSize)
        return false;
    // The rungs: the root, then leaves 2 to `levels`; the last leads to leaf 1.
    QList<int> rungs{root};
    for (int i = 1; i < levels; ++i)
        rungs.append(leaves.at(i));
    for (qsizetype i = 0; i < rungs.size(); ++i) {
        const int child = i + 1 < rungs.size() ? rungs.at(i + 1) : leaves.first();
        if (!writePage(path, pageSize, rungs.at(i),
                       interiorPage(pageSize, rungs.at(i) == 1, fanout, child)))
            return false;
    }
    return true;
}

bool truncateTo(const QString& path, qint64 bytes)
{
    QFile file(path);
    return file.exists() && file.resize(bytes);
}

bool slowDown(const QString& path, const QString& table, qint64 steps)
{
    return replaceWithView(path, table, QString(), counting(steps));
}

bool makeEndless(const QString& path, const QString& table)
{
    return replaceWithView(path, table,
                           QStringLiteral("(WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL "
                                          "SELECT x + 1 FROM r) SELECT x FROM r) CROSS JOIN "),
                           QStringLiteral("1"));
}

std::chrono::milliseconds timeToCount(qint64 steps)
{
    sqlite3* db = nullptr;
    qint64 quickest = -1;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        const QByteArray sql = (QStringLiteral("SELECT ") + counting(steps)).toUtf8();
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
            const qint64 elapsed = timer.elapsed();
            if (quickest < 0 || elapsed < quickest)
                quickest = elapsed;
        }
    }
    sqlite3_close_v2(db);
    return std::chrono::milliseconds(std::max<qint64>(quickest, 1));
}

} // namespace SQLiteDamage
