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
    const quint64 order = m_nextOrder++;
    if (!entry->allDay || !entry->endDate.isValid()) {
        fileRun(first, first, entry, order);
        return;
    }
    // The same entry object stands in every one of its days. An all-day entry
    // ending on its start day (or before) would otherwise be shown nowhere.
    const qint64 span =
        std::clamp<qint64>(first.daysTo(entry->endDate.date()) - 1, 0, kMaxSpanDays - 1);
    fileRun(first, first.addDays(span), entry, order);
}

void CalendarDayMap::fileRun(const QDate& first, const QDate& last, const CalendarEntryPtr& entry,
                             quint64 order)
{
    if (!first.isValid() || !last.isValid() || last < first)
        return;
    Run run{first, last, entry, order};
    if (first.daysTo(last) < kShortRunDays)
        m_shortRuns.emplace(first, std::move(run));
    else
        m_longRuns.push_back(std::move(run));
}

bool CalendarDayMap::takeOff(const QDate& day, const CalendarEntryPtr& entry)
{
    std::optional<Run> taken;
    for (auto it = m_shortRuns.lower_bound(day.addDays(-kShortRunDays));
         it != m_shortRuns.end() && it->first <= day; ++it) {
        if (it->second.entry == entry && it->second.last >= day) {
            taken = std::move(it->second);
            m_shortRuns.erase(it);
            break;
        }
    }
    if (!taken) {
        const auto found = std::find_if(m_longRuns.begin(), m_longRuns.end(), [&](const Run& r) {
            return r.entry == entry && r.first <= day && r.last >= day;
        });
        if (found == m_longRuns.end())
            return false;
        taken = std::move(*found);
        m_longRuns.erase(found);
    }
    // The entry keeps its other days.
    fileRun(taken->first, day.addDays(-1), entry, taken->order);
    fileRun(day.addDays(1), taken->last, entry, taken->order);
    return true;
}

void CalendarDayMap::removeAllObjects()
{
    m_shortRuns.clear();
    m_longRuns.clear();
}

std::vector<CalendarEntryPtr> CalendarDayMap::entriesForDate(const QDate& day) const
{
    std::vector<const Run*> runs;
    if (!day.isValid())
        return {};
    for (auto it = m_shortRuns.lower_bound(day.addDays(-kShortRunDays));
         it != m_shortRuns.end() && it->first <= day; ++it) {
        if (it->second.last >= day)
            runs.push_back(&it->second);
    }
    for (const Run& run : m_longRuns) {
        if (run.first <= day && run.last >= day)
            runs.push_back(&run);
    }
    std::sort(runs.begin(), runs.end(), [](const Run* a, const Run* b) {
        if (listedBefore(a->entry, b->entry))
            return true;
        if (listedBefore(b->entry, a->entry))
            return false;
        return a->order < b->order;
    });
    std::vector<CalendarEntryPtr> entries;
    entries.reserve(runs.size());
    for (const Run* run : runs)
        entries.push_back(run->entry);
    return entries;
}

qsizetype CalendarDayMap::dayCount() const
{
    std::vector<std::pair<QDate, QDate>> spans;
    spans.reserve(m_shortRuns.size() + m_longRuns.size());
    for (const auto& [first, run] : m_shortRuns)
        spans.emplace_back(run.first, run.last);
    for (const Run& run : m_longRuns)
        spans.emplace_back(run.first, run.last);
    std::sort(spans.begin(), spans.end());
    qsizetype days = 0;
    QDate coveredTo;
    for (const auto& [first, last] : spans) {
        if (coveredTo.isValid() && last <= coveredTo)
            continue;
        const QDate from = coveredTo.isValid() && first <= coveredTo ? coveredTo.addDays(1) : first;
        days += qsizetype(from.daysTo(last) + 1);
        coveredTo = last;
    }
    return days;
}

void CalendarDayMap::setSelectedEventToDateAndIndex(const QDate& day, int row)
{
    const std::vector<CalendarEntryPtr> list = entriesForDate(day);
    const int i = row - 1;
    if (i < 0 || i >= int(list.size()))
        return;
    m_selectedTitle = list[size_t(i)]->title;
    m_selectedDate = day;
    m_selectedObject = list[size_t(i)]->object;
}

std::optional<int> CalendarDayMap::selectObjectWithDate(const void* object, const QDate& day)
{
    const std::vector<CalendarEntryPtr> list = entriesForDate(day);
    for (int i = int(list.size()) - 1; i >= 0; --i) {
        if (list[size_t(i)]->object.get() == object) {
            setSelectedEventToDateAndIndex(day, i + 1);
            return i + 1;
        }
    }
    return std::nullopt;
}

void CalendarDayMap::takeSelectionFrom(const CalendarDayMap& other)
{
    m_selectedTitle = other.m_selectedTitle;
    m_selectedDate = other.m_selectedDate;
    m_selectedObject = other.m_selectedObject;
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
    CalendarEntryPtr entry;
    if (m_selectedDate.isValid() && day.isValid()) {
        for (const CalendarEntryPtr& e : entriesForDate(m_selectedDate)) {
            if (e->title == m_selectedTitle && e->object == m_selectedObject) {
                entry = e;
                break;
            }
        }
    }
    if (!entry || !takeOff(m_selectedDate, entry)) {
        qCWarning(lcOrvane) << "There was an error moving the event.";
        return false;
    }
    entry->date = day;
    entry->dateTime = QDateTime(day, entry->dateTime.time(), Qt::LocalTime);
    fileRun(day, day, entry, m_nextOrder++);
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
