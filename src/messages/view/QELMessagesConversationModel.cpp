// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesConversationModel.h"

#include <QFont>

#include "PlainText.h"

// Outside any namespace, as Qt's resource initialiser must be.
static void initMessagesViewResources() { Q_INIT_RESOURCE(messages); }

QELMessagesConversationModel::QELMessagesConversationModel(QObject* parent)
    : QAbstractItemModel(parent)
{
    initMessagesViewResources();
    m_bubble = QIcon(QStringLiteral(":/messages/messageBubble.svg"));
}

void QELMessagesConversationModel::setGroups(const QStringList& headers,
                                             const MessagesListRules::Groups& groups)
{
    beginResetModel();
    m_headers = headers;
    m_groups = groups;
    endResetModel();
}

const QELMessagesConversation* QELMessagesConversationModel::conversationAt(
    const QModelIndex& index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return nullptr;
    const int header = int(index.internalId()) - 1;
    if (header < 0 || header >= m_headers.size())
        return nullptr;
    const auto found = m_groups.constFind(m_headers.at(header));
    if (found == m_groups.cend() || index.row() >= found->size())
        return nullptr;
    return &found->at(index.row());
}

MessagesListRules::SelectedRow QELMessagesConversationModel::rowOf(const QModelIndex& index) const
{
    if (index.internalId() == 0)
        return {index.row(), -1};
    return {int(index.internalId()) - 1, index.row()};
}

QModelIndex QELMessagesConversationModel::index(int row, int column,
                                                const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, 0, quintptr(0));
    return createIndex(row, 0, quintptr(parent.row() + 1));
}

QModelIndex QELMessagesConversationModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId()) - 1, 0, quintptr(0));
}

int QELMessagesConversationModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_headers.size());
    if (parent.internalId() != 0 || parent.row() >= m_headers.size())
        return 0;
    return int(m_groups.value(m_headers.at(parent.row())).size());
}

int QELMessagesConversationModel::columnCount(const QModelIndex&) const { return 1; }

QVariant QELMessagesConversationModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const bool header = index.internalId() == 0;
    if (role == IsGroupRole)
        return header;
    if (header) {
        if (role == Qt::DisplayRole)
            return m_headers.value(index.row());
        if (role == Qt::FontRole) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    }
    const QELMessagesConversation* conversation = conversationAt(index);
    if (!conversation)
        return {};
    if (role == Qt::DisplayRole)
        return conversation->title();
    if (role == Qt::ToolTipRole)
        return PlainText::toolTip(conversation->title());
    if (role == Qt::DecorationRole)
        return m_bubble;
    return {};
}

Qt::ItemFlags QELMessagesConversationModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
