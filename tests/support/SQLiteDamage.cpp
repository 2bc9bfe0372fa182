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

bool truncateTo(const QString& path, qint64 bytes)
{
    QFile file(path);
    return file.exists() && file.resize(bytes);
}

} // namespace SQLiteDamage
