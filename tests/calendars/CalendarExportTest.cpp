// SPDX-License-Identifier: GPL-3.0-or-later
// The iCalendar export: the text of a calendar, checked line by line and by
// libical under two time zones, and the files a run writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "CalendarTestSupport.h"
#include "LibicalCheck.h"
#include "QELCopyCalendars.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

using CalendarFixture::Layout;

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

QStringList unfoldedLines(const QByteArray& text)
{
    return QString::fromUtf8(text).replace("\r\n ", "").split("\r\n", Qt::SkipEmptyParts);
}

// The lines of the event whose SUMMARY is `summary`.
QStringList eventLines(const QByteArray& text, const QString& summary)
{
    QStringList current;
    for (const QString& line : unfoldedLines(text)) {
        if (line == "BEGIN:VEVENT")
            current.clear();
        current << line;
        if (line == "END:VEVENT" && current.contains("SUMMARY:" + summary))
            return current;
    }
    return {};
}

QStringList withPrefix(const QStringList& lines, const QString& prefix)
{
    QStringList found;
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            found << line;
    return found;
}

QByteArray exportOf(const QELCalendarDetailPtr& calendar)
{
    return QELCopyCalendars::_iCSFromCalendar(*calendar, utc(2025, 1, 2, 3, 4, 5));
}

TEST(CalendarExport, WritesTheCalendarAndItsEvents)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::CalendarItem));
    ASSERT_TRUE(reader);
    const QByteArray text = exportOf(calendarWithID(*reader, 1));
    EXPECT_TRUE(text.endsWith("END:VCALENDAR\r\n"));
    EXPECT_FALSE(text.contains("\r\n\r\n"));
    for (const QByteArray& line : text.split('\n'))
        EXPECT_LE(line.size(), 76);
    const QStringList lines = unfoldedLines(text);
    EXPECT_EQ(lines.mid(0, 6),
              (QStringList{"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN",
                           "PRODID:-//Halvern Ltd.//Orvane 11 Mac//EN", "X-WR-CALNAME:Work",
                           "X-APPLE-CALENDAR-COLOR:#ff8000"}));
    // The events' zone (the device's "start_tz"), once, before the events.
    EXPECT_EQ(text.count("BEGIN:VTIMEZONE"), 1);
    EXPECT_TRUE(lines.contains("TZID:Europe/Berlin"));
    EXPECT_LT(text.indexOf("END:VTIMEZONE"), text.indexOf("BEGIN:VEVENT"));

    const QStringList meeting = eventLines(text, "Meeting");
    ASSERT_FALSE(meeting.isEmpty());
    EXPECT_EQ(withPrefix(meeting, "DTSTART"),
              QStringList{"DTSTART;TZID=Europe/Berlin:20240315T153000"});
    EXPECT_EQ(withPrefix(meeting, "DTEND"),
              QStringList{"DTEND;TZID=Europe/Berlin:20240315T163000"});
    EXPECT_EQ(withPrefix(meeting, "DTSTAMP"), QStringList{"DTSTAMP:20250102T030405Z"});
    EXPECT_EQ(withPrefix(meeting, "DESCRIPTION"),
              QStringList{"DESCRIPTION:line one\\nline two\\, with\\; commas\\\\"});
    EXPECT_EQ(withPrefix(meeting, "LOCATION"), QStringList{"LOCATION:Room 1"});
    EXPECT_EQ(withPrefix(meeting, "UID").size(), 1);
    EXPECT_TRUE(withPrefix(meeting, "RRULE").isEmpty());
    EXPECT_EQ(meeting.last(1), QStringList{"END:VEVENT"});
    EXPECT_TRUE(meeting.contains("CLASS:PUBLIC"));

    // All-day: the device's UTC day, and the day after the last one as end.
    const QStringList holiday = eventLines(text, "Holiday");
    EXPECT_EQ(withPrefix(holiday, "DTSTART"), QStringList{"DTSTART;VALUE=DATE:20240315"});
    EXPECT_EQ(withPrefix(holiday, "DTEND"), QStringList{"DTEND;VALUE=DATE:20240316"});

    // A re-export gives every event the same UID.
    EXPECT_EQ(withPrefix(unfoldedLines(exportOf(calendarWithID(*reader, 1))), "UID"),
              withPrefix(lines, "UID"));
    EXPECT_EQ(withPrefix(lines, "UID").removeDuplicates(), 0);
}

TEST(CalendarExport, RepetitionRules)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::Event));
    ASSERT_TRUE(reader);
    struct Case {
        qint64 calendar;
        const char* summary;
        QStringList rule;
    };
    for (const Case& c : std::vector<Case>{
             {1, "Weekly", {"RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=10"}},
             {1, "Daily until", {"RRULE:FREQ=DAILY;INTERVAL=1;UNTIL=20240401T070000Z"}},
             {1, "Count five", {"RRULE:FREQ=DAILY;INTERVAL=1;COUNT=5"}},
             {2, "Monthly open", {"RRULE:FREQ=MONTHLY;INTERVAL=1"}},
             {2, "Frequency zero", {}},
             {2, "Frequency null", {}},
             {2, "Frequency seven", {}},
             {4, "Two rules", {"RRULE:FREQ=YEARLY;INTERVAL=1;COUNT=3"}},
             {6, "Jahrestag\\, groß", {"RRULE:FREQ=YEARLY;INTERVAL=1;UNTIL=20301230"}},
         }) {
        SCOPED_TRACE(c.summary);
        const QStringList lines =
            eventLines(exportOf(calendarWithID(*reader, c.calendar)), QString::fromUtf8(c.summary));
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(withPrefix(lines, "RRULE"), c.rule);
    }
    // The year is the calendar year of 30 December.
    const QStringList yearly =
        eventLines(exportOf(calendarWithID(*reader, 6)), QString::fromUtf8("Jahrestag\\, groß"));
    EXPECT_EQ(withPrefix(yearly, "DTSTART"), QStringList{"DTSTART;VALUE=DATE:20241230"});
    EXPECT_EQ(withPrefix(yearly, "DTEND"), QStringList{"DTEND;VALUE=DATE:20241231"});
}

TEST(CalendarExport, CalendarsWithoutTitleOrColourAndEventsWithoutTimes)
{
    QELCalendarDetail calendar; // as the database without a Calendar table gives it
    auto event = std::make_shared<QELCalendarComponent>();
    event->summary = QStringLiteral("Timeless");
    calendar.relationshipComponents.push_back(event);
    const QByteArray text = QELCopyCalendars::_iCSFromCalendar(calendar, utc(2025, 1, 1));
    EXPECT_FALSE(text.contains("X-WR-CALNAME"));
    EXPECT_TRUE(text.contains("\r\nX-APPLE-CALENDAR-COLOR:#000000\r\n"));
    const QStringList lines = eventLines(text, "Timeless");
    EXPECT_TRUE(withPrefix(lines, "DTSTART").isEmpty());
    EXPECT_TRUE(withPrefix(lines, "DTEND").isEmpty());
}

// Every fixture's export parses without errors, and each start is the same
// instant whatever the zone of the computer writing and reading it.
class LibicalCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(LibicalCheck, EveryFixtureParsesWithTheRightInstants)
{
    ScopedTimeZone zone(GetParam());
    std::vector<CalendarFixture::Database> fixtures = {
        CalendarFixture::edgeCases(Layout::Event),
        CalendarFixture::edgeCases(Layout::CalendarItem),
        CalendarFixture::edgeCases(Layout::CalendarItemLocationByOwner),
        CalendarFixture::edgeCases(Layout::CalendarItemLocationByRowid),
        CalendarFixture::edgeCases(Layout::EventAndCalendarItem),
        CalendarFixture::colourComponents(),
        CalendarFixture::withoutCalendarTable(),
        CalendarFixture::demo(utc(2025, 6, 15, 12)),
    };
    int checked = 0;
    for (size_t f = 0; f < fixtures.size(); ++f) {
        SCOPED_TRACE(f);
        const auto reader = loadedReader(fixtures[f], QStringLiteral("fixture%1.sqlitedb").arg(f));
        ASSERT_TRUE(reader);
        for (const QELCalendarDetailPtr& calendar : reader->getCalendars()) {
            const LibicalResult parsed = parseWithLibical(exportOf(calendar));
            ASSERT_TRUE(parsed.parsed);
            EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
            EXPECT_TRUE(parsed.errorTexts.isEmpty());
            EXPECT_TRUE(parsed.everyRuleParses) << parsed.rules.join("\n").toStdString();
            ASSERT_EQ(parsed.events.size(), qsizetype(calendar->relationshipComponents.size()));
            for (qsizetype i = 0; i < parsed.events.size(); ++i) {
                const QELCalendarComponent& event = *calendar->relationshipComponents[size_t(i)];
                const LibicalEvent& got = parsed.events[i];
                EXPECT_EQ(got.summary, event.summary);
                EXPECT_EQ(got.description,
                          QString(event.componentDescription).replace("\r\n", "\n"));
                const QELCalendarDateTimeProperties& times = *event.relationshipDateTimeProperty;
                if (times.isAllDay == 1) {
                    EXPECT_TRUE(got.startIsDate);
                    EXPECT_EQ(got.start.date(), times.dtstart.toUTC().date());
                    if (got.end.isValid()) {
                        EXPECT_TRUE(got.endIsDate);
                        EXPECT_GT(got.end.date(), got.start.date());
                    }
                } else {
                    EXPECT_FALSE(got.startIsDate);
                    EXPECT_EQ(got.start.toSecsSinceEpoch(), times.dtstart.toSecsSinceEpoch());
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 30);
}

INSTANTIATE_TEST_SUITE_P(Zones, LibicalCheck, ::testing::Values("America/New_York", "Asia/Tokyo"),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "NewYork" : "Tokyo");
                         });

QVariantList queueOf(const QList<QELCalendarDetailPtr>& calendars)
{
    QVariantList items;
    for (const QELCalendarDetailPtr& c : calendars)
        items << QVariant::fromValue(c);
    return items;
}

TEST(CalendarExportJob, WritesOneSafelyNamedFilePerCalendar)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::CalendarItem));
    ASSERT_TRUE(reader);
    const QString out = TestEnvironment::home() + "/out";
    ASSERT_TRUE(QDir().mkpath(out));
    // A file of an earlier run stays; the new one is numbered beside it.
    {
        QFile old(out + "/a_b.ics");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QELCopyCalendars job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(out);
    job.setItemQueue(queueOf(reader->getCalendars()));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    EXPECT_EQ(job.failedItemCount(), 0u);
    QStringList files = QDir(out).entryList(QDir::Files | QDir::Hidden);
    std::sort(files.begin(), files.end());
    // Names are compared case-folded within a run, so "work" does not take
    // the file of "Work" on a disk that ignores case.
    EXPECT_EQ(files,
              (QStringList{"Calendar 1.ics", "Calendar 2.ics", "Calendar.ics", "Work 1.ics",
                           "Work.ics", "a_b 1.ics", "a_b.ics", "work 2.ics",
                           QString::fromUtf8("Ärger; Termin, neu.ics")}))
        << files.join(", ").toStdString();
    QFile work(out + "/a_b 1.ics");
    ASSERT_TRUE(work.open(QIODevice::ReadOnly));
    EXPECT_TRUE(work.readAll().startsWith("BEGIN:VCALENDAR"));
    QFile old(out + "/a_b.ics");
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    EXPECT_EQ(delegate.begins().size(), 8u);
    EXPECT_EQ(delegate.begins()[0].senderClass, std::type_index(typeid(QELCopyCalendars)));
    EXPECT_TRUE(QDir(TestEnvironment::home()).entryList({"*.ics"}).isEmpty());
}

TEST(CalendarExportJob, NoFolderOrAFolderThatCannotBeWritten)
{
    const auto reader = loadedReader(CalendarFixture::colourComponents());
    ASSERT_TRUE(reader);
    QELCopyCalendars job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setItemQueue(queueOf(reader->getCalendars()));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    EXPECT_TRUE(delegate.begins().empty());

    job.setBaseCopyPath(TestEnvironment::home() + "/missing/folder");
    job.setItemQueue(queueOf(reader->getCalendars()));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(2));
    // Told before the first calendar, and nothing is made elsewhere.
    EXPECT_TRUE(delegate.begins().empty());
    EXPECT_EQ(job.failedItemCount(), 2u);
    EXPECT_FALSE(QFileInfo::exists(TestEnvironment::home() + "/missing"));
}

} // namespace
