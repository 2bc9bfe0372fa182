// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <optional>

#include <QList>
#include <QString>

#include "QELSafariBookmarkItem.h"

// Safari's Bookmarks.db, read one folder at a time: the visible children of a
// folder, sorted by title (case-sensitive), each folder read once and then
// answered from memory for the reader's lifetime. Reads a private copy, with
// its "-wal" companion. Blocking; worker threads (a folder already read is
// answered without reading).
class QELSafariBookmarksDbReader {
public:
    // Remembers the database; false when no file is there or it does not
    // open as one.
    bool loadSafariBookmarksFromDbPath(const QString& path);

    // The children of folder `parentId` (0: the top level). None before a
    // load that found a file, or when the file has gone before the folder
    // was first read; a folder that could not be read answers an empty list,
    // kept like any other answer.
    std::optional<QList<QELSafariBookmarkItem>> getBookmarksForParentId(int parentId);

    // Walks the whole tree depth first from the top level, in the order
    // shown: `visit` gets each item, the folder that holds it (null at the
    // top) and its depth (0 at the top). A folder met a second time (a
    // damaged file whose folders hold each other) is given again but not
    // entered, so the walk always ends. Reads every folder it has not read.
    void walkTree(const std::function<void(const QELSafariBookmarkItem& item,
                                           const QELSafariBookmarkItem* folder, int depth)>& visit);

    // Why the last read of a folder failed (English, for the log).
    const QString& lastError() const { return m_lastError; }

private:
    QList<QELSafariBookmarkItem> readFolder(int parentId);

    QString m_bookmarksDbPath;
    bool m_loaded = false;
    std::map<int, QList<QELSafariBookmarkItem>> m_bookmarksDictionary;
    QString m_lastError;
};
