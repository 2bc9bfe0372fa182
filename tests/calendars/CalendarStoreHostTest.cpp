// SPDX-License-Identifier: GPL-3.0-or-later
// The calendar collections of the computer: folders, event files, and what is
// read back from files of ours and of other programs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include "FolderCalendarStoreHost.h"
#include "ICalendarEventReader.h"
#include "LibicalCheck.h"
#include "Locations.h"
#include "QtPrinters.h"
#include "SafePath.h"

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

CalendarEventRecord timed(const QString& title, const QDateTime& start, const QDateTime& end)
{
    CalendarEventRecord e;
    e.title = title;
    e.start = start;
    e.end = end;
    return e;
}

TEST(FolderCalendarStoreHost, KeepsCalendarsAsVdirFoldersInTheDataHome)
{
    FolderCalendarStoreHost host;
    const QString root = Locations::dataHome() + QStringLiteral("/calendars");
    EXPECT_EQ(host.root(), root);

    const QString work = host.createCalendar(QStringLiteral("Work"), QColor(255, 128, 0));
    ASSERT_FALSE(work.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root + "/" + work)) << "not written before it is saved";
    ASSERT_TRUE(host.saveCalendar(work));
    EXPECT_EQ(readText(root + "/Work/displayname"), QStringLiteral("Work"));
    EXPECT_EQ(readText(root + "/Work/color"), QStringLiteral("#FF8000"));

    // A second calendar of one title gets a folder of its own.
    const QString second = host.createCalendar(QStringLiteral("Work"), QColor(0, 0, 255));
    ASSERT_TRUE(host.saveCalendar(second));
    EXPECT_EQ(second, QStringLiteral("Work 1"));

    const QList<CalendarStoreHost::Calendar> all = host.calendars();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].title, QStringLiteral("Work"));
    EXPECT_EQ(all[1].title, QStringLiteral("Work"));
    EXPECT_EQ(host.findCalendarByTitle(QStringLiteral("Work")), std::optional<QString>(work));
    EXPECT_EQ(host.findCalendarByTitle(QStringLiteral("work")), std::nullopt);

    // Saving an existing calendar leaves its colour alone.
    ASSERT_TRUE(host.saveCalendar(work));
    EXPECT_EQ(readText(root + "/Work/color"), QStringLiteral("#FF8000"));
}

TEST(FolderCalendarStoreHost, HostileTitlesStayInsideTheRoot)
{
    FolderCalendarStoreHost host;
    for (const QString& title :
         {QStringLiteral("a/b"), QStringLiteral(".."), QString(), QStringLiteral("../../etc")}) {
        SCOPED_TRACE(title.toStdString());
        const QString id = host.createCalendar(title, QColor(1, 2, 3));
        ASSERT_TRUE(SafePath::isPlainName(id)) << id.toStdString();
        ASSERT_TRUE(host.saveCalendar(id));
        EXPECT_TRUE(SafePath::isInside(host.root(), host.folderOf(id)));
        EXPECT_EQ(host.findCalendarByTitle(title).value_or(QString()), id);
    }
    EXPECT_FALSE(host.saveCalendar(QStringLiteral("..")));
    EXPECT_FALSE(host.saveEvent(QStringLiteral("../x"), timed("x", utc(2024, 1, 1), {})));
    EXPECT_TRUE(host.eventsBetween(QStringLiteral(".."), utc(2000, 1, 1), std::nullopt).isEmpty());
}

TEST(FolderCalendarStoreHost, EventsAreOnlySavedIntoSavedCalendars)
{
    FolderCalendarStoreHost host;
    const QString id = host.createCalendar(QStringLiteral("Home"), QColor());
    EXPECT_FALSE(host.saveEvent(id, timed("a", utc(2024, 1, 1), {})));
    EXPECT_FALSE(host.saveEvent(QStringLiteral("Missing"), timed("a", utc(2024, 1, 1), {})));
    ASSERT_TRUE(host.saveCalendar(id));
    EXPECT_TRUE(host.saveEvent(id, timed("a", utc(2024, 1, 1), {})));
    EXPECT_EQ(QDir(host.folderOf(id)).entryList({"*.ics"}, QDir::Files).size(), 1);
}

TEST(FolderCalendarStoreHost, EventsBetweenAnswersTheEventsThatOverlapTheSpan)
{
    FolderCalendarStoreHost host;
    const QString id = host.createCalendar(QStringLiteral("Home"), QColor(1, 2, 3));
    ASSERT_TRUE(host.saveCalendar(id));
    ASSERT_TRUE(host.saveEvent(id, timed("Morning", utc(2024, 3, 15, 9), utc(2024, 3, 15, 10))));
    ASSERT_TRUE(host.saveEvent(id, timed("Open", utc(2024, 3, 20, 9), {})));
    CalendarEventRecord day;
    day.title = QStringLiteral("Holiday; long, \"quoted\"\nnext line");
    day.allDay = true;
    day.start = QDateTime(QDate(2024, 3, 18), QTime(0, 0), Qt::LocalTime);
    day.end = QDateTime(QDate(2024, 3, 19), QTime(0, 0), Qt::LocalTime);
    ASSERT_TRUE(host.saveEvent(id, day));

    struct Case {
        const char* name;
        QDateTime start;
        std::optional<QDateTime> end;
        QStringList titles;
    };
    const std::vector<Case> cases = {
        {"everything", utc(2024, 1, 1), std::nullopt, {"Morning", "Open", day.title}},
        {"the hour itself", utc(2024, 3, 15, 9), utc(2024, 3, 15, 10), {"Morning"}},
        {"inside the hour", utc(2024, 3, 15, 9, 30), utc(2024, 3, 15, 9, 40), {"Morning"}},
        {"after all", utc(2024, 3, 21), std::nullopt, {}},
        {"before all", utc(2024, 1, 1), utc(2024, 2, 1), {}},
        {"the holiday", day.start, day.end, {day.title}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList titles;
        for (const CalendarEventSummary& e : host.eventsBetween(id, c.start, c.end))
            titles << e.title;
        titles.sort();
        QStringList want = c.titles;
        want.sort();
        EXPECT_EQ(titles, want);
    }
    // What was saved is what is read back, to the second.
    for (const CalendarEventSummary& e : host.eventsBetween(id, utc(2024, 1, 1), std::nullopt)) {
        if (e.title == QLatin1String("Morning")) {
            EXPECT_EQ(e.start, utc(2024, 3, 15, 9));
            EXPECT_EQ(e.end, utc(2024, 3, 15, 10));
        } else if (e.title == QLatin1String("Open")) {
            EXPECT_FALSE(e.end.isValid());
        } else {
            EXPECT_EQ(e.start, day.start);
            EXPECT_EQ(e.end, day.end);
        }
    }
}

TEST(FolderCalendarStoreHost, EventFilesAreValidICalendar)
{
    CalendarEventRecord e;
    e.title = QString(200, QChar(0x00C4)) + QStringLiteral(", a; b\\c");
    e.notes = QStringLiteral("line one\r\nline two");
    e.location = QStringLiteral("Room 1");
    e.start = utc(2024, 12, 30, 14, 30);
    e.end = utc(2024, 12, 30, 15, 30);
    e.rule = CalendarRecurrenceRule{
        CalendarRecurrenceRule::Frequency::Weekly, 2, CalendarRecurrenceRule::End::Count, 10, {}};
    CalendarEventRecord allDay;
    allDay.title = QStringLiteral("Day");
    allDay.allDay = true;
    allDay.start = QDateTime(QDate(2024, 3, 15), QTime(0, 0), Qt::LocalTime);
    allDay.end = allDay.start; // an end on the start day still ends after it
    allDay.rule = CalendarRecurrenceRule{CalendarRecurrenceRule::Frequency::Yearly, 1,
                                         CalendarRecurrenceRule::End::Date, 0,
                                         QDateTime(QDate(2030, 3, 15), QTime(0, 0), Qt::LocalTime)};

    const QByteArray text = FolderCalendarStoreHost::eventFileText(e, "uid-1", utc(2024, 1, 1));
    for (const QByteArray& line : text.split('\n'))
        EXPECT_LE(line.size(), 76) << line.constData(); // 75 octets and the CR
    LibicalResult parsed = parseWithLibical(text);
    ASSERT_TRUE(parsed.parsed);
    EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
    ASSERT_EQ(parsed.events.size(), 1);
    EXPECT_EQ(parsed.events[0].summary, e.title);
    EXPECT_EQ(parsed.events[0].description, QStringLiteral("line one\nline two"));
    EXPECT_EQ(parsed.events[0].start, e.start);
    EXPECT_EQ(parsed.rules, QStringList{"FREQ=WEEKLY;INTERVAL=2;COUNT=10"});
    EXPECT_TRUE(parsed.everyRuleParses);

    parsed =
        parseWithLibical(FolderCalendarStoreHost::eventFileText(allDay, "uid-2", utc(2024, 1, 1)));
    EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
    ASSERT_EQ(parsed.events.size(), 1);
    EXPECT_TRUE(parsed.events[0].startIsDate);
    EXPECT_EQ(parsed.events[0].start.date(), QDate(2024, 3, 15));
    EXPECT_EQ(parsed.events[0].end.date(), QDate(2024, 3, 16));
    EXPECT_EQ(parsed.rules, QStringList{"FREQ=YEARLY;INTERVAL=1;UNTIL=20300315"});
}

TEST(ICalendarEventReader, ReadsTheEventsOfOtherPrograms)
{
    struct Case {
        const char* name;
        QByteArray text;
        QList<CalendarEventSummary> want;
    };
    const QDateTime localNine(QDate(2024, 5, 2), QTime(9, 0), Qt::LocalTime);
    const std::vector<Case> cases = {
        {"utc, folded, LF endings",
         "BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMMARY:Long ti\n tle\\, here\nDTSTART:20240502T090000Z\n"
         "DTEND:20240502T100000Z\nEND:VEVENT\nEND:VCALENDAR\n",
         {{"Long title, here", utc(2024, 5, 2, 9), utc(2024, 5, 2, 10)}}},
        {"dates",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Day\r\nDTSTART;VALUE=DATE:20240502\r\n"
         "DTEND;VALUE=DATE:20240503\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         {{"Day", QDateTime(QDate(2024, 5, 2), QTime(0, 0), Qt::LocalTime),
           QDateTime(QDate(2024, 5, 3), QTime(0, 0), Qt::LocalTime)}}},
        {"a named zone",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:NY\r\nDTSTART;TZID=America/New_York:"
         "20240502T090000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         {{"NY", utc(2024, 5, 2, 13), {}}}},
        {"a quoted zone",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:T\r\nDTSTART;TZID=\"Asia/Tokyo\":"
         "20240502T090000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
         {{"T", utc(2024, 5, 2, 0), {}}}},
        {"floating and unknown zones are local",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:F\r\nDTSTART:20240502T090000\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nSUMMARY:U\r\nDTSTART;TZID=Nowhere/Else:20240502T090000\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         {{"F", localNine, {}}, {"U", localNine, {}}}},
        {"an alarm's properties are not the event's",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Outer\r\nBEGIN:VALARM\r\nSUMMARY:Inner\r\n"
         "DTSTART:20000101T000000Z\r\nEND:VALARM\r\nDTSTART:20240502T090000Z\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         {{"Outer", utc(2024, 5, 2, 9), {}}}},
        {"no start, a bad start, a truncated file",
         "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:None\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\n"
         "SUMMARY:Bad\r\nDTSTART:2024\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:Cut\r\n"
         "DTSTART:20240502T090000Z\r\n",
         {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<CalendarEventSummary> got = ICalendarEventReader::read(c.text);
        ASSERT_EQ(got.size(), c.want.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].title, c.want[i].title);
            EXPECT_EQ(got[i].start, c.want[i].start);
            EXPECT_EQ(got[i].end.isValid(), c.want[i].end.isValid());
            if (c.want[i].end.isValid()) {
                EXPECT_EQ(got[i].end, c.want[i].end);
            }
        }
    }
}

} // namespace
