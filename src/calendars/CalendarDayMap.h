// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include "CalendarEntry.h"

// The calendar grid's entries filed by local day, its selected entry and the
// rules of its navigation. An entry is kept once, as the run of days it
// stands on; a day's list is made when the day is asked for, sorted (all-day
// entries first, then by start), so an all-day event of a thousand years
// costs what one of a day costs. A map is filled by the load's worker and
// then handed to the grid, whose thread alone uses it afterwards.
class CalendarDayMap {
public:
    enum class ViewType { Month = 1, Week = 2 };

    // The most days one entry stands on (about a hundred years): a device
    // end far beyond that is a damaged value, not an event.
    static constexpr qint64 kMaxSpanDays = 36525;

    // Files one entry: an all-day entry on every day from its start to the day
    // before its end's day (the device ends all-day events just after
    // midnight), at most kMaxSpanDays of them; a timed entry on its start day
    // however long it lasts. An entry without end, or an all-day entry ending
    // on its start day, is filed on its start day. An entry without start is
    // refused (false).
    bool addObject(std::shared_ptr<const void> object, const QString& title, const QDateTime& start,
                   const QDateTime& end, const QColor& color, bool allDay);
    // Files entries made elsewhere (their `date` is set here).
    void addEntries(const QList<CalendarEntry>& entries);
    void removeAllObjects();

    // The entries of a day, in their order; empty when it has none.
    std::vector<CalendarEntryPtr> entriesForDate(const QDate& day) const;
    // Days with entries.
    qsizetype dayCount() const;

    // Records the entry of row `row` of the day's cell (row 0 is the day
    // number) as the selection; a row outside the list changes nothing.
    void setSelectedEventToDateAndIndex(const QDate& day, int row);
    // The row of the day's cell that shows the last entry of `object` (by
    // identity), selected; none when the day has no such entry.
    std::optional<int> selectObjectWithDate(const void* object, const QDate& day);
    // Takes over the selection of another map (one that this map replaces).
    void takeSelectionFrom(const CalendarDayMap& other);
    // Clears the selection; answers whether an entry had been selected.
    bool deselectAll();
    const QString& selectedTitle() const { return m_selectedTitle; }
    const QDate& selectedDate() const { return m_selectedDate; }
    const std::shared_ptr<const void>& selectedObject() const { return m_selectedObject; }

    // Moves the selected entry to `day` at its former time of day. False, with
    // the message logged, when the selected entry is not found.
    bool moveSelectedEventToDate(const QDate& day);

    // The focus after one of the grid's buttons, labelled `label`: "<" one
    // month (week view: 7 days) back, ">" forward, anything else `now`.
    static QDateTime changedFocusDate(const QDateTime& focus, ViewType view, const QString& label,
                                      const QDateTime& now);

private:
    // An entry on the days from `first` to `last`; `order` keeps the order in
    // which entries were filed among those that sort alike.
    struct Run {
        QDate first;
        QDate last;
        CalendarEntryPtr entry;
        quint64 order = 0;
    };
    // Runs of up to kShortRunDays days are found by their first day; longer
    // ones (rare) are looked through one by one.
    static constexpr qint64 kShortRunDays = 62;

    void fileRun(const QDate& first, const QDate& last, const CalendarEntryPtr& entry,
                 quint64 order);
    void file(const CalendarEntryPtr& entry);
    // Takes `entry` off `day` alone; false when it does not stand there.
    bool takeOff(const QDate& day, const CalendarEntryPtr& entry);

    std::multimap<QDate, Run> m_shortRuns;
    std::vector<Run> m_longRuns;
    quint64 m_nextOrder = 0;
    QString m_selectedTitle;
    QDate m_selectedDate;
    std::shared_ptr<const void> m_selectedObject;
};
