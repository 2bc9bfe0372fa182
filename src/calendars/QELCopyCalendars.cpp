// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyCalendars.h"

#include <QCryptographicHash>

#include "AtomicFile.h"
#include "ICalendarText.h"
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
        QString error;
        if (path.isEmpty() || !writeFileAtomically(path, _iCSFromCalendar(*calendar), &error)) {
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
    return QLatin1Char(':') + ICalendarText::utcDateTime(date);
}

std::optional<QString> QELCopyCalendars::recurrenceRuleOf(const QELCalendarComponent& event)
{
    const QELCalendarRecurrancePropertiesPtr& rule = event.relationshipRecurranceProperty;
    if (!rule)
        return std::nullopt;
    const bool allDay = isAllDay(event);
    return ICalendarText::recurrenceRule(
        static_cast<int>(rule->frequency), static_cast<int>(rule->interval),
        static_cast<int>(rule->occurenceCount), allDay ? QDateTime() : rule->endDate,
        allDay && rule->endDate.isValid() ? rule->endDate.toUTC().date() : QDate());
}

QByteArray QELCopyCalendars::_iCSFromCalendar(const QELCalendarDetail& calendar,
                                              const QDateTime& stamp)
{
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
    for (const QELCalendarComponentPtr& event : calendar.relationshipComponents) {
        text.add(QStringLiteral("BEGIN"), QStringLiteral("VEVENT"));
        text.add(QStringLiteral("UID"), uidOf(calendar, *event));
        text.addUtcDateTime(QStringLiteral("DTSTAMP"), stamp);
        if (const QELCalendarDateTimePropertiesPtr& times = event->relationshipDateTimeProperty) {
            const bool allDay = times->isAllDay == 1;
            if (times->dtstart.isValid())
                text.addLine(QStringLiteral("DTSTART")
                             + _generateDateTimeString(times->dtstart, allDay));
            if (times->dtend.isValid()) {
                if (allDay) {
                    // The device ends an all-day event just before midnight;
                    // the format wants the day after the last one.
                    QDate end = times->dtend.toUTC().addSecs(5).date();
                    if (times->dtstart.isValid() && end <= times->dtstart.toUTC().date())
                        end = times->dtstart.toUTC().date().addDays(1);
                    text.addDate(QStringLiteral("DTEND"), end);
                } else {
                    text.addUtcDateTime(QStringLiteral("DTEND"), times->dtend);
                }
            }
        }
        if (!event->summary.isEmpty())
            text.addText(QStringLiteral("SUMMARY"), event->summary);
        if (!event->componentDescription.isEmpty())
            text.addText(QStringLiteral("DESCRIPTION"), event->componentDescription);
        if (!event->location.isEmpty())
            text.addText(QStringLiteral("LOCATION"), event->location);
        if (!event->comment.isEmpty())
            text.addText(QStringLiteral("COMMENT"), event->comment);
        if (const std::optional<QString> rule = recurrenceRuleOf(*event))
            text.add(QStringLiteral("RRULE"), *rule);
        text.add(QStringLiteral("CLASS"), QStringLiteral("PUBLIC"));
        text.add(QStringLiteral("END"), QStringLiteral("VEVENT"));
    }
    text.add(QStringLiteral("END"), QStringLiteral("VCALENDAR"));
    return text.bytes();
}
