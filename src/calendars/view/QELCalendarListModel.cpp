// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarListModel.h"

#include "QELCalendarHTMLCodeToIconTransformer.h"

void QELCalendarListModel::setCalendars(const QList<QELCalendarDetailPtr>& calendars)
{
    beginResetModel();
    m_calendars = calendars;
    m_icons.clear();
    for (const QELCalendarDetailPtr& calendar : std::as_const(m_calendars))
        m_icons.append(QPixmap::fromImage(QELCalendarHTMLCodeToIconTransformer::transformedValue(
            calendar->colorHTMLCode.isNull() ? QString(QLatin1String(""))
                                             : calendar->colorHTMLCode)));
    endResetModel();
}

int QELCalendarListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_calendars.size());
}

QVariant QELCalendarListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_calendars.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_calendars[index.row()]->title;
    case Qt::DecorationRole:
        return m_icons[index.row()];
    default:
        return {};
    }
}
