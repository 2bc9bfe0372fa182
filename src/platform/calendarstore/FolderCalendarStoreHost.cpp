// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderCalendarStoreHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "AtomicFile.h"
#include "ICalendarEventReader.h"
#include "ICalendarText.h"
#include "ICalendarZone.h"
#include "Locations.h"
#include "Log.h"
#include "SafePath.h"

namespace {

// An event file larger than this is not one event: it is skipped unread.
constexpr qint64 kMaxEventFileBytes = 4 * 1024 * 1024;

QString readSmallTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(64 * 1024)).trimmed();
}

} // namespace

FolderCalendarStoreHost::FolderCalendarStoreHost(const QString& root)
    : m_root(root.isEmpty() ? Locations::dataHome() + QStringLiteral("/calendars") : root)
{
}

FolderCalendarStoreHost::~FolderCalendarStoreHost() = default;

QString FolderCalendarStoreHost::folderOf(const QString& calendar) const
{
    if (!SafePath::isPlainName(calendar))
        return {};
    return m_root + QLatin1Char('/') + calendar;
}

QList<CalendarStoreHost::Calendar> FolderCalendarStoreHost::calendars()
{
    QList<Calendar> list;
    const QStringList folders = QDir(m_root).entryList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& folder : folders) {
        // A folder without a name file (made by hand) goes by its folder name.
        const QString nameFile =
            m_root + QLatin1Char('/') + folder + QStringLiteral("/displayname");
        list.append({folder, QFileInfo::exists(nameFile) ? readSmallTextFile(nameFile) : folder});
    }
    return list;
}

QString FolderCalendarStoreHost::createCalendar(const QString& title, const QColor& colour)
{
    if (!QDir().mkpath(m_root)) {
        qCWarning(lcOrvane) << "cannot make the calendars folder" << m_root;
        return {};
    }
    if (!m_namer)
        m_namer = std::make_unique<SafePath::UniqueNamer>(m_root, SafePath::Numbering::Spaced);
    const QString name = m_namer->claim(title, QString(), QStringLiteral("Calendar"));
    if (name.isEmpty())
        return {};
    m_pending.insert(name, {title, colour});
    return name;
}

bool FolderCalendarStoreHost::saveCalendar(const QString& calendar)
{
    const QString folder = folderOf(calendar);
    if (folder.isEmpty())
        return false;
    const auto pending = m_pending.constFind(calendar);
    if (pending == m_pending.constEnd())
        return QFileInfo(folder).isDir();
    QString error;
    const QColor colour = pending->colour.isValid() ? pending->colour : QColor(Qt::black);
    const bool written = QDir().mkpath(folder)
        && writeFileAtomically(folder + QStringLiteral("/displayname"), pending->title.toUtf8(),
                               &error)
        && writeFileAtomically(folder + QStringLiteral("/color"),
                               colour.name(QColor::HexRgb).toUpper().toLatin1(), &error);
    if (!written) {
        qCWarning(lcOrvane) << "cannot save the calendar" << folder << error;
        return false;
    }
    m_pending.remove(calendar);
    return true;
}

QList<CalendarEventSummary> FolderCalendarStoreHost::eventsBetween(
    const QString& calendar, const QDateTime& start, const std::optional<QDateTime>& end)
{
    QList<CalendarEventSummary> found;
    const QString folder = folderOf(calendar);
    if (folder.isEmpty())
        return found;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        if (info.size() > kMaxEventFileBytes)
            continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const CalendarEventSummary& event : ICalendarEventReader::read(file.readAll())) {
            const QDateTime eventEnd = event.end.isValid() ? event.end : event.start;
            if (start.isValid() && eventEnd < start)
                continue;
            if (end && end->isValid() && event.start > *end)
                continue;
            found.append(event);
        }
    }
    return found;
}

bool FolderCalendarStoreHost::saveEvent(const QString& calendar, const CalendarEventRecord& event)
{
    const QString folder = folderOf(calendar);
    if (folder.isEmpty() || m_pending.contains(calendar) || !QFileInfo(folder).isDir())
        return false;
    if (!canWrite(event)) {
        qCWarning(lcOrvane) << "an event with a date no calendar file can hold is left out";
        return false;
    }
    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray text = eventFileText(event, uid, QDateTime::currentDateTimeUtc());
    if (const QStringList problems = ICalendarZone::problemsOf(text); !problems.isEmpty())
        qCWarning(lcOrvane) << "an event file of" << folder << "has problems:" << problems;
    QString error;
    if (!writeFileAtomically(folder + QLatin1Char('/') + uid + QStringLiteral(".ics"), text,
                             &error)) {
        qCWarning(lcOrvane) << "cannot save an event in" << folder << error;
        return false;
    }
    return true;
}

QByteArray FolderCalendarStoreHost::eventFileText(const CalendarEventRecord& event,
                                                  const QString& uid, const QDateTime& stamp)
{
    const ICalendarZone zone =
        event.allDay ? ICalendarZone::utc() : ICalendarZone::fromDeviceName(event.timeZone);
    const bool floating = zone.kind() == ICalendarZone::Kind::Floating;
    // A floating event's times hold its wall clock in local time.
    auto wall = [floating](const QDateTime& time) { return floating ? time.toLocalTime() : time; };
    ICalendarText text;
    text.add(QStringLiteral("BEGIN"), QStringLiteral("VCALENDAR"));
    text.add(QStringLiteral("VERSION"), QStringLiteral("2.0"));
    text.add(QStringLiteral("PRODID"), QLatin1String(ICalendarText::kProductId));
    QByteArray bytes = text.bytes();
    if (event.start.isValid())
        bytes += zone.vtimezone(event.start.addDays(-1));
    text = ICalendarText();
    text.add(QStringLiteral("BEGIN"), QStringLiteral("VEVENT"));
    text.addText(QStringLiteral("UID"), uid);
    text.addUtcDateTime(QStringLiteral("DTSTAMP"), stamp);
    // An all-day event's times are local midnights: its days are local dates.
    const QDate startDay = event.start.toLocalTime().date();
    if (event.start.isValid()) {
        if (event.allDay)
            text.addDate(QStringLiteral("DTSTART"), startDay);
        else
            text.addLine(QStringLiteral("DTSTART") + zone.dateTimeValue(wall(event.start)));
    }
    if (event.end.isValid()) {
        if (event.allDay) {
            QDate endDay = event.end.toLocalTime().date();
            if (startDay.isValid() && endDay <= startDay)
                endDay = startDay.addDays(1);
            text.addDate(QStringLiteral("DTEND"), endDay);
        } else {
            // An end before the start is taken as no time at all.
            const QDateTime end =
                event.start.isValid() && event.end < event.start ? event.start : event.end;
            text.addLine(QStringLiteral("DTEND") + zone.dateTimeValue(wall(end)));
        }
    }
    if (!event.title.isEmpty())
        text.addText(QStringLiteral("SUMMARY"), event.title);
    if (!event.notes.isEmpty())
        text.addText(QStringLiteral("DESCRIPTION"), event.notes);
    if (!event.location.isEmpty())
        text.addText(QStringLiteral("LOCATION"), event.location);
    if (event.rule) {
        const CalendarRecurrenceRule& rule = *event.rule;
        QString until;
        if (rule.end == CalendarRecurrenceRule::End::Date && rule.endDate.isValid()
            && zone.canWrite(wall(rule.endDate))) {
            if (event.allDay)
                until = ICalendarText::date(rule.endDate.toLocalTime().date());
            else
                until = zone.untilValue(wall(rule.endDate));
        }
        const std::optional<QString> value = ICalendarText::recurrenceRule(
            static_cast<int>(rule.frequency), rule.interval,
            rule.end == CalendarRecurrenceRule::End::Count ? rule.count : 0, until);
        if (value)
            text.add(QStringLiteral("RRULE"), *value);
    }
    text.add(QStringLiteral("END"), QStringLiteral("VEVENT"));
    text.add(QStringLiteral("END"), QStringLiteral("VCALENDAR"));
    return bytes + text.bytes();
}

bool FolderCalendarStoreHost::canWrite(const CalendarEventRecord& event)
{
    const ICalendarZone zone =
        event.allDay ? ICalendarZone::utc() : ICalendarZone::fromDeviceName(event.timeZone);
    const bool floating = zone.kind() == ICalendarZone::Kind::Floating;
    for (const QDateTime& time : {event.start, event.end}) {
        if (time.isValid()
            && !(event.allDay || floating ? zone.canWrite(time.toLocalTime()) && zone.canWrite(time)
                                          : zone.canWrite(time)))
            return false;
    }
    return true;
}
