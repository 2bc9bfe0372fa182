// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// Draws a row of the notes list: account and folder headings in bold at the
// left edge, note titles indented by 30 while headings exist, else by 6.
class QELNoteTableCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kIndented = 30;
    static constexpr int kNotIndented = 6;
    static constexpr int kHeadingIndent = 6;

    explicit QELNoteTableCellView(QObject* parent = nullptr);

    // The left indent of a row's title.
    static int indentFor(const QModelIndex& index);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
