// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarDayMap.h"

#include <algorithm>

#include "Log.h"

namespace {

bool listedBefore(const CalendarEntryPtr& a, const CalendarEntryPtr& b)
{
    if (a->allDay != b->allDay)
        return a->allDay;
    return a->dateTime < b->dateTime;
}

const std::vector<CalendarEntryPtr>& noEntries()
{
    static const std::vector<CalendarEntryPtr> none;
    return none;
}

} // namespace

bool CalendarDayMap::addObject(std::shared_ptr<const void> object, const QString& title,
                               const QDateTime& start, const QDateTime& end, const QColor& color,
                               bool allDay)
{
    if (!start.isValid())
        return false;
    auto entry = std::make_shared<CalendarEntry>();
    entry->object = std::move(object);
    entry->title = title;
    entry->dateTime = start.toLocalTime();
    entry->endDate = end.isValid() ? end.toLocalTime() : QDateTime();
    entry->allDay = allDay;
    entry->color = color;
    file(entry);
    return true;
}

void CalendarDayMap::addEntries(const QList<CalendarEntry>& entries)
{
    for (const CalendarEntry& entry : entries)
        addObject(entry.object, entry.title, entry.dateTime, entry.endDate, entry.color,
                  entry.allDay);
}

void CalendarDayMap::file(const CalendarEntryPtr& entry)
{
    const QDate first = entry->dateTime.date();
    entry->date = first;
    if (!entry->allDay || !entry->endDate.isValid()) {
        fileOn(first, entry);
        return;
    }
    const qint64 span = first.daysTo(entry->endDate.date()) - 1;
    // The same entry object stands in every one of its days. An all-day entry
    // ending on its start day (or before) would otherwise be shown nowhere.
    for (qint64 k = std::max<qint64>(span, 0); k >= 0; --k)
        fileOn(first.addDays(k), entry);
}

void CalendarDayMap::fileOn(const QDate& day, const CalendarEntryPtr& entry)
{
    std::vector<CalendarEntryPtr>& list = m_days[day];
    list.insert(std::upper_bound(list.begin(), list.end(), entry, listedBefore), entry);
}

void CalendarDayMap::removeAllObjects() { m_days.clear(); }

const std::vector<CalendarEntryPtr>& CalendarDayMap::entriesForDate(const QDate& day) const
{
    const auto found = m_days.find(day);
    return found == m_days.end() ? noEntries() : found->second;
}

void CalendarDayMap::setSelectedEventToDateAndIndex(const QDate& day, int row)
{
    const std::vector<CalendarEntryPtr>& list = entriesForDate(day);
    const int i = row - 1;
    if (i < 0 || i >= int(list.size()))
        return;
    m_selectedTitle = list[size_t(i)]->title;
    m_selectedDate = day;
    m_selectedObject = list[size_t(i)]->object;
}

std::optional<int> CalendarDayMap::selectObjectWithDate(const void* object, const QDate& day)
{
    const std::vector<CalendarEntryPtr>& list = entriesForDate(day);
    for (int i = int(list.size()) - 1; i >= 0; --i) {
        if (list[size_t(i)]->object.get() == object) {
            setSelectedEventToDateAndIndex(day, i + 1);
            return i + 1;
        }
    }
    return std::nullopt;
}

bool CalendarDayMap::deselectAll()
{
    const bool hadSelection = !m_selectedTitle.isNull() && m_selectedDate.isValid();
    m_selectedTitle = QString();
    m_selectedDate = QDate();
    m_selectedObject.reset();
    return hadSelection;
}

bool CalendarDayMap::moveSelectedEventToDate(const QDate& day)
{
    const auto from = m_days.find(m_selectedDate);
    CalendarEntryPtr entry;
    if (from != m_days.end() && day.isValid()) {
        const auto found = std::find_if(
            from->second.begin(), from->second.end(), [this](const CalendarEntryPtr& e) {
                return e->title == m_selectedTitle && e->object == m_selectedObject;
            });
        if (found != from->second.end()) {
            entry = *found;
            from->second.erase(found);
            if (from->second.empty())
                m_days.erase(from);
        }
    }
    if (!entry) {
        qCWarning(lcOrvane) << "There was an error moving the event.";
        return false;
    }
    entry->date = day;
    entry->dateTime = QDateTime(day, entry->dateTime.time(), Qt::LocalTime);
    fileOn(day, entry);
    return true;
}

QDateTime CalendarDayMap::changedFocusDate(const QDateTime& focus, ViewType view,
                                           const QString& label, const QDateTime& now)
{
    const bool week = view == ViewType::Week;
    if (label == QLatin1String("<"))
        return week ? focus.addDays(-7) : focus.addMonths(-1);
    if (label == QLatin1String(">"))
        return week ? focus.addDays(7) : focus.addMonths(1);
    return now;
}
