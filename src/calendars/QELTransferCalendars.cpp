// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferCalendars.h"

#include <exception>

#include "CalendarStoreHost.h"
#include "FolderCalendarStoreHost.h"
#include "ICalendarZone.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"

namespace {

QDateTime asLocalWallClock(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    const QDateTime utc = time.toUTC();
    return QDateTime(utc.date(), utc.time(), Qt::LocalTime);
}

// The store answers times to the second; the device keeps fractions.
bool sameTime(const QDateTime& a, const QDateTime& b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || a.toSecsSinceEpoch() == b.toSecsSinceEpoch();
}

std::optional<CalendarRecurrenceRule> ruleOf(const QELCalendarComponent& event, bool allDay)
{
    const QELCalendarRecurrancePropertiesPtr& r = event.relationshipRecurranceProperty;
    // An interval below 1 is no repetition, as the calendar grid shows it.
    if (!r || r->interval < 1 || r->frequency < 1 || r->frequency > 4)
        return std::nullopt;
    CalendarRecurrenceRule rule;
    rule.frequency = static_cast<CalendarRecurrenceRule::Frequency>(r->frequency);
    rule.interval = static_cast<int>(r->interval);
    if (r->occurenceCount >= 1) {
        rule.end = CalendarRecurrenceRule::End::Count;
        rule.count = static_cast<int>(r->occurenceCount);
    } else if (r->endDate.isValid()) {
        rule.end = CalendarRecurrenceRule::End::Date;
        // A timed series keeps the instant of its last occurrence: the
        // midnight before it would drop that occurrence.
        rule.endDate = allDay ? QELTransferCalendars::_getDateOnly(r->endDate) : r->endDate;
    }
    return rule;
}

} // namespace

QELTransferCalendars::QELTransferCalendars(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferCalendars::~QELTransferCalendars() { stopWorkers(); }

void QELTransferCalendars::setCalendarStoreHost(std::shared_ptr<CalendarStoreHost> host)
{
    m_host = std::move(host);
}

void QELTransferCalendars::startCopy()
{
    QELCopy::startCopy();
    m_added = 0;
    m_duplicates = 0;
    m_withoutStart = 0;
    m_failed = 0;
    m_leftOut = 0;
    // The folder host is made on the worker: a host belongs to one thread.
    _startWorker([this, host = m_host] { _copyCalendars(host); });
}

QString QELTransferCalendars::destination() const
{
    const std::lock_guard lock(m_destinationMutex);
    return m_destination;
}

QDateTime QELTransferCalendars::_getDateOnly(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return QDateTime(date.toUTC().date(), QTime(0, 0), Qt::LocalTime);
}

void QELTransferCalendars::_copyCalendars(std::shared_ptr<CalendarStoreHost> host)
{
    if (!host)
        host = std::make_shared<FolderCalendarStoreHost>();
    {
        const std::lock_guard lock(m_destinationMutex);
        m_destination = host->location();
    }
    while (std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELCalendarDetailPtr calendar = item->value<QELCalendarDetailPtr>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(calendar ? calendar->title : QString());
        args.setSenderClass(typeid(QELTransferCalendars));
        _callOnItemCopyBeginEventWith(args);
        if (!calendar) {
            _itemCouldNotBeCopied();
            continue;
        }
        transferCalendar(*host, *calendar);
    }
    _callAllItemsCopiedDelegate();
}

void QELTransferCalendars::transferCalendar(CalendarStoreHost& host,
                                            const QELCalendarDetail& calendar)
{
    QString target = host.findCalendarByTitle(calendar.title).value_or(QString());
    if (target.isEmpty())
        target = host.createCalendar(calendar.title,
                                     QColor(calendar.colorRed.value_or(0),
                                            calendar.colorGreen.value_or(0),
                                            calendar.colorBlue.value_or(0)));
    if (target.isEmpty() || !host.saveCalendar(target)) {
        qCWarning(lcOrvane) << "cannot save a calendar for the transfer";
        for (size_t i = 0; i < calendar.relationshipComponents.size(); ++i) {
            ++m_failed;
            _itemCouldNotBeCopied();
        }
        return;
    }
    for (const QELCalendarComponentPtr& event : calendar.relationshipComponents) {
        try {
            const QELCalendarDateTimePropertiesPtr& times = event->relationshipDateTimeProperty;
            if (!times || !times->dtstart.isValid()) {
                ++m_withoutStart;
                _itemCouldNotBeCopied();
                continue;
            }
            CalendarEventRecord record;
            record.title = event->summary;
            // The device keeps an event's notes as its description.
            record.notes = event->componentDescription.isEmpty() ? event->comment
                                                                 : event->componentDescription;
            record.location = event->location;
            record.timeZone = event->timeZone;
            record.allDay = times->isAllDay == 1;
            record.start = times->dtstart;
            record.end = times->dtend;
            if (!record.allDay
                && ICalendarZone::fromDeviceName(event->timeZone).kind()
                    == ICalendarZone::Kind::Floating) {
                // The device stores a floating time as that wall clock in UTC.
                record.start = asLocalWallClock(times->dtstart);
                record.end = asLocalWallClock(times->dtend);
            }
            if (record.allDay) {
                record.start = _getDateOnly(times->dtstart);
                // The device ends an all-day event just before midnight: the
                // end is the midnight after its last day, at least a day on.
                if (times->dtend.isValid()) {
                    record.end = _getDateOnly(times->dtend.addSecs(5));
                    if (record.end <= record.start)
                        record.end = record.start.addDays(1);
                }
            }
            record.rule = ruleOf(*event, record.allDay);
            if (!FolderCalendarStoreHost::canWrite(record)) {
                ++m_leftOut;
                _itemCouldNotBeCopied();
                continue;
            }

            const std::optional<QDateTime> until =
                record.end.isValid() ? std::optional<QDateTime>(record.end) : std::nullopt;
            bool duplicate = false;
            for (const CalendarEventSummary& held :
                 host.eventsBetween(target, record.start, until)) {
                if (held.title == record.title && sameTime(held.start, record.start)
                    && sameTime(held.end, record.end)) {
                    duplicate = true;
                    break;
                }
            }
            if (duplicate) {
                ++m_duplicates;
                _itemCouldNotBeCopied();
                continue;
            }
            if (host.saveEvent(target, record)) {
                ++m_added;
            } else {
                ++m_failed;
                _itemCouldNotBeCopied();
            }
        } catch (const std::exception& e) {
            qCWarning(lcOrvane) << "an event could not be transferred:" << e.what();
            ++m_failed;
            _itemCouldNotBeCopied();
        }
    }
}
