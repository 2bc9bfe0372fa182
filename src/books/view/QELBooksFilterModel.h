// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSortFilterProxyModel>

// The grid's filter: a book shows when its title contains the search text,
// case and diacritics not counting ("cafe" finds "Café").
class QELBooksFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit QELBooksFilterModel(QObject* parent = nullptr);

    // The empty text shows every book.
    void setSearchText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_foldedNeedle;
};
