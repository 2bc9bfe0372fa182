// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractItemModel>
#include <QIcon>

#include "QELSafariBookmarkItem.h"

class QELSafariBookmarksDbReader;

// Safari's bookmarks as a tree of folders and bookmarks, in the reader's
// order. Main thread; the nodes are made on the load's worker (nodesFrom),
// which reads every folder, and handed over whole.
class InternetBookmarksModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Node {
        QELSafariBookmarkItem item;
        int parent = -1; // the node index of its folder; -1 at the top
        int row = 0;     // its row under its folder
        std::vector<int> children;
    };
    struct Tree {
        std::vector<Node> nodes;
        std::vector<int> top;
    };
    enum Role {
        UrlRole = Qt::UserRole + 1, // a bookmark's address; none for a folder
        IsFolderRole,
    };

    explicit InternetBookmarksModel(QObject* parent = nullptr);

    static Tree nodesFrom(QELSafariBookmarksDbReader& reader);
    void setTree(Tree tree);

    const QELSafariBookmarkItem* itemAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QIcon m_folderIcon;
    QIcon m_bookmarkIcon;
    const std::vector<int>* childrenOf(const QModelIndex& parent) const;
    // An index's internal id is its node index.
    Tree m_tree;
};
