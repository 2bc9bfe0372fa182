// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSortFilterProxyModel>

// The grid's filter: an app shows when its name contains the search text,
// case and diacritics not counting ("mail" finds "Gmail" and "MAIL").
class QELAppsFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit QELAppsFilterModel(QObject* parent = nullptr);

    // The empty text shows every app.
    void setSearchText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_foldedNeedle;
};
