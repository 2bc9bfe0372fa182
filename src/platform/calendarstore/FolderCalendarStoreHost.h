// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QHash>

#include "CalendarStoreHost.h"

namespace SafePath {
class UniqueNamer;
}

// The computer's calendars as iCalendar collections in the vdir layout that
// calendar programs on Linux share: under "<data home>/calendars", one folder
// per calendar holding the files "displayname" and "color" ("#RRGGBB") and one
// "<uid>.ics" file per event. A new calendar's folder is named after its title
// (made safe, numbered when taken). Event files of other programs are read
// too. Every file is written under a temporary name and then renamed.
class FolderCalendarStoreHost : public CalendarStoreHost {
public:
    // `root` replaces "<data home>/calendars" (tests and the demo).
    explicit FolderCalendarStoreHost(const QString& root = QString());
    ~FolderCalendarStoreHost() override;

    QString root() const { return m_root; }
    // The folder of a calendar (its id is the folder's name); empty for an id
    // that is not a plain folder name.
    QString folderOf(const QString& calendar) const;

    QList<Calendar> calendars() override;
    QString createCalendar(const QString& title, const QColor& colour) override;
    bool saveCalendar(const QString& calendar) override;
    QList<CalendarEventSummary> eventsBetween(const QString& calendar, const QDateTime& start,
                                              const std::optional<QDateTime>& end) override;
    bool saveEvent(const QString& calendar, const CalendarEventRecord& event) override;
    QString location() const override { return m_root; }

    // The text of one event's file: its times in the event's zone, with that
    // zone's VTIMEZONE.
    static QByteArray eventFileText(const CalendarEventRecord& event, const QString& uid,
                                    const QDateTime& stamp);
    // Whether every date of the event lies in years 1 to 9999, as a file
    // can hold it (saveEvent refuses the others).
    static bool canWrite(const CalendarEventRecord& event);

private:
    struct Pending {
        QString title;
        QColor colour;
    };

    QString m_root;
    std::unique_ptr<SafePath::UniqueNamer> m_namer;
    QHash<QString, Pending> m_pending;
};
