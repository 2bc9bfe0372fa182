// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNotesListModel.h"

#include <QFont>
#include <QSize>

#include "PlainText.h"

QELNotesListModel::QELNotesListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void QELNotesListModel::setRows(const QELNotesTable::Rows& rows)
{
    beginResetModel();
    m_rows = rows;
    m_indented = QELNotesTable::notesIndented(rows);
    endResetModel();
}

int QELNotesListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant QELNotesListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const QELNoteTableObjectDefinition& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return PlainText::toolTip(row.title());
    case RowTypeRole:
        return row.type();
    case IndentedRole:
        return m_indented;
    case Qt::SizeHintRole:
        return QSize(0, row.type() == QELNoteTableObjectDefinition::kNote ? 28 : 32);
    case Qt::FontRole:
        if (row.type() != QELNoteTableObjectDefinition::kNote) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}
