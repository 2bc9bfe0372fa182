// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELFilesModel.h"

#include <QSize>

#include "FileTypeIcons.h"
#include "PlainText.h"

struct QELFilesModel::Node {
    enum class State { Unlisted, Listing, Listed, Failed };

    DeviceFileEntry entry;
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    State state = State::Unlisted;
    quint64 listing = 0;
};

QELFilesModel::QELFilesModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<Node>())
{
    m_root->entry.path = QStringLiteral("/");
    m_root->entry.kind = FileEntryKind::Folder;
}

QELFilesModel::~QELFilesModel() { m_workers.stopAndJoinAll(); }

void QELFilesModel::setLister(Lister lister)
{
    beginResetModel();
    m_lister = std::move(lister);
    m_root = std::make_unique<Node>();
    m_root->entry.path = QStringLiteral("/");
    m_root->entry.kind = FileEntryKind::Folder;
    endResetModel();
}

void QELFilesModel::reload(const QModelIndex& folder)
{
    Node* node = nodeOf(folder);
    if (!node || node->entry.kind != FileEntryKind::Folder)
        return;
    if (!node->children.empty()) {
        beginRemoveRows(folder, 0, static_cast<int>(node->children.size()) - 1);
        node->children.clear();
        endRemoveRows();
    }
    startListing(node);
}

QString QELFilesModel::pathOf(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->entry.path : QStringLiteral("/");
}

FileEntryKind QELFilesModel::kindOf(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->entry.kind : FileEntryKind::Missing;
}

bool QELFilesModel::isListing(const QModelIndex& folder) const
{
    const Node* node = nodeOf(folder);
    return node && node->state == Node::State::Listing;
}

bool QELFilesModel::listingFailed(const QModelIndex& folder) const
{
    const Node* node = nodeOf(folder);
    return node && node->state == Node::State::Failed;
}

QModelIndex QELFilesModel::indexOfPath(const QString& path) const
{
    const Node* node = findNode(path);
    return node && node != m_root.get() ? indexOf(node) : QModelIndex();
}

QELFilesModel::Node* QELFilesModel::nodeOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return m_root.get();
    if (index.model() != this)
        return nullptr;
    return static_cast<Node*>(index.internalPointer());
}

QModelIndex QELFilesModel::indexOf(const Node* node) const
{
    if (!node || node == m_root.get())
        return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QELFilesModel::Node* QELFilesModel::findNode(const QString& path) const
{
    Node* node = m_root.get();
    for (const QString& name :
         FileListBuilder::normalisedPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        Node* next = nullptr;
        for (const auto& child : node->children) {
            if (child->entry.name == name) {
                next = child.get();
                break;
            }
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

void QELFilesModel::startListing(Node* node)
{
    node->state = Node::State::Listing;
    node->listing = ++m_lastListing;
    ++m_listingsStarted;
    const QString path = node->entry.path;
    const quint64 listing = node->listing;
    const Lister lister = m_lister;
    const bool started = m_workers.start([this, lister, path, listing] {
        std::optional<QList<DeviceFileEntry>> entries;
        if (lister)
            entries = lister(path);
        // The model is the context: an answer to a model that is gone is dropped.
        QMetaObject::invokeMethod(
            this, [this, path, listing, entries] { finishListing(path, listing, entries); },
            Qt::QueuedConnection);
    });
    if (!started)
        node->state = Node::State::Failed;
}

void QELFilesModel::finishListing(const QString& path, quint64 listing,
                                  const std::optional<QList<DeviceFileEntry>>& entries)
{
    Node* node = findNode(path);
    // A reload or a new lister since: this answer is stale.
    if (!node || node->listing != listing || node->state != Node::State::Listing)
        return;
    if (!entries) {
        node->state = Node::State::Failed;
        emit folderListed(path, false);
        return;
    }
    if (!entries->isEmpty()) {
        beginInsertRows(indexOf(node), 0, static_cast<int>(entries->size()) - 1);
        int row = 0;
        for (const DeviceFileEntry& entry : *entries) {
            auto child = std::make_unique<Node>();
            child->entry = entry;
            child->parent = node;
            child->row = row++;
            node->children.push_back(std::move(child));
        }
        node->state = Node::State::Listed;
        endInsertRows();
    } else {
        node->state = Node::State::Listed;
    }
    emit folderListed(path, true);
}

QModelIndex QELFilesModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    if (!node || column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
}

QModelIndex QELFilesModel::parent(const QModelIndex& child) const
{
    const Node* node = nodeOf(child);
    if (!node || node == m_root.get())
        return {};
    return indexOf(node->parent);
}

int QELFilesModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node* node = nodeOf(parent);
    return node ? static_cast<int>(node->children.size()) : 0;
}

int QELFilesModel::columnCount(const QModelIndex&) const { return 1; }

QVariant QELFilesModel::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (!index.isValid() || !node)
        return {};
    const DeviceFileEntry& entry = node->entry;
    switch (role) {
    case Qt::DisplayRole:
        return entry.name;
    case Qt::ToolTipRole:
        return PlainText::toolTip(entry.path);
    case PathRole:
        return entry.path;
    case KindRole:
        return static_cast<int>(entry.kind);
    case Qt::DecorationRole:
        return entry.kind == FileEntryKind::Folder ? FileTypeIcons::folderIcon()
                                                   : FileTypeIcons::fileIcon(entry.name);
    case Qt::SizeHintRole:
        return QSize(160, 20);
    default:
        return {};
    }
}

Qt::ItemFlags QELFilesModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (kindOf(index) != FileEntryKind::Folder)
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

bool QELFilesModel::hasChildren(const QModelIndex& parent) const
{
    // A folder is a branch even before (and after) its listing, so an empty
    // folder still opens its empty column.
    const Node* node = nodeOf(parent);
    return node && node->entry.kind == FileEntryKind::Folder;
}

bool QELFilesModel::needsListing(const QModelIndex& folder) const
{
    const Node* node = nodeOf(folder);
    return node && node->entry.kind == FileEntryKind::Folder && node->state == Node::State::Unlisted
        && m_lister;
}

void QELFilesModel::ensureListed(const QModelIndex& folder)
{
    if (needsListing(folder))
        startListing(nodeOf(folder));
}
