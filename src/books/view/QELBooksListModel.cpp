// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBooksListModel.h"

#include "PlainText.h"

QELBooksListModel::QELBooksListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void QELBooksListModel::setBooks(std::vector<QELBookDetails> books)
{
    beginResetModel();
    m_books = std::move(books);
    endResetModel();
}

const QELBookDetails* QELBooksListModel::bookAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_books.size())
        return nullptr;
    return &m_books[static_cast<size_t>(row)];
}

int QELBooksListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_books.size());
}

QVariant QELBooksListModel::data(const QModelIndex& index, int role) const
{
    const QELBookDetails* book = index.isValid() ? bookAt(index.row()) : nullptr;
    if (!book)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case SortRole:
        return book->name();
    case Qt::ToolTipRole:
        return PlainText::toolTip(book->artist().isEmpty()
                                      ? book->name()
                                      : book->name() + QLatin1Char('\n') + book->artist());
    case Qt::DecorationRole:
        return book->coverArt();
    default:
        return {};
    }
}
