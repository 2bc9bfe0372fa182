// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarsReader.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include "Locations.h"
#include "Log.h"
#include "QELCalendarStore.h"

QELCalendarsReader::~QELCalendarsReader() = default;

bool QELCalendarsReader::init()
{
    const QString folder = Locations::temporaryFolder();
    QString path;
    if (!folder.isEmpty()) {
        path = folder + QLatin1Char('/') + QLatin1String(QELCalendarStore::kFileName);
        // A new read starts from nothing; a failed removal leaves the store to
        // memory below.
        if (QFileInfo::exists(path) && !QFile::remove(path))
            qCWarning(lcOrvane) << "cannot remove the calendar store of an earlier read" << path;
    }
    m_store = QELCalendarStore::open(path);
    if (!m_store) {
        qCWarning(lcOrvane) << "no calendar store could be made";
        return false;
    }
    return true;
}

bool QELCalendarsReader::loadCalendars()
{
    return !_dbPath.isEmpty() && QFileInfo(_dbPath).isFile();
}

QList<QELCalendarDetailPtr> QELCalendarsReader::getCalendars() const
{
    QList<QELCalendarDetailPtr> list;
    if (!m_store)
        return list;
    list.reserve(static_cast<qsizetype>(m_store->calendars().size()));
    for (const QELCalendarDetailPtr& calendar : m_store->calendars())
        list.append(calendar);
    // QString's order compares UTF-16 code units: case-sensitive, by character.
    std::stable_sort(list.begin(), list.end(),
                     [](const QELCalendarDetailPtr& a, const QELCalendarDetailPtr& b) {
                         return a->title < b->title;
                     });
    return list;
}

QList<QELCalendarComponentPtr> QELCalendarsReader::eventsForCalendar(const QString& title) const
{
    QList<QELCalendarComponentPtr> events;
    if (!m_store)
        return events;
    for (const QELCalendarDetailPtr& calendar : m_store->calendars()) {
        if (calendar->title != title)
            continue;
        for (const QELCalendarComponentPtr& event : calendar->relationshipComponents)
            events.append(event);
    }
    return events;
}
