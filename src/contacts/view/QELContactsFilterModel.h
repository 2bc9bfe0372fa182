// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSortFilterProxyModel>

// The list as it is shown: sorted by display name without regard to case
// and accents (read order between equal names), and filtered by the search
// text, which FN or the organisation must contain, case and diacritics not
// counting ("lee" finds "Lée", "LEE" and "Leeds Ltd").
class QELContactsFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit QELContactsFilterModel(QObject* parent = nullptr);

    // The empty text shows every contact.
    void setSearchText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString m_foldedNeedle;
};
