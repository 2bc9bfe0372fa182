// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>

#include "QELSafariHistoryItem.h"

class QELWebHistoryReader;

// Safari's history as a tree: the days at the top, newest first, each with
// its visits in the order the file gave them. Main thread; the rows are made
// on the load's worker (rowsFrom) and handed over whole.
class InternetHistoryModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Day {
        QString name;
        QList<QELSafariHistoryItem> visits;
    };
    enum Role {
        AddressRole = Qt::UserRole + 1, // a visit's address; none for a day
        IsDayRole,
    };

    explicit InternetHistoryModel(QObject* parent = nullptr);

    // The days of a filled reader, as getAllDates() lists them.
    static QList<Day> rowsFrom(const QELWebHistoryReader& reader);
    void setRows(QList<Day> days);

    // The visit at `index`; null for a day row or an invalid index.
    const QELSafariHistoryItem* visitAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QIcon m_folderIcon;
    QIcon m_bookmarkIcon;
    // A day row's internal id is 0; a visit's is its day's row + 1.
    QList<Day> m_days;
};
