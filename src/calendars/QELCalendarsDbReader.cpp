// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCalendarsDbReader.h"

#include <algorithm>

#include <QHash>
#include <QSet>
#include <QStringList>

#include "DeviceTime.h"
#include "Log.h"
#include "QELCalendarStore.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

// A table of the file, or a view a hostile file put in its place (which the
// read then meets and its budget ends).
bool hasTable(sqlite3* db, const char* table)
{
    return QELSQLiteHelper::doesDatabaseContainTableOrView(db, QLatin1String(table));
}

// The first failure of a statement ends the read.
void failed(const char* what, const QELSQLiteStatement& statement)
{
    QELSQLiteStepBudget::failStatement("Calendars", what, statement.errorMessage());
}

// The column names of a table (a constant of ours), lower-cased.
QSet<QString> columnsOf(sqlite3* db, const char* table)
{
    QSet<QString> columns;
    QELSQLiteStatement info(db, QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
    info.forEachRow([&columns](const QELSQLiteStatement& row) {
        columns.insert(row.text(row.columnIndex(QStringLiteral("name"))).toLower());
        return true;
    });
    return columns;
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The hexadecimal pair at `position`; none when the text ends first or the
// characters are not hexadecimal digits.
std::optional<int> hexPair(const QString& text, qsizetype position)
{
    if (position + 2 > text.size() || !isHexDigit(text[position])
        || !isHexDigit(text[position + 1]))
        return std::nullopt;
    return text.mid(position, 2).toInt(nullptr, 16);
}

// The longest an event can last: an end further away is a damaged value,
// and the grid and the exports would otherwise walk every day of it.
constexpr int kMaxEventYears = 100;

QString textOrEmpty(const QELSQLiteStatement& row, int column)
{
    // NULL reads as the empty text, as the device databases are read everywhere.
    return QELSQLiteHelper::stringValueForColumnFromStatment(column, row.handle());
}

} // namespace

std::unique_ptr<QELCalendarsDbReader> QELCalendarsDbReader::initWithCalendarsDbPath(
    const QString& path)
{
    std::unique_ptr<QELCalendarsDbReader> reader(new QELCalendarsDbReader());
    if (!reader->init())
        return nullptr;
    reader->_dbPath = path;
    return reader;
}

std::optional<QColor> QELCalendarsDbReader::colorWithHexARGB(const QString& text)
{
    if (text.size() != 9)
        return std::nullopt;
    const std::optional<int> a = hexPair(text, 1);
    const std::optional<int> r = hexPair(text, 3);
    const std::optional<int> g = hexPair(text, 5);
    const std::optional<int> b = hexPair(text, 7);
    if (!a || !r || !g || !b)
        return std::nullopt;
    return QColor::fromRgbF(*r / 255.0f, *g / 255.0f, *b / 255.0f, *a / 255.0f);
}

bool QELCalendarsDbReader::loadCalendars()
{
    assertNotOnGuiThread();
    m_lastError.clear();
    if (!QELCalendarsReader::loadCalendars()) {
        m_lastError = QStringLiteral("no calendar database at \"%1\"").arg(_dbPath);
        return true;
    }
    // Every statement of the read shares one budget, and the first that
    // fails ends it.
    const QELSQLiteStepBudget::Read whole(m_readBudget);
    QString error;
    _calendarDatabase = QELSQLiteDatabase::openCopyReadOnly(_dbPath, &error);
    if (!_calendarDatabase.isOpen()) {
        m_lastError = error;
        qCWarning(lcOrvane) << "cannot open the calendar database" << _dbPath << error;
        return true;
    }
    QHash<qint64, QELCalendarDetailPtr> byID;
    readCalendars(byID);
    if (!whole.failed())
        readEvents(byID);
    if (whole.failed())
        m_lastError = whole.error();
    for (const QELCalendarDetailPtr& calendar : std::vector(m_store->calendars())) {
        if (whole.failed() || calendar->relationshipComponents.empty())
            m_store->deleteCalendar(calendar);
    }
    if (!m_store->save(&error))
        qCWarning(lcOrvane) << "cannot save the calendar store" << error;
    _calendarDatabase.close();
    return true;
}

void QELCalendarsDbReader::readCalendars(QHash<qint64, QELCalendarDetailPtr>& byID)
{
    sqlite3* db = _calendarDatabase.handle();
    if (!hasTable(db, "Calendar"))
        return;
    QELSQLiteStatement rows(db, QStringLiteral("SELECT * FROM Calendar"));
    if (!rows.isPrepared()) {
        failed("the calendars", rows);
        return;
    }
    const int rowID = rows.columnIndex(QStringLiteral("ROWID"));
    const int colour = rows.columnIndex(QStringLiteral("color"));
    const int red = rows.columnIndex(QStringLiteral("color_r"));
    const int green = rows.columnIndex(QStringLiteral("color_g"));
    const int blue = rows.columnIndex(QStringLiteral("color_b"));
    const int title = rows.columnIndex(QStringLiteral("title"));
    const bool complete = rows.forEachRow([&](const QELSQLiteStatement& row) {
        // Events name their calendar by its row: a row without one can own none.
        if (rowID < 0 || row.isNull(rowID))
            return true;
        const qint64 id = row.int64(rowID);
        if (byID.contains(id))
            return true;
        QELCalendarDetailPtr calendar = m_store->insertCalendar();
        calendar->calendarID = id;
        if (colour >= 0) {
            calendar->colorHTMLCode = textOrEmpty(row, colour);
            const QString& code = calendar->colorHTMLCode;
            // "#RRGGBB"; a shorter or malformed text keeps its code but sets
            // no numbers.
            if (code.size() > 5) {
                const std::optional<int> r = hexPair(code, 1);
                const std::optional<int> g = hexPair(code, 3);
                const std::optional<int> b = hexPair(code, 5);
                if (r && g && b) {
                    calendar->colorRed = *r;
                    calendar->colorGreen = *g;
                    calendar->colorBlue = *b;
                }
            }
        } else {
            auto component = [&row](int column) -> std::optional<int> {
                if (column < 0)
                    return std::nullopt;
                return static_cast<int>(std::clamp<qint64>(row.int64(column), 0, 255));
            };
            calendar->colorRed = component(red);
            calendar->colorGreen = component(green);
            calendar->colorBlue = component(blue);
            calendar->colorHTMLCode = QString::asprintf(
                "#%.2x%.2x%.2x", calendar->colorRed.value_or(0), calendar->colorGreen.value_or(0),
                calendar->colorBlue.value_or(0));
        }
        if (title >= 0)
            calendar->title = textOrEmpty(row, title);
        byID.insert(id, calendar);
        return true;
    });
    if (!complete)
        failed("the calendars", rows);
}

void QELCalendarsDbReader::readEvents(QHash<qint64, QELCalendarDetailPtr>& byID)
{
    sqlite3* db = _calendarDatabase.handle();
    // Older systems keep events in "Event"; that table wins where both exist.
    const bool older = hasTable(db, "Event");
    const char* table = older ? "Event" : "CalendarItem";
    if (!older && !hasTable(db, "CalendarItem"))
        return;
    const QSet<QString> columns = columnsOf(db, table);
    if (!columns.contains(QStringLiteral("calendar_id")))
        return;

    // Only columns the table has are selected: a missing start column gives
    // events without times, as a missing column always did.
    QStringList select{QStringLiteral("event.ROWID AS item_rowid"),
                       QStringLiteral("event.calendar_id AS item_calendar_id")};
    for (const char* column :
         {"summary", "description", "all_day", "start_date", "end_date", "start_tz"}) {
        if (columns.contains(QLatin1String(column)))
            select << QStringLiteral("event.%1 AS %1").arg(QLatin1String(column));
    }
    QString joins;
    QString order = QStringLiteral(" ORDER BY event.ROWID");
    if (older && columns.contains(QStringLiteral("location")))
        select << QStringLiteral("event.location AS location");
    if (hasTable(db, "Recurrence")) {
        const QSet<QString> recurrence = columnsOf(db, "Recurrence");
        QString link = QLatin1String(older ? "event_id" : "owner_id");
        if (!recurrence.contains(link))
            link = QLatin1String(older ? "owner_id" : "event_id");
        if (recurrence.contains(link)) {
            joins += QStringLiteral(" LEFT OUTER JOIN Recurrence recur ON recur.%1 = event.ROWID")
                         .arg(link);
            for (const char* column : {"frequency", "interval", "count"}) {
                if (recurrence.contains(QLatin1String(column)))
                    select << QStringLiteral("recur.\"%1\" AS \"%1\"").arg(QLatin1String(column));
            }
            if (recurrence.contains(QStringLiteral("end_date")))
                select << QStringLiteral("recur.end_date AS recur_end_date");
            // An event with two repetition rows is one event: its first row wins.
            order += QStringLiteral(", recur.ROWID");
        }
    }
    if (!older && hasTable(db, "Location")) {
        const QSet<QString> location = columnsOf(db, "Location");
        if (location.contains(QStringLiteral("title"))) {
            // Later systems link an item to its place by "location_id"; some
            // link the place to its item by "item_owner_id".
            QString on = QStringLiteral("loca.ROWID = event.ROWID");
            if (columns.contains(QStringLiteral("location_id")))
                on = QStringLiteral("loca.ROWID = event.location_id");
            else if (location.contains(QStringLiteral("item_owner_id")))
                on = QStringLiteral("loca.item_owner_id = event.ROWID");
            joins += QStringLiteral(" LEFT OUTER JOIN Location loca ON ") + on;
            select << QStringLiteral("loca.title AS location");
            order += QStringLiteral(", loca.ROWID");
        }
    }
    QELSQLiteStatement rows(
        db,
        QStringLiteral("SELECT %1 FROM %2 event%3%4")
            .arg(select.join(QStringLiteral(", ")), QLatin1String(table), joins, order));
    if (!rows.isPrepared()) {
        failed("the events", rows);
        return;
    }
    const int rowID = rows.columnIndex(QStringLiteral("item_rowid"));
    const int calendarID = rows.columnIndex(QStringLiteral("item_calendar_id"));
    const int summary = rows.columnIndex(QStringLiteral("summary"));
    const int description = rows.columnIndex(QStringLiteral("description"));
    const int location = rows.columnIndex(QStringLiteral("location"));
    const int allDay = rows.columnIndex(QStringLiteral("all_day"));
    const int start = rows.columnIndex(QStringLiteral("start_date"));
    const int end = rows.columnIndex(QStringLiteral("end_date"));
    const int timeZone = rows.columnIndex(QStringLiteral("start_tz"));
    const int frequency = rows.columnIndex(QStringLiteral("frequency"));
    const int interval = rows.columnIndex(QStringLiteral("interval"));
    const int count = rows.columnIndex(QStringLiteral("count"));
    const int recurEnd = rows.columnIndex(QStringLiteral("recur_end_date"));

    QSet<qint64> seen;
    QELCalendarDetailPtr orphans; // events without a calendar id
    const bool complete = rows.forEachRow([&](const QELSQLiteStatement& row) {
        const qint64 id = row.int64(rowID);
        if (seen.contains(id))
            return true;
        seen.insert(id);
        if (start >= 0 && row.real(start) == 0)
            return true;
        QELCalendarDetailPtr calendar;
        if (row.isNull(calendarID)) {
            if (!orphans)
                orphans = m_store->insertCalendar();
            calendar = orphans;
        } else {
            const qint64 owner = row.int64(calendarID);
            calendar = byID.value(owner);
            if (!calendar) {
                calendar = m_store->insertCalendar();
                calendar->calendarID = owner;
                byID.insert(owner, calendar);
            }
        }
        auto event = std::make_shared<QELCalendarComponent>();
        event->eventID = id;
        event->componentType = 1;
        event->relationshipParent = calendar.get();
        if (summary >= 0)
            event->summary = textOrEmpty(row, summary);
        if (description >= 0)
            event->componentDescription = textOrEmpty(row, description);
        if (location >= 0)
            event->location = textOrEmpty(row, location);
        if (timeZone >= 0)
            event->timeZone = textOrEmpty(row, timeZone);
        if (start >= 0) {
            auto times = std::make_shared<QELCalendarDateTimeProperties>();
            times->dtstart = DeviceTime::fromReferenceSeconds(row.real(start));
            if (end >= 0 && row.real(end) != 0)
                times->dtend = DeviceTime::fromReferenceSeconds(row.real(end));
            if (times->dtstart.isValid() && times->dtend.isValid()
                && times->dtend > times->dtstart.addYears(kMaxEventYears)) {
                qCWarning(lcOrvane) << "an event ends more than" << kMaxEventYears
                                    << "years after its start; it is cut there";
                times->dtend = times->dtstart.addYears(kMaxEventYears);
            }
            times->isAllDay = allDay >= 0 && row.int64(allDay) == 1 ? 1 : 0;
            times->relationshipParent = event.get();
            event->relationshipDateTimeProperty = times;
        }
        if (frequency >= 0 && row.int64(frequency) != 0) {
            auto rule = std::make_shared<QELCalendarRecurranceProperties>();
            rule->frequency = row.int64(frequency);
            rule->interval = interval >= 0 ? row.int64(interval) : 0;
            rule->occurenceCount = count >= 0 ? row.int64(count) : 0;
            if (recurEnd >= 0 && row.real(recurEnd) != 0)
                rule->endDate = DeviceTime::fromReferenceSeconds(row.real(recurEnd));
            rule->relationshipParent = event.get();
            event->relationshipRecurranceProperty = rule;
        }
        calendar->relationshipComponents.push_back(std::move(event));
        return true;
    });
    if (!complete)
        failed("the events", rows);
}
