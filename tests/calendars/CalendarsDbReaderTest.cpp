// SPDX-License-Identifier: GPL-3.0-or-later
// The calendar database of both layouts read into the calendar store.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "CalendarTestSupport.h"
#include "DeviceTime.h"
#include "Locations.h"
#include "QELCalendarStore.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteStatement.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "TestEnvironment.h"

namespace {

using CalendarFixture::Layout;

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

std::string layoutName(const ::testing::TestParamInfo<Layout>& info)
{
    const char* const names[] = {"Event", "CalendarItem", "LocationByOwner", "LocationByRowid",
                                 "EventAndCalendarItem"};
    return names[static_cast<int>(info.param)];
}

class EveryLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(EveryLayout, ReadsTheEdgeCasesOfCalendarsAndEvents)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(GetParam()));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->lastError().isEmpty()) << reader->lastError().toStdString();

    // Calendars without events, or with only zero starts, are dropped; the
    // events of calendar 42, which has no row, get a calendar of their own.
    QStringList titles;
    for (const QELCalendarDetailPtr& c : reader->getCalendars())
        titles << (c->title.isNull() ? QStringLiteral("<none>") : c->title);
    EXPECT_EQ(titles,
              (QStringList{"", "<none>", "..", "Work", "Work", "a/b", "work",
                           QString::fromUtf8("Ärger; Termin, neu")}));

    struct ColourCase {
        qint64 id;
        QString code;
        std::optional<int> r, g, b;
    };
    for (const ColourCase& c : std::vector<ColourCase>{
             {1, "#FF8000", 255, 128, 0},
             {3, "#12345", {}, {}, {}}, // six characters: no numbers
             {4, "", {}, {}, {}},
             {5, "", {}, {}, {}}, // NULL
             {6, "#zz00ff", {}, {}, {}},
         }) {
        SCOPED_TRACE(c.id);
        const QELCalendarDetailPtr calendar = calendarWithID(*reader, c.id);
        ASSERT_TRUE(calendar);
        EXPECT_EQ(calendar->colorHTMLCode, c.code);
        EXPECT_EQ(calendar->colorRed, c.r);
        EXPECT_EQ(calendar->colorGreen, c.g);
        EXPECT_EQ(calendar->colorBlue, c.b);
    }
    const QELCalendarDetailPtr orphan = calendarWithID(*reader, 42);
    ASSERT_TRUE(orphan);
    EXPECT_TRUE(orphan->title.isNull());
    EXPECT_TRUE(orphan->colorHTMLCode.isEmpty());
    EXPECT_FALSE(calendarWithID(*reader, 7));
    EXPECT_FALSE(calendarWithID(*reader, 8));
    EXPECT_FALSE(eventWithID(*reader, 900)) << "the CalendarItem row of a database with Event";

    const QELCalendarComponentPtr meeting = eventWithID(*reader, 101);
    ASSERT_TRUE(meeting);
    EXPECT_EQ(meeting->summary, QStringLiteral("Meeting"));
    EXPECT_EQ(meeting->location, QStringLiteral("Room 1"));
    EXPECT_EQ(meeting->componentDescription, QStringLiteral("line one\nline two, with; commas\\"));
    EXPECT_EQ(meeting->timeZone, QStringLiteral("Europe/Berlin"));
    EXPECT_EQ(meeting->componentType, 1);
    ASSERT_TRUE(meeting->relationshipDateTimeProperty);
    EXPECT_EQ(meeting->relationshipDateTimeProperty->dtstart, utc(2024, 3, 15, 14, 30));
    EXPECT_EQ(meeting->relationshipDateTimeProperty->dtend, utc(2024, 3, 15, 15, 30));
    EXPECT_EQ(meeting->relationshipDateTimeProperty->isAllDay, 0);
    EXPECT_FALSE(meeting->relationshipRecurranceProperty);
    EXPECT_EQ(meeting->relationshipParent, calendarWithID(*reader, 1).get());

    struct EventCase {
        qint64 id;
        bool hasEnd;
        int allDay;
        std::optional<qint64> frequency;
        qint64 interval = 0;
        qint64 count = 0;
        QDateTime endDate;
    };
    const QDateTime none;
    const std::optional<qint64> once;
    for (const EventCase& c : std::vector<EventCase>{
             {102, true, 1, once, 0, 0, none},
             {103, true, 0, 2, 2, 10, none},
             {104, true, 0, 1, 1, 5, utc(2024, 4, 1, 7)},
             {116, true, 0, 1, 1, 5, none}, // recur_end_date 0: no end date
             {105, true, 0, 3, 1, 0, none},
             {106, true, 0, once, 0, 0, none},  // frequency 0
             {107, true, 0, once, 0, 0, none},  // frequency NULL
             {108, true, 0, 7, 1, 2, none},     // kept; the exports decide
             {109, false, 0, once, 0, 0, none}, // end 0
             {110, true, 0, once, 0, 0, none},  // all_day 2
             {111, true, 0, 4, 1, 3, none},     // the first of two repetition rows
             {113, true, 1, 4, 1, 0, utc(2030, 12, 30)},
         }) {
        SCOPED_TRACE(c.id);
        const QELCalendarComponentPtr e = eventWithID(*reader, c.id);
        ASSERT_TRUE(e);
        ASSERT_TRUE(e->relationshipDateTimeProperty);
        EXPECT_EQ(e->relationshipDateTimeProperty->dtend.isValid(), c.hasEnd);
        EXPECT_EQ(e->relationshipDateTimeProperty->isAllDay, c.allDay);
        ASSERT_EQ(bool(e->relationshipRecurranceProperty), c.frequency.has_value());
        if (!c.frequency)
            continue;
        EXPECT_EQ(e->relationshipRecurranceProperty->frequency, *c.frequency);
        EXPECT_EQ(e->relationshipRecurranceProperty->interval, c.interval);
        EXPECT_EQ(e->relationshipRecurranceProperty->occurenceCount, c.count);
        EXPECT_EQ(e->relationshipRecurranceProperty->endDate, c.endDate);
    }
    EXPECT_FALSE(eventWithID(*reader, 114)) << "a start of 0 is no event";
    // Two repetition rows make one event.
    EXPECT_EQ(calendarWithID(*reader, 4)->relationshipComponents.size(), 1u);
    const QELCalendarComponentPtr nullTexts = eventWithID(*reader, 118);
    ASSERT_TRUE(nullTexts);
    EXPECT_TRUE(nullTexts->summary.isEmpty());
    EXPECT_TRUE(nullTexts->timeZone.isEmpty());
    EXPECT_EQ(eventWithID(*reader, 112)->location, QString::fromUtf8("Straße 1, Köln"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryLayout,
                         ::testing::Values(Layout::Event, Layout::CalendarItem,
                                           Layout::CalendarItemLocationByOwner,
                                           Layout::CalendarItemLocationByRowid,
                                           Layout::EventAndCalendarItem),
                         layoutName);

TEST(CalendarsDbReader, ColourComponentsMakeALowerCaseCode)
{
    const auto reader = loadedReader(CalendarFixture::colourComponents());
    ASSERT_TRUE(reader);
    const QELCalendarDetailPtr blue = calendarWithID(*reader, 1);
    ASSERT_TRUE(blue);
    EXPECT_EQ(blue->colorHTMLCode, QStringLiteral("#0a14ff"));
    EXPECT_EQ(blue->colorRed, 10);
    EXPECT_EQ(blue->colorGreen, 20);
    EXPECT_EQ(blue->colorBlue, 255);
    // Out of range and NULL components stay within a colour.
    EXPECT_EQ(calendarWithID(*reader, 2)->colorHTMLCode, QStringLiteral("#ff0001"));
}

TEST(CalendarsDbReader, EventsWithoutACalendarTableAreListedByCalendarID)
{
    const auto reader = loadedReader(CalendarFixture::withoutCalendarTable());
    ASSERT_TRUE(reader);
    const QList<QELCalendarDetailPtr> calendars = reader->getCalendars();
    ASSERT_EQ(calendars.size(), 2);
    const QELCalendarDetailPtr three = calendarWithID(*reader, 3);
    ASSERT_TRUE(three);
    EXPECT_TRUE(three->title.isNull());
    ASSERT_EQ(three->relationshipComponents.size(), 2u);
    EXPECT_EQ(three->relationshipComponents[0]->summary, QStringLiteral("First"));
    EXPECT_EQ(three->relationshipComponents[0]->location, QStringLiteral("Hall"));
    EXPECT_EQ(calendarWithID(*reader, 5)->relationshipComponents.size(), 1u);
}

TEST(CalendarsDbReader, AnEventEndingFarAwayIsCutAtAHundredYears)
{
    CalendarFixture::Database d;
    d.layout = Layout::CalendarItem;
    CalendarFixture::Calendar work;
    work.id = 1;
    work.title = QStringLiteral("Work");
    work.color = QStringLiteral("#FF8000");
    d.calendars = {work};
    const double start = CalendarFixture::at(2024, 3, 15);
    const std::pair<qint64, double> ends[] = {
        {1, start + 1e12},            // the year 33689
        {2, start + 1e13},            // beyond what a date holds in milliseconds
        {3, start + 86400.0 * 36000}, // 98 years: kept
    };
    for (const auto& [id, end] : ends) {
        CalendarFixture::Event e;
        e.id = id;
        e.calendarID = 1;
        e.summary = QStringLiteral("Event %1").arg(id);
        e.start = start;
        e.end = end;
        e.allDay = 1;
        e.startTz = QStringLiteral("_float");
        d.events.append(e);
    }
    const auto reader = loadedReader(d);
    ASSERT_TRUE(reader);
    const QDateTime first = DeviceTime::fromReferenceSeconds(start);
    for (const qint64 id : {1, 2}) {
        SCOPED_TRACE(id);
        const QELCalendarComponentPtr e = eventWithID(*reader, id);
        ASSERT_TRUE(e);
        const QDateTime end = e->relationshipDateTimeProperty->dtend;
        EXPECT_TRUE(!end.isValid() || end == first.addYears(100)) << end.toString().toStdString();
    }
    EXPECT_EQ(eventWithID(*reader, 3)->relationshipDateTimeProperty->dtend,
              DeviceTime::fromReferenceSeconds(start + 86400.0 * 36000));
}

TEST(CalendarsDbReader, BadFilesGiveAnEmptyStoreAndSayWhy)
{
    const QString home = TestEnvironment::home();
    QFile(home + "/empty.sqlitedb").open(QIODevice::WriteOnly);
    {
        QFile text(home + "/text.sqlitedb");
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("this is not a database at all, just some words to fill a page");
    }
    ASSERT_TRUE(CalendarFixture::write(home + "/whole.sqlitedb",
                                       CalendarFixture::edgeCases(Layout::CalendarItem)));
    QFile::copy(home + "/whole.sqlitedb", home + "/truncated.sqlitedb");
    QFile(home + "/truncated.sqlitedb").resize(50);
    for (const char* name :
         {"missing.sqlitedb", "empty.sqlitedb", "text.sqlitedb", "truncated.sqlitedb"}) {
        SCOPED_TRACE(name);
        auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(home + "/" + name);
        ASSERT_TRUE(reader);
        EXPECT_TRUE(reader->loadCalendars());
        EXPECT_TRUE(reader->getCalendars().isEmpty());
        EXPECT_FALSE(reader->lastError().isEmpty());
    }
    // A database with unrelated tables reads as empty, without error.
    {
        QELSQLiteDatabase other = QELSQLiteDatabase::openOrCreate(home + "/other.sqlitedb");
        ASSERT_TRUE(other.execute("CREATE TABLE Something (a)"));
    }
    auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(home + "/other.sqlitedb");
    ASSERT_TRUE(reader->loadCalendars());
    EXPECT_TRUE(reader->getCalendars().isEmpty());
}

// Calendars with enough events to fill many pages of their tables.
CalendarFixture::Database manyEvents()
{
    CalendarFixture::Database d;
    d.layout = Layout::CalendarItem;
    for (int c = 1; c <= 40; ++c) {
        CalendarFixture::Calendar calendar;
        calendar.id = c;
        calendar.title = QStringLiteral("Calendar %1 ").arg(c) + QString(60, QLatin1Char('c'));
        calendar.color = QStringLiteral("#FF8000");
        d.calendars.append(calendar);
    }
    for (int i = 1; i <= 1500; ++i) {
        CalendarFixture::Event e;
        e.id = i;
        e.calendarID = 1 + i % 40;
        e.summary = QStringLiteral("Event %1 ").arg(i) + QString(80, QLatin1Char('e'));
        e.start = CalendarFixture::at(2024, 1, 1) + 3600.0 * i;
        e.end = e.start.toDouble() + 1800;
        e.startTz = QStringLiteral("UTC");
        d.events.append(e);
    }
    return d;
}

// A database that cannot be read to its end is not read at all: the store
// holds no calendar, and the reason says the file is damaged (never "not an
// error").
TEST(CalendarsDbReader, ADatabaseThatCannotBeReadToItsEndIsDamaged)
{
    struct Case {
        const char* what;
        const char* table;
        std::function<bool(const QString& path, const QString& table)> damage;
        const char* reason;
        // Short where only the budget ends the read; the row bound ends a
        // loop of pages long before the connection's own.
        std::chrono::milliseconds budget = std::chrono::milliseconds(300);
    };
    auto neverAnswers = [](const QString& path, const QString& table) {
        return SQLiteDamage::slowDown(path, table, 1'000'000'000'000);
    };
    auto loop = [](const QString& path, const QString& table) {
        return SQLiteDamage::repeatRows(path, table, 3, 40);
    };
    const std::vector<Case> cases = {
        {"a view of calendars that never answers", "Calendar", neverAnswers,
         "the calendars could not be read: a query ran past its time limit"},
        {"a view of events that never answers", "CalendarItem", neverAnswers,
         "the events could not be read: a query ran past its time limit"},
        {"a view of endless calendars", "Calendar", SQLiteDamage::makeEndless, "the calendars"},
        {"a damaged page among the events", "CalendarItem", SQLiteDamage::damageMiddleOf,
         "the events"},
        {"event pages that point back at one another", "CalendarItem", loop,
         "more rows than the file could hold", std::chrono::milliseconds(0)},
    };
    const QString home = TestEnvironment::home();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = home + QStringLiteral("/%1.sqlitedb").arg(++n);
        ASSERT_TRUE(CalendarFixture::write(path, manyEvents()));
        ASSERT_TRUE(c.damage(path, QLatin1String(c.table)));
        auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(path);
        ASSERT_TRUE(reader);
        reader->setReadBudget(c.budget);
        EXPECT_TRUE(reader->loadCalendars());
        const QString error = reader->lastError();
        EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
        EXPECT_TRUE(reader->getCalendars().isEmpty());
    }
    // The same file whole reads whole.
    ASSERT_TRUE(CalendarFixture::write(home + "/whole.sqlitedb", manyEvents()));
    auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(home + "/whole.sqlitedb");
    ASSERT_TRUE(reader->loadCalendars());
    EXPECT_TRUE(reader->lastError().isEmpty()) << reader->lastError().toStdString();
    EXPECT_EQ(reader->getCalendars().size(), 40);
}

// One budget for the whole read: the calendars and the events, each slow
// enough that one of them fits the budget, do not both run to their end.
TEST(CalendarsDbReader, TheCalendarsAndTheEventsShareOneBudget)
{
    const QString path = TestEnvironment::home() + "/slow.sqlitedb";
    ASSERT_TRUE(CalendarFixture::write(path, manyEvents()));
    const qint64 steps = 1'000'000;
    ASSERT_TRUE(SQLiteDamage::slowDown(path, QStringLiteral("Calendar"), steps));
    ASSERT_TRUE(SQLiteDamage::slowDown(path, QStringLiteral("CalendarItem"), steps));
    auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(path);
    reader->setReadBudget(SQLiteDamage::timeToCount(steps) * 3 / 2);
    EXPECT_TRUE(reader->loadCalendars());
    EXPECT_TRUE(reader->lastError().startsWith(QStringLiteral("this database is damaged: ")))
        << reader->lastError().toStdString();
    EXPECT_TRUE(reader->lastError().contains(QStringLiteral("time limit")))
        << reader->lastError().toStdString();
    EXPECT_TRUE(reader->getCalendars().isEmpty());
}

TEST(CalendarsDbReader, ReadsRowsThatStillLiveInTheWriteAheadLog)
{
    const QString path = TestEnvironment::home() + "/Calendar.sqlitedb";
    ASSERT_TRUE(CalendarFixture::write(path, CalendarFixture::withoutCalendarTable()));
    {
        QELSQLiteDatabase db = QELSQLiteDatabase::openOrCreate(path);
        ASSERT_TRUE(db.execute("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"));
        ASSERT_TRUE(
            db.execute("INSERT INTO CalendarItem (ROWID, summary, start_date, end_date, "
                       "all_day, calendar_id) VALUES (50, 'Late', 800000000, 800003600, 0, 9)"));
        // Copy the database with its log while the log is still unmerged.
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::copy(path + suffix, path + ".copy" + suffix);
    }
    auto reader = QELCalendarsDbReader::initWithCalendarsDbPath(path + ".copy");
    ASSERT_TRUE(reader->loadCalendars());
    const QELCalendarComponentPtr late = eventWithID(*reader, 50);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->summary, QStringLiteral("Late"));
}

TEST(CalendarsReader, SortsByTitleAndAnswersTheEventsOfEveryCalendarOfATitle)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::Event));
    ASSERT_TRUE(reader);
    // "Work" before "work"; the two calendars titled "Work" give their events together.
    const QList<QELCalendarComponentPtr> work = reader->eventsForCalendar(QStringLiteral("Work"));
    QStringList summaries;
    for (const QELCalendarComponentPtr& e : work)
        summaries << e->summary;
    EXPECT_EQ(
        summaries,
        (QStringList{"Meeting", "Holiday", "Weekly", "Daily until", "Count five", "Other work"}));
    EXPECT_TRUE(reader->eventsForCalendar(QStringLiteral("Nobody")).isEmpty());
}

TEST(CalendarsReader, EachReadRebuildsTheStoreFile)
{
    const QString store = Locations::temporaryFolder() + "/calendars.dat";
    {
        const auto first = loadedReader(CalendarFixture::edgeCases(Layout::Event));
        ASSERT_TRUE(first);
        EXPECT_FALSE(first->store()->isInMemory());
        EXPECT_EQ(first->store()->filePath(), store);
    }
    const auto second = loadedReader(CalendarFixture::colourComponents(), "second.sqlitedb");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->getCalendars().size(), 2);
    // The file holds this read only.
    QELSQLiteDatabase db = QELSQLiteDatabase::openReadOnly(store);
    ASSERT_TRUE(db.isOpen());
    QELSQLiteStatement count(db.handle(), "SELECT count(*) FROM QELCalendarDetail");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), 2);
    QELSQLiteStatement events(db.handle(), "SELECT count(*) FROM QELCalendarComponent");
    ASSERT_TRUE(events.step());
    EXPECT_EQ(events.int64(0), 2);
}

TEST(CalendarsDbReader, ColourWithHexARGB)
{
    struct Case {
        const char* text;
        bool valid;
        int a, r, g, b;
    };
    for (const Case& c : std::vector<Case>{{"#80FF8000", true, 128, 255, 128, 0},
                                           {"x00000000", true, 0, 0, 0, 0},
                                           {"#FF8000", false, 0, 0, 0, 0},
                                           {"#80FF80000", false, 0, 0, 0, 0},
                                           {"#80FF80zz", false, 0, 0, 0, 0},
                                           {"", false, 0, 0, 0, 0}}) {
        SCOPED_TRACE(c.text);
        const std::optional<QColor> colour = QELCalendarsDbReader::colorWithHexARGB(c.text);
        ASSERT_EQ(colour.has_value(), c.valid);
        if (!colour)
            continue;
        EXPECT_EQ(colour->alpha(), c.a);
        EXPECT_EQ(colour->red(), c.r);
        EXPECT_EQ(colour->green(), c.g);
        EXPECT_EQ(colour->blue(), c.b);
    }
}

} // namespace
