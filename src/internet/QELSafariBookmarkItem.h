// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A bookmark or a bookmark folder of Safari's Bookmarks.db. A folder's id is
// the parent id of its children; its url is the empty string.
class QELSafariBookmarkItem {
public:
    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const QString& url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }
    int orderIndex() const { return m_orderIndex; }
    void setOrderIndex(int index) { m_orderIndex = index; }
    bool isFolder() const { return m_isFolder; }
    void setIsFolder(bool folder) { m_isFolder = folder; }
    int bookmarkId() const { return m_bookmarkId; }
    void setBookmarkId(int id) { m_bookmarkId = id; }

private:
    QString m_title;
    QString m_url;
    int m_orderIndex = 0;
    bool m_isFolder = false;
    int m_bookmarkId = 0;
};
