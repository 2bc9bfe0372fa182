// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>

#include "QELNotesTable.h"

// The rows of the notes list: account and folder headings and notes.
class QELNotesListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The row's type (QELNoteTableObjectDefinition) as an int.
    static constexpr int RowTypeRole = Qt::UserRole + 1;
    // Whether a note row is indented (true while any heading exists).
    static constexpr int IndentedRole = Qt::UserRole + 2;

    explicit QELNotesListModel(QObject* parent = nullptr);

    void setRows(const QELNotesTable::Rows& rows);
    const QELNotesTable::Rows& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QELNotesTable::Rows m_rows;
    bool m_indented = false;
};
