// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QDateTime>

#include "QELCalendarDetail.h"
#include "QELCopy.h"

class CalendarStoreHost;

// Adds calendars (QELCalendarDetailPtr items of the queue) to the computer's
// calendars: each goes into the first calendar of the same title (made, with
// the device's colour, when there is none), and each of its events is added
// unless that calendar already holds one of the same title, start and end,
// so a second transfer adds nothing. Events without a start, and events with
// a date outside years 1 to 9999, are not added. Duplicates, events not
// added and failed saves count as not copied. Each event keeps its zone and
// its notes.
class QELTransferCalendars : public QELCopy {
    Q_OBJECT
public:
    explicit QELTransferCalendars(QObject* parent = nullptr);
    ~QELTransferCalendars() override;

    // The calendars to add to; when none is set, the collections in the
    // user's data folder are used.
    void setCalendarStoreHost(std::shared_ptr<CalendarStoreHost> host);

    void startCopy() override;

    // Midnight in local time of the day the value falls on in UTC (the device
    // keeps all-day days at UTC midnight).
    static QDateTime _getDateOnly(const QDateTime& date);

    // What the last run did with the events (any thread).
    quint32 eventsAdded() const { return m_added; }
    quint32 duplicatesSkipped() const { return m_duplicates; }
    quint32 eventsWithoutStart() const { return m_withoutStart; }
    quint32 failedSaves() const { return m_failed; }
    quint32 eventsLeftOut() const { return m_leftOut; }
    // Where the last run put the calendars (a folder), for the end message;
    // empty when the store does not say.
    QString destination() const;

private:
    void _copyCalendars(std::shared_ptr<CalendarStoreHost> host);
    void transferCalendar(CalendarStoreHost& host, const QELCalendarDetail& calendar);

    std::shared_ptr<CalendarStoreHost> m_host;
    std::atomic<quint32> m_added{0};
    std::atomic<quint32> m_duplicates{0};
    std::atomic<quint32> m_withoutStart{0};
    std::atomic<quint32> m_failed{0};
    std::atomic<quint32> m_leftOut{0};
    mutable std::mutex m_destinationMutex;
    QString m_destination;
};
