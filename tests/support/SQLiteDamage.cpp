// SPDX-License-Identifier: GPL-3.0-or-later
#include "SQLiteDamage.h"

#include <sqlite3.h>

#include <QFile>

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

} // namespace SQLiteDamage
