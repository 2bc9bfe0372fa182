// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect calendars (FOLDER | --backup UDID) [--export DIR]`: the
// calendars and events of Calendar.sqlitedb as the calendar store holds them;
// --export writes the iCalendar files the export job writes.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include "BackupFileSource.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELCalendarsDbReader.h"
#include "QELCopyCalendars.h"
#include "QELCopyDelegate.h"

namespace {

using InspectJson::date;
using InspectJson::flag;
using InspectJson::id;
using InspectJson::text;

constexpr int kCalendarDatabaseType = 1;

// The device keeps an all-day event's day at UTC midnight: the day is shown so.
QJsonValue eventDate(const QDateTime& value, bool allDay)
{
    if (!allDay || !value.isValid())
        return date(value);
    return date(QDateTime(value.toUTC().date(), QTime(0, 0), Qt::UTC));
}

// The calendars, then every calendar's events, one at a time; answers the exit code.
int printCalendars(const QList<QELCalendarDetailPtr>& calendars)
{
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("calendars"));
    for (const QELCalendarDetailPtr& calendar : calendars) {
        QJsonObject c;
        c.insert(QStringLiteral("id"), id(calendar->calendarID));
        c.insert(QStringLiteral("title"), text(calendar->title));
        c.insert(QStringLiteral("color"),
                 calendar->colorHTMLCode.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                   : QJsonValue(calendar->colorHTMLCode));
        out.value(c);
    }
    out.end();
    out.beginArray(QStringLiteral("events"));
    for (const QELCalendarDetailPtr& calendar : calendars) {
        for (const QELCalendarComponentPtr& event : calendar->relationshipComponents) {
            const QELCalendarDateTimePropertiesPtr& times = event->relationshipDateTimeProperty;
            const bool allDay = times && times->isAllDay == 1;
            QJsonObject e;
            e.insert(QStringLiteral("id"), id(event->eventID));
            e.insert(QStringLiteral("calendarID"), id(calendar->calendarID));
            e.insert(QStringLiteral("summary"), text(event->summary));
            e.insert(QStringLiteral("location"), text(event->location));
            e.insert(QStringLiteral("description"), text(event->componentDescription));
            e.insert(QStringLiteral("start"),
                     times ? eventDate(times->dtstart, allDay) : QJsonValue(QJsonValue::Null));
            e.insert(QStringLiteral("end"),
                     times ? eventDate(times->dtend, allDay) : QJsonValue(QJsonValue::Null));
            e.insert(QStringLiteral("allDay"),
                     flag(times ? std::optional<bool>(allDay) : std::nullopt));
            e.insert(QStringLiteral("timeZone"),
                     event->timeZone.isEmpty() ? QJsonValue(QJsonValue::Null)
                                               : QJsonValue(event->timeZone));
            const std::optional<QString> rule = QELCopyCalendars::recurrenceRuleOf(*event);
            e.insert(QStringLiteral("recurrence"),
                     rule ? QJsonValue(*rule) : QJsonValue(QJsonValue::Null));
            out.value(e);
        }
    }
    out.end();
    return out.finish();
}

// Ends the event loop when the job reports the end of its run.
class ExportWaiter : public QELCopyDelegate {
public:
    explicit ExportWaiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }

private:
    QEventLoop& m_loop;
};

// Writes the files; false when any could not be written.
bool exportCalendars(const QList<QELCalendarDetailPtr>& calendars, const QString& folder)
{
    QVariantList items;
    for (const QELCalendarDetailPtr& calendar : calendars)
        items.append(QVariant::fromValue(calendar));
    QEventLoop loop;
    ExportWaiter waiter(loop);
    QELCopyCalendars job;
    job.setDelegate(&waiter);
    job.setBaseCopyPath(QDir(folder).absolutePath());
    job.setItemQueue(items);
    job.startCopy();
    loop.exec();
    return job.failedItemCount() == 0;
}

int inspectCalendars(const InspectRequest& request)
{
    const QString path = request.source.GetPathToDataOfType(kCalendarDatabaseType);
    if (path.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("no Calendar.sqlitedb in %1").arg(request.input));
    std::unique_ptr<QELCalendarsDbReader> reader =
        QELCalendarsDbReader::initWithCalendarsDbPath(path);
    if (!reader)
        return InspectSubcommands::fail(QStringLiteral("no calendar store could be made"),
                                        InspectSubcommands::kWriteFailed);
    reader->loadCalendars();
    const QList<QELCalendarDetailPtr> calendars = reader->getCalendars();
    QFile::remove(path);
    // Damage is reported as the messages report theirs: the file, then why.
    if (reader->lastError().startsWith(QLatin1String("this database is damaged")))
        return InspectSubcommands::fail(QStringLiteral("Calendar.sqlitedb: ")
                                        + reader->lastError());
    if (calendars.isEmpty() && !reader->lastError().isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("the Calendar.sqlitedb of %1 cannot be read: %2")
                .arg(request.input, reader->lastError()));
    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("cannot make the folder %1").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        if (!exportCalendars(calendars, request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("some calendar files could not be written into %1")
                    .arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
    }
    return printCalendars(calendars);
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("calendars"),
    QStringLiteral("the calendars and their events (Calendar.sqlitedb); --export DIR writes "
                   "the iCalendar files"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    {},
    inspectCalendars,
});

} // namespace
