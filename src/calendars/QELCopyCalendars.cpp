// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyCalendars.h"

#include <QCryptographicHash>

#include "AtomicFile.h"
#include "ICalendarText.h"
#include "ICalendarZone.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"
#include "SafePath.h"

namespace {

bool isAllDay(const QELCalendarComponent& event)
{
    return event.relationshipDateTimeProperty && event.relationshipDateTimeProperty->isAllDay == 1;
}

// Stable across exports of the same event, so a calendar program that reads
// the file again updates the event instead of adding it twice.
QString uidOf(const QELCalendarDetail& calendar, const QELCalendarComponent& event)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QDateTime start = event.relationshipDateTimeProperty
        ? event.relationshipDateTimeProperty->dtstart
        : QDateTime();
    const QString key = calendar.title + QChar(0x1F)
        + (event.eventID ? QString::number(*event.eventID) : QString()) + QChar(0x1F)
        + (start.isValid() ? QString::number(start.toMSecsSinceEpoch()) : QString()) + QChar(0x1F)
        + event.summary;
    hash.addData(key.toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

QELCopyCalendars::QELCopyCalendars(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyCalendars::~QELCopyCalendars() { stopWorkers(); }

void QELCopyCalendars::startCopy()
{
    QELCopy::startCopy();
    m_eventsLeftOut = 0;
    _startWorker([this] { _copyCalendars(); });
}

void QELCopyCalendars::_copyCalendars()
{
    const QString folder = baseCopyPath();
    if (!_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    // A file of an earlier export stays: the new one is numbered beside it.
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both);
    while (std::optional<QVariant> item = _getNextItemFromQueue()) {
        const QELCalendarDetailPtr calendar = item->value<QELCalendarDetailPtr>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(calendar ? calendar->title : QString());
        args.setSenderClass(typeid(QELCopyCalendars));
        _callOnItemCopyBeginEventWith(args);
        if (!calendar) {
            _itemCouldNotBeCopied();
            continue;
        }
        const QString path =
            namer.claimPath(calendar->title, QStringLiteral("ics"), QStringLiteral("Calendar"));
        int leftOut = 0;
        const QByteArray text =
            _iCSFromCalendar(*calendar, QDateTime::currentDateTimeUtc(), &leftOut);
        for (int i = 0; i < leftOut; ++i) {
            ++m_eventsLeftOut;
            _itemCouldNotBeCopied();
        }
        if (leftOut)
            qCWarning(lcOrvane) << leftOut << "events of the calendar" << calendar->title
                                << "have dates no calendar file can hold; they were left out";
        if (const QStringList problems = ICalendarZone::problemsOf(text); !problems.isEmpty())
            qCWarning(lcOrvane) << "the calendar file" << path << "has problems:" << problems;
        QString error;
        if (path.isEmpty() || !writeFileAtomically(path, text, &error)) {
            qCWarning(lcOrvane) << "cannot write the calendar file" << path << error;
            _itemCouldNotBeCopied();
        }
    }
    _callAllItemsCopiedDelegate();
}

QString QELCopyCalendars::_generateDateTimeString(const QDateTime& date, int isAllDay)
{
    if (isAllDay != 0)
        return QStringLiteral(";VALUE=DATE:") + ICalendarText::date(date.toUTC().date());
    return ICalendarZone::utc().dateTimeValue(date);
}

ICalendarZone QELCopyCalendars::zoneOf(const QELCalendarComponent& event)
{
    return ICalendarZone::fromDeviceName(event.timeZone);
}

std::optional<QString> QELCopyCalendars::recurrenceRuleOf(const QELCalendarComponent& event)
{
    const QELCalendarRecurrancePropertiesPtr& rule = event.relationshipRecurranceProperty;
    if (!rule)
        return std::nullopt;
    const bool allDay = isAllDay(event);
    const ICalendarZone zone = allDay ? ICalendarZone::utc() : zoneOf(event);
    QString until;
    // An end beyond what the format can hold repeats as long as the format
    // goes: the rule keeps no end rather than poisoning the file.
    if (rule->endDate.isValid() && zone.canWrite(rule->endDate)) {
        if (allDay)
            until = ICalendarText::date(rule->endDate.toUTC().date());
        else if (zone.kind() == ICalendarZone::Kind::Floating)
            until = zone.untilValue(rule->endDate.toUTC());
        else
            until = zone.untilValue(rule->endDate);
    }
    return ICalendarText::recurrenceRule(static_cast<int>(rule->frequency),
                                         static_cast<int>(rule->interval),
                                         static_cast<int>(rule->occurenceCount), until);
}

bool QELCopyCalendars::canExport(const QELCalendarComponent& event)
{
    const QELCalendarDateTimePropertiesPtr& times = event.relationshipDateTimeProperty;
    if (!times)
        return true;
    // All-day days and floating times are written as the UTC wall clock.
    const ICalendarZone zone = times->isAllDay == 1 ? ICalendarZone::utc() : zoneOf(event);
    for (const QDateTime& time : {times->dtstart, times->dtend}) {
        if (time.isValid()
            && !zone.canWrite(zone.kind() == ICalendarZone::Kind::Floating ? time.toUTC() : time))
            return false;
    }
    return true;
}

QByteArray QELCopyCalendars::_iCSFromCalendar(const QELCalendarDetail& calendar,
                                              const QDateTime& stamp, int* leftOut)
{
    if (leftOut)
        *leftOut = 0;
    // The events first: the file names the zones they use before them.
    ICalendarText events;
    QList<ICalendarZone> zones;
    QList<QDateTime> zoneFrom;
    for (const QELCalendarComponentPtr& event : calendar.relationshipComponents) {
        if (!canExport(*event)) {
            // A date outside years 1 to 9999 would make readers reject the
            // whole file.
            if (leftOut)
                ++*leftOut;
            continue;
        }
        events.add(QStringLiteral("BEGIN"), QStringLiteral("VEVENT"));
        events.add(QStringLiteral("UID"), uidOf(calendar, *event));
        events.addUtcDateTime(QStringLiteral("DTSTAMP"), stamp);
        if (const QELCalendarDateTimePropertiesPtr& times = event->relationshipDateTimeProperty) {
            const bool allDay = times->isAllDay == 1;
            const ICalendarZone zone = allDay ? ICalendarZone::utc() : zoneOf(*event);
            // A floating event keeps the wall clock the device stored in UTC.
            auto wall = [&zone](const QDateTime& time) {
                return zone.kind() == ICalendarZone::Kind::Floating ? time.toUTC() : time;
            };
            if (allDay) {
                if (times->dtstart.isValid())
                    events.addLine(QStringLiteral("DTSTART")
                                   + _generateDateTimeString(times->dtstart, 1));
                if (times->dtend.isValid()) {
                    // The device ends an all-day event just before midnight;
                    // the format wants the day after the last one.
                    QDate end = times->dtend.toUTC().addSecs(5).date();
                    if (times->dtstart.isValid() && end <= times->dtstart.toUTC().date())
                        end = times->dtstart.toUTC().date().addDays(1);
                    events.addDate(QStringLiteral("DTEND"), end);
                }
            } else {
                if (zone.kind() == ICalendarZone::Kind::Named && times->dtstart.isValid()) {
                    const qsizetype known = zones.indexOf(zone);
                    if (known < 0) {
                        zones.append(zone);
                        zoneFrom.append(times->dtstart);
                    } else if (times->dtstart < zoneFrom[known]) {
                        zoneFrom[known] = times->dtstart;
                    }
                }
                if (times->dtstart.isValid())
                    events.addLine(QStringLiteral("DTSTART")
                                   + zone.dateTimeValue(wall(times->dtstart)));
                if (times->dtend.isValid()) {
                    // An end before the start is taken as no time at all.
                    const QDateTime end = times->dtstart.isValid() && times->dtend < times->dtstart
                        ? times->dtstart
                        : times->dtend;
                    events.addLine(QStringLiteral("DTEND") + zone.dateTimeValue(wall(end)));
                }
            }
        }
        if (!event->summary.isEmpty())
            events.addText(QStringLiteral("SUMMARY"), event->summary);
        if (!event->componentDescription.isEmpty())
            events.addText(QStringLiteral("DESCRIPTION"), event->componentDescription);
        if (!event->location.isEmpty())
            events.addText(QStringLiteral("LOCATION"), event->location);
        if (!event->comment.isEmpty())
            events.addText(QStringLiteral("COMMENT"), event->comment);
        if (const std::optional<QString> rule = recurrenceRuleOf(*event))
            events.add(QStringLiteral("RRULE"), *rule);
        events.add(QStringLiteral("CLASS"), QStringLiteral("PUBLIC"));
        events.add(QStringLiteral("END"), QStringLiteral("VEVENT"));
    }

    ICalendarText text;
    text.add(QStringLiteral("BEGIN"), QStringLiteral("VCALENDAR"));
    text.add(QStringLiteral("VERSION"), QStringLiteral("2.0"));
    text.add(QStringLiteral("CALSCALE"), QStringLiteral("GREGORIAN"));
    text.add(QStringLiteral("PRODID"), QLatin1String(ICalendarText::kProductId));
    if (!calendar.title.isEmpty())
        text.addText(QStringLiteral("X-WR-CALNAME"), calendar.title);
    text.add(QStringLiteral("X-APPLE-CALENDAR-COLOR"),
             QString::asprintf("#%.2x%.2x%.2x", calendar.colorRed.value_or(0),
                               calendar.colorGreen.value_or(0), calendar.colorBlue.value_or(0)));
    QByteArray bytes = text.bytes();
    for (qsizetype i = 0; i < zones.size(); ++i)
        bytes += zones[i].vtimezone(zoneFrom[i].addDays(-1));
    bytes += events.bytes();
    bytes += "END:VCALENDAR\r\n";
    return bytes;
}
