// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>

#include <QDateTime>

#include "QELCalendarDetail.h"
#include "QELCopy.h"

class CalendarStoreHost;

// Adds calendars (QELCalendarDetailPtr items of the queue) to the computer's
// calendars: each goes into the first calendar of the same title (made, with
// the device's colour, when there is none), and each of its events is added
// unless that calendar already holds one of the same title, start and end,
// so a second transfer adds nothing. Events without a start are not added.
// Duplicates, events without start and failed saves count as not copied.
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

private:
    void _copyCalendars(std::shared_ptr<CalendarStoreHost> host);
    void transferCalendar(CalendarStoreHost& host, const QELCalendarDetail& calendar);

    std::shared_ptr<CalendarStoreHost> m_host;
    std::atomic<quint32> m_added{0};
    std::atomic<quint32> m_duplicates{0};
    std::atomic<quint32> m_withoutStart{0};
    std::atomic<quint32> m_failed{0};
};
