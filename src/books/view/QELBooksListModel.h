// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QAbstractListModel>

#include "QELBookDetails.h"

// The books of the books view, in list order: the title as text, the cover as
// decoration. Main thread.
class QELBooksListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The title as it stands (the filter matches it).
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit QELBooksListModel(QObject* parent = nullptr);

    void setBooks(std::vector<QELBookDetails> books);
    const std::vector<QELBookDetails>& books() const { return m_books; }
    // The book of a row; null outside the list.
    const QELBookDetails* bookAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<QELBookDetails> m_books;
};
