// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractListModel>

#include "QELVoiceMailContact.h"

// The sender list: names in the call log's name order (names before numbers,
// case and accents ignored); the sender text as the tooltip.
class QELVoiceMailContactListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Replaces the list, sorted.
    void setContacts(const QList<QELVoiceMailContact>& contacts);
    const std::vector<QELVoiceMailContact>& contacts() const { return m_contacts; }
    const QELVoiceMailContact& contactAt(int row) const { return m_contacts.at(size_t(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<QELVoiceMailContact> m_contacts;
};
