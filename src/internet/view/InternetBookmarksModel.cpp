// SPDX-License-Identifier: GPL-3.0-or-later
#include "InternetBookmarksModel.h"

#include "InternetImages.h"
#include "PlainText.h"
#include "QELSafariBookmarksDbReader.h"

InternetBookmarksModel::InternetBookmarksModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_folderIcon(InternetImages::folder())
    , m_bookmarkIcon(InternetImages::bookmark())
{
}

InternetBookmarksModel::Tree InternetBookmarksModel::nodesFrom(QELSafariBookmarksDbReader& reader)
{
    Tree tree;
    // The walk is depth first: an item's folder is the last node one level up.
    std::vector<int> lastAtDepth;
    reader.walkTree([&](const QELSafariBookmarkItem& item, const QELSafariBookmarkItem*,
                        int depth) {
        const int index = int(tree.nodes.size());
        Node node;
        node.item = item;
        node.parent = depth > 0 && depth <= int(lastAtDepth.size()) ? lastAtDepth[depth - 1] : -1;
        std::vector<int>& siblings =
            node.parent < 0 ? tree.top : tree.nodes[std::size_t(node.parent)].children;
        node.row = int(siblings.size());
        siblings.push_back(index);
        tree.nodes.push_back(std::move(node));
        lastAtDepth.resize(std::size_t(depth) + 1);
        lastAtDepth[std::size_t(depth)] = index;
    });
    return tree;
}

void InternetBookmarksModel::setTree(Tree tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    endResetModel();
}

const QELSafariBookmarkItem* InternetBookmarksModel::itemAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.internalId() >= m_tree.nodes.size())
        return nullptr;
    return &m_tree.nodes[index.internalId()].item;
}

const std::vector<int>* InternetBookmarksModel::childrenOf(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return &m_tree.top;
    if (parent.column() != 0 || parent.internalId() >= m_tree.nodes.size())
        return nullptr;
    return &m_tree.nodes[parent.internalId()].children;
}

QModelIndex InternetBookmarksModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>* children = childrenOf(parent);
    if (!children || column != 0 || row < 0 || std::size_t(row) >= children->size())
        return {};
    return createIndex(row, 0, quintptr((*children)[std::size_t(row)]));
}

QModelIndex InternetBookmarksModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() >= m_tree.nodes.size())
        return {};
    const int parent = m_tree.nodes[child.internalId()].parent;
    if (parent < 0)
        return {};
    return createIndex(m_tree.nodes[std::size_t(parent)].row, 0, quintptr(parent));
}

int InternetBookmarksModel::rowCount(const QModelIndex& parent) const
{
    const std::vector<int>* children = childrenOf(parent);
    return children ? int(children->size()) : 0;
}

int InternetBookmarksModel::columnCount(const QModelIndex&) const { return 1; }

QVariant InternetBookmarksModel::data(const QModelIndex& index, int role) const
{
    const QELSafariBookmarkItem* item = itemAt(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return item->title();
    case Qt::ToolTipRole:
        return item->isFolder() ? QVariant() : QVariant(PlainText::toolTip(item->url()));
    case Qt::DecorationRole:
        // Only a folder that holds something gets the folder picture.
        return m_tree.nodes[index.internalId()].children.empty() ? m_bookmarkIcon : m_folderIcon;
    case UrlRole:
        return item->isFolder() ? QVariant() : QVariant(PlainText::toolTip(item->url()));
    case IsFolderRole:
        return item->isFolder();
    default:
        return {};
    }
}
