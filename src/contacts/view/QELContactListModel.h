// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QList>

#include "QELContact.h"

// The contacts of the list, in the order they were read: the display name
// and the person or group icon, and the texts the search and the sort use.
// Changed on the main thread only.
class QELContactListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        // The display name, what the list is sorted by.
        SortRole = Qt::UserRole + 1,
        // FN and the organisation, what the search looks at.
        FNRole,
        OrganisationRole,
    };

    explicit QELContactListModel(QObject* parent = nullptr);

    void setContacts(const QList<QELContactPtr>& contacts);
    const QList<QELContactPtr>& contacts() const { return m_contacts; }
    QELContactPtr contactAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<QELContactPtr> m_contacts;
    QIcon m_person;
    QIcon m_group;
};
