// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractListModel>

#include "QELCallLogParticipant.h"

// The participant list of the call log view, in the shared name order of
// ParticipantNameOrder (names before numbers, case and accents ignored).
// Main thread; no I/O.
class QELCallLogParticipantListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Replaces the rows with `participants`, sorted.
    void setParticipants(const QList<QELCallLogParticipant>& participants);
    const std::vector<QELCallLogParticipant>& participants() const { return m_rows; }
    const QELCallLogParticipant& participantAt(int row) const { return m_rows.at(size_t(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the name; tool tip: every address of the participant.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<QELCallLogParticipant> m_rows;
};
