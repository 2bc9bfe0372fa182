// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogParticipantListModel.h"

#include <algorithm>

#include "ParticipantNameOrder.h"
#include "PlainText.h"

void QELCallLogParticipantListModel::setParticipants(
    const QList<QELCallLogParticipant>& participants)
{
    beginResetModel();
    m_rows.assign(participants.cbegin(), participants.cend());
    std::sort(
        m_rows.begin(), m_rows.end(),
        [](const QELCallLogParticipant& a, const QELCallLogParticipant& b) {
            return ParticipantNameOrder::lessThan({a.name(), a.address()}, {b.name(), b.address()});
        });
    endResetModel();
}

int QELCallLogParticipantListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant QELCallLogParticipantListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QELCallLogParticipant& participant = m_rows.at(size_t(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        return participant.name();
    case Qt::ToolTipRole:
        return PlainText::toolTip(participant.addresses().join(QStringLiteral(", ")));
    default:
        return {};
    }
}
