// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSafariBookmarksDbReader.h"

#include <algorithm>
#include <set>

#include <QFileInfo>

#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "ThreadCheck.h"

namespace {

// Deeper than any folder tree Safari makes; a deeper one is damaged.
constexpr int kMaxDepth = 64;

} // namespace

bool QELSafariBookmarksDbReader::loadSafariBookmarksFromDbPath(const QString& path)
{
    assertNotOnGuiThread();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_lastError = QStringLiteral("no file at %1").arg(path);
        return false;
    }
    m_bookmarksDbPath = path;
    m_loaded = true;
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!db.isOpen()) {
        m_lastError = error;
        return false;
    }
    return true;
}

std::optional<QList<QELSafariBookmarkItem>> QELSafariBookmarksDbReader::getBookmarksForParentId(
    int parentId)
{
    if (!m_loaded)
        return std::nullopt;
    // A folder already read answers from memory even when the copy it came
    // from has been removed since.
    const auto cached = m_bookmarksDictionary.find(parentId);
    if (cached != m_bookmarksDictionary.end())
        return cached->second;
    if (!QFileInfo(m_bookmarksDbPath).isFile())
        return std::nullopt;
    QList<QELSafariBookmarkItem> children = readFolder(parentId);
    std::stable_sort(children.begin(), children.end(),
                     [](const QELSafariBookmarkItem& a, const QELSafariBookmarkItem& b) {
                         return a.title() < b.title();
                     });
    m_bookmarksDictionary.emplace(parentId, children);
    return children;
}

QList<QELSafariBookmarkItem> QELSafariBookmarksDbReader::readFolder(int parentId)
{
    assertNotOnGuiThread();
    QList<QELSafariBookmarkItem> children;
    QString error;
    const QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(m_bookmarksDbPath, &error);
    if (!db.isOpen()) {
        m_lastError = error;
        return children;
    }
    QELSQLiteStatement statement(db.handle(),
                                 QStringLiteral("SELECT id, title, type, url, order_index FROM "
                                                "bookmarks WHERE parent=?1 AND hidden=0 ORDER BY "
                                                "order_index ASC"));
    if (!statement.isPrepared()) {
        m_lastError = statement.errorMessage();
        return children;
    }
    statement.bindInt64(1, parentId);
    const int id = statement.columnIndex(QStringLiteral("id"));
    const int title = statement.columnIndex(QStringLiteral("title"));
    const int type = statement.columnIndex(QStringLiteral("type"));
    const int url = statement.columnIndex(QStringLiteral("url"));
    const int orderIndex = statement.columnIndex(QStringLiteral("order_index"));
    const bool complete = statement.forEachRow([&](const QELSQLiteStatement& row) {
        QELSafariBookmarkItem item;
        item.setBookmarkId(int(row.int64(id)));
        item.setTitle(QELSQLiteHelper::stringValueForColumnFromStatment(title, row.handle()));
        item.setUrl(QELSQLiteHelper::stringValueForColumnFromStatment(url, row.handle()));
        item.setOrderIndex(int(row.int64(orderIndex)));
        item.setIsFolder(row.int64(type) == 1);
        children.append(item);
        return true;
    });
    if (!complete)
        m_lastError = statement.errorMessage();
    return children;
}

void QELSafariBookmarksDbReader::walkTree(
    const std::function<void(const QELSafariBookmarkItem&, const QELSafariBookmarkItem*, int)>&
        visit)
{
    // The top level counts as entered: a folder that claims id 0 lists it again.
    std::set<int> entered{0};
    std::function<void(int, const QELSafariBookmarkItem*, int)> walk =
        [&](int parentId, const QELSafariBookmarkItem* folder, int depth) {
            const std::optional<QList<QELSafariBookmarkItem>> children =
                getBookmarksForParentId(parentId);
            if (!children)
                return;
            for (const QELSafariBookmarkItem& child : *children) {
                visit(child, folder, depth);
                if (child.isFolder() && depth + 1 < kMaxDepth
                    && entered.insert(child.bookmarkId()).second)
                    walk(child.bookmarkId(), &child, depth + 1);
            }
        };
    walk(0, nullptr, 0);
}
