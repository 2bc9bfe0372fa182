// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailContactListModel.h"

#include <algorithm>

#include "ParticipantNameOrder.h"
#include "PlainText.h"

void QELVoiceMailContactListModel::setContacts(const QList<QELVoiceMailContact>& contacts)
{
    beginResetModel();
    m_contacts.assign(contacts.cbegin(), contacts.cend());
    std::stable_sort(m_contacts.begin(), m_contacts.end(),
                     [](const QELVoiceMailContact& a, const QELVoiceMailContact& b) {
                         return ParticipantNameOrder::lessThan({a.senderName(), a.sender()},
                                                               {b.senderName(), b.sender()});
                     });
    endResetModel();
}

int QELVoiceMailContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_contacts.size());
}

QVariant QELVoiceMailContactListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QELVoiceMailContact& contact = contactAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return contact.shownName();
    case Qt::ToolTipRole:
        return PlainText::toolTip(contact.sender());
    default:
        return {};
    }
}
