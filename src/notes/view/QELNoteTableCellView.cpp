// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNoteTableCellView.h"

#include <QApplication>
#include <QPainter>

#include "QELNoteTableObjectDefinition.h"
#include "QELNotesListModel.h"

QELNoteTableCellView::QELNoteTableCellView(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

int QELNoteTableCellView::indentFor(const QModelIndex& index)
{
    if (index.data(QELNotesListModel::RowTypeRole).toInt() != QELNoteTableObjectDefinition::kNote)
        return kHeadingIndent;
    return index.data(QELNotesListModel::IndentedRole).toBool() ? kIndented : kNotIndented;
}

void QELNoteTableCellView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool heading =
        index.data(QELNotesListModel::RowTypeRole).toInt() != QELNoteTableObjectDefinition::kNote;
    QRect textRect = option.rect.adjusted(indentFor(index), 0, -6, 0);
    painter->save();
    painter->setFont(item.font);
    const QPalette::ColorRole role =
        (option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    QColor color = option.palette.color(QPalette::Normal, role);
    if (heading && !(option.state & QStyle::State_Selected))
        color = option.palette.color(QPalette::Normal, QPalette::PlaceholderText).darker(130);
    painter->setPen(color);
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                      item.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize QELNoteTableCellView::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const QSize size = index.data(Qt::SizeHintRole).toSize();
    return QSize(option.rect.width(), size.height() > 0 ? size.height() : 28);
}
