// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QStringList>

#include "MessagesListRules.h"

// The conversation list of the messages view: the group headers at the top
// level ("SMS & iMessage", "WhatsApp"), each with its conversations. Main thread.
class QELMessagesConversationModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // The role that tells a header row (true) from a conversation row.
    static constexpr int IsGroupRole = Qt::UserRole + 1;

    explicit QELMessagesConversationModel(QObject* parent = nullptr);

    // Replaces the list; a header stays even when its list is empty.
    void setGroups(const QStringList& headers, const MessagesListRules::Groups& groups);
    const QStringList& headers() const { return m_headers; }
    const MessagesListRules::Groups& groups() const { return m_groups; }

    // The conversation of a row; null for a header or an invalid index.
    const QELMessagesConversation* conversationAt(const QModelIndex& index) const;
    // The header and child numbers of a row (child -1 for a header).
    MessagesListRules::SelectedRow rowOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // Internal ids: 0 for a header, header number + 1 for its conversations.
    QStringList m_headers;
    MessagesListRules::Groups m_groups;
    QIcon m_bubble;
};
