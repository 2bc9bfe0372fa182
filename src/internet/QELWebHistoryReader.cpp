// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELWebHistoryReader.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "DeviceTime.h"

QELWebHistoryReader::QELWebHistoryReader(const QTimeZone& zone, const QLocale& locale)
    : m_zone(zone.isValid() ? zone : QTimeZone::systemTimeZone())
    , m_locale(locale)
{
}

QELWebHistoryReader::~QELWebHistoryReader() = default;

bool QELWebHistoryReader::populateWebHistoryFromPath(const QString&)
{
    throw std::logic_error(
        "Method not overriden: populateWebHistoryFromPath should be overriden in subclass");
}

void QELWebHistoryReader::addHistoryItemToStore(QELSafariHistoryItem item,
                                                const QVariant& dateNumber)
{
    bool ok = false;
    const double seconds = dateNumber.toDouble(&ok);
    if (!ok || !std::isfinite(seconds))
        return;
    const QDateTime visited = DeviceTime::fromReferenceSeconds(seconds);
    if (!visited.isValid())
        return;
    item.setLastVisitied(visited);
    const QDate date = visited.toTimeZone(m_zone).date();
    const QString name = m_locale.toString(date, QLocale::ShortFormat);
    Day& day = m_days[name];
    if (day.items.isEmpty())
        day.date = date;
    day.items.append(std::move(item));
}

QStringList QELWebHistoryReader::getAllDates() const
{
    QStringList names = m_days.keys();
    // The day's date decides, not its name, which a short format may write
    // month first.
    std::sort(names.begin(), names.end(), [this](const QString& a, const QString& b) {
        const QDate da = m_days.value(a).date;
        const QDate db = m_days.value(b).date;
        return da != db ? da > db : a < b;
    });
    return names;
}

const QList<QELSafariHistoryItem>* QELWebHistoryReader::getHistoryItemsForDateString(
    const QString& day) const
{
    const auto found = m_days.constFind(day);
    return found == m_days.constEnd() ? nullptr : &found->items;
}

QList<QELSafariHistoryItem> QELWebHistoryReader::allItems() const
{
    QList<QELSafariHistoryItem> items;
    for (const QString& day : getAllDates())
        items += m_days.value(day).items;
    return items;
}
