// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QPixmap>

#include "QELCalendarDetail.h"

// The calendar list: each calendar's title beside its colour disc. Main thread.
class QELCalendarListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setCalendars(const QList<QELCalendarDetailPtr>& calendars);
    const QList<QELCalendarDetailPtr>& calendars() const { return m_calendars; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QList<QELCalendarDetailPtr> m_calendars;
    QList<QPixmap> m_icons;
};
