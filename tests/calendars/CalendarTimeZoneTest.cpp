// SPDX-License-Identifier: GPL-3.0-or-later
// Events across daylight-saving changes, written by the export and by the
// transfer, read back and expanded by libical in the zone the file names:
// every occurrence keeps its wall-clock time. Dates no file can hold are left
// out, never written.
#include <gtest/gtest.h>

#include <QDir>
#include <QTimeZone>

#include "CalendarTestSupport.h"
#include "FolderCalendarStoreHost.h"
#include "ICalendarZone.h"
#include "LibicalCheck.h"
#include "QELCopyCalendars.h"
#include "QELTransferCalendars.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

struct ZoneCase {
    const char* summary;
    const char* startTz; // the device's "start_tz"
    QDate firstDay;
    QTime wallClock;
    int frequency; // 1 daily, 2 weekly
    int count;
    bool allDay = false;
};

// Each series crosses its zone's change of clocks.
const std::vector<ZoneCase>& zoneCases()
{
    static const std::vector<ZoneCase> cases = {
        {"Berlin standup", "Europe/Berlin", QDate(2024, 3, 18), QTime(9, 0), 2, 4},
        {"New York call", "America/New_York", QDate(2024, 10, 31), QTime(8, 30), 1, 6},
        {"Sydney dinner", "Australia/Sydney", QDate(2024, 3, 28), QTime(19, 0), 2, 3},
        {"Floating alarm", "_float", QDate(2024, 3, 29), QTime(7, 15), 1, 4},
        {"Birthday", "_float", QDate(2024, 3, 30), QTime(0, 0), 1, 3, true},
    };
    return cases;
}

// The device stores a zoned time as its instant, a floating time and an
// all-day day as that wall clock in UTC.
QDateTime deviceStart(const ZoneCase& c)
{
    const QString tz = QLatin1String(c.startTz);
    if (c.allDay || tz == QLatin1String("_float"))
        return QDateTime(c.firstDay, c.wallClock, Qt::UTC);
    return QDateTime(c.firstDay, c.wallClock, QTimeZone(c.startTz)).toUTC();
}

QELCalendarDetailPtr zoneCalendar()
{
    auto calendar = std::make_shared<QELCalendarDetail>();
    calendar->title = QStringLiteral("Zones");
    qint64 id = 1;
    for (const ZoneCase& c : zoneCases()) {
        auto e = std::make_shared<QELCalendarComponent>();
        e->eventID = id++;
        e->summary = QLatin1String(c.summary);
        e->componentDescription = QStringLiteral("notes of ") + e->summary;
        e->timeZone = QLatin1String(c.startTz);
        e->relationshipParent = calendar.get();
        auto times = std::make_shared<QELCalendarDateTimeProperties>();
        times->dtstart = deviceStart(c);
        times->dtend = c.allDay ? times->dtstart.addSecs(86399) : times->dtstart.addSecs(1800);
        times->isAllDay = c.allDay ? 1 : 0;
        e->relationshipDateTimeProperty = times;
        auto rule = std::make_shared<QELCalendarRecurranceProperties>();
        rule->frequency = c.frequency;
        rule->interval = 1;
        rule->occurenceCount = c.count;
        e->relationshipRecurranceProperty = rule;
        calendar->relationshipComponents.push_back(e);
    }
    return calendar;
}

// Checks one event of a text against its case.
void expectKeepsItsWallClock(const QByteArray& text, const ZoneCase& c)
{
    SCOPED_TRACE(c.summary);
    const LibicalExpansion x = expandWithLibical(text, QLatin1String(c.summary));
    ASSERT_TRUE(x.found);
    ASSERT_EQ(x.wallClocks.size(), c.count);
    const QString tz = QLatin1String(c.startTz);
    if (c.allDay) {
        EXPECT_TRUE(x.isDate);
    } else if (tz == QLatin1String("_float")) {
        EXPECT_TRUE(x.floating);
        EXPECT_TRUE(x.tzid.isEmpty());
    } else {
        EXPECT_EQ(x.tzid, tz);
        EXPECT_FALSE(x.floating);
    }
    const int stepDays = c.frequency == 2 ? 7 : 1;
    for (int i = 0; i < c.count; ++i) {
        const QDate day = c.firstDay.addDays(qint64(i) * stepDays);
        EXPECT_EQ(x.wallClocks[i].date(), day) << i;
        if (!c.allDay) {
            EXPECT_EQ(x.wallClocks[i].time(), c.wallClock) << i;
        }
        if (!x.tzid.isEmpty()) {
            // The instant moves by the hour the clocks move.
            ASSERT_EQ(x.instants.size(), c.count);
            EXPECT_EQ(x.instants[i], QDateTime(day, c.wallClock, QTimeZone(c.startTz)).toUTC())
                << i;
        }
    }
}

class TimeZoneOfTheComputer : public ::testing::TestWithParam<const char*> {};

TEST_P(TimeZoneOfTheComputer, TheExportKeepsEachSeriesInItsZone)
{
    ScopedTimeZone tz(GetParam());
    const QELCalendarDetailPtr calendar = zoneCalendar();
    const QByteArray text = QELCopyCalendars::_iCSFromCalendar(*calendar);
    const LibicalResult parsed = parseWithLibical(text);
    ASSERT_TRUE(parsed.parsed);
    EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
    EXPECT_TRUE(ICalendarZone::problemsOf(text).isEmpty());
    // One VTIMEZONE per zone used, named plainly.
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Sydney"})
        EXPECT_EQ(text.count(QByteArray("TZID:") + zone + "\r\n"), 1) << zone;
    EXPECT_EQ(text.count("BEGIN:VTIMEZONE"), 3);
    for (const ZoneCase& c : zoneCases())
        expectKeepsItsWallClock(text, c);
}

TEST_P(TimeZoneOfTheComputer, TheTransferKeepsEachSeriesInItsZoneAndItsNotes)
{
    ScopedTimeZone tz(GetParam());
    const QString root = TestEnvironment::home() + QStringLiteral("/zones-") + GetParam();
    auto host = std::make_shared<FolderCalendarStoreHost>(root);
    QELTransferCalendars job;
    job.setCalendarStoreHost(host);
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setItemQueue({QVariant::fromValue(zoneCalendar())});
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(1));
    EXPECT_EQ(job.eventsAdded(), quint32(zoneCases().size()));
    EXPECT_EQ(job.destination(), root);

    QByteArray all;
    const QString folder = host->folderOf(host->calendars().value(0).id);
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*.ics"}, QDir::Files)) {
        QFile f(file.filePath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        const LibicalResult parsed = parseWithLibical(text);
        EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
        ASSERT_EQ(parsed.events.size(), 1);
        EXPECT_EQ(parsed.events[0].description, "notes of " + parsed.events[0].summary);
        for (const ZoneCase& c : zoneCases()) {
            if (parsed.events[0].summary == QLatin1String(c.summary))
                expectKeepsItsWallClock(text, c);
        }
        all += text;
    }
    EXPECT_EQ(all.count("BEGIN:VEVENT"), qsizetype(zoneCases().size()));

    // A second run finds every event, floating ones included.
    job.setItemQueue({QVariant::fromValue(zoneCalendar())});
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(2));
    EXPECT_EQ(job.eventsAdded(), 0u);
    EXPECT_EQ(job.duplicatesSkipped(), quint32(zoneCases().size()));
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeZoneOfTheComputer,
                         ::testing::Values("UTC", "Asia/Tokyo", "America/Los_Angeles"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return QString::fromLatin1(info.param)
                                 .replace(QLatin1Char('/'), QLatin1Char('_'))
                                 .toStdString();
                         });

TEST(ICalendarZone, NamesDeviceZones)
{
    struct Case {
        const char* name;
        ICalendarZone::Kind kind;
        const char* id;
    };
    for (const Case& c : std::vector<Case>{
             {"Europe/Berlin", ICalendarZone::Kind::Named, "Europe/Berlin"},
             {"America/Argentina/Buenos_Aires", ICalendarZone::Kind::Named,
              "America/Argentina/Buenos_Aires"},
             {"_float", ICalendarZone::Kind::Floating, ""},
             {"floating", ICalendarZone::Kind::Floating, ""},
             {"", ICalendarZone::Kind::Utc, ""},
             {"UTC", ICalendarZone::Kind::Utc, ""},
             {"Mars/Olympus_Mons", ICalendarZone::Kind::Utc, ""},
             {"Europe/Berlin;X=1", ICalendarZone::Kind::Utc, ""},
             {"../../etc/passwd", ICalendarZone::Kind::Utc, ""},
         }) {
        SCOPED_TRACE(c.name);
        const ICalendarZone zone = ICalendarZone::fromDeviceName(QString::fromUtf8(c.name));
        EXPECT_EQ(zone.kind(), c.kind);
        EXPECT_EQ(zone.id(), QString::fromUtf8(c.id));
    }
}

// Dates outside years 1 to 9999, intervals below 1 and ends before starts,
// as damaged or hostile databases hold them.
TEST(CalendarExport, ImpossibleDatesAreLeftOutAndNeverPoisonTheFile)
{
    auto calendar = std::make_shared<QELCalendarDetail>();
    calendar->title = QStringLiteral("Hostile");
    auto add = [&](const char* summary, const QDateTime& start, const QDateTime& end,
                   int frequency = 0, int interval = 1, const QDateTime& until = {}) {
        auto e = std::make_shared<QELCalendarComponent>();
        e->summary = QLatin1String(summary);
        e->timeZone = QStringLiteral("Europe/Berlin");
        auto times = std::make_shared<QELCalendarDateTimeProperties>();
        times->dtstart = start;
        times->dtend = end;
        e->relationshipDateTimeProperty = times;
        if (frequency) {
            auto rule = std::make_shared<QELCalendarRecurranceProperties>();
            rule->frequency = frequency;
            rule->interval = interval;
            rule->endDate = until;
            e->relationshipRecurranceProperty = rule;
        }
        calendar->relationshipComponents.push_back(e);
        return e;
    };
    const QDateTime start(QDate(2024, 3, 15), QTime(14, 30), Qt::UTC);
    const QDateTime far = start.addMSecs(qint64(1e12) * 1000); // the year 33689
    add("Good", start, start.addSecs(3600));
    add("Start far away", far, far.addSecs(3600));
    add("End far away", start, far);
    add("Before year one", QDateTime(QDate(-5, 1, 1), QTime(0, 0), Qt::UTC), start);
    add("Interval zero", start, start.addSecs(60), 1, 0);
    add("Interval negative", start, start.addSecs(60), 2, -3);
    add("End before start", start, start.addSecs(-7200));
    add("Until far away", start, start.addSecs(60), 1, 1, far);
    int leftOut = -1;
    const QByteArray text = QELCopyCalendars::_iCSFromCalendar(*calendar, start, &leftOut);
    EXPECT_EQ(leftOut, 3);
    const LibicalResult parsed = parseWithLibical(text);
    EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
    QStringList summaries;
    for (const LibicalEvent& e : parsed.events)
        summaries << e.summary;
    EXPECT_EQ(summaries,
              (QStringList{"Good", "Interval zero", "Interval negative", "End before start",
                           "Until far away"}));
    for (const LibicalEvent& e : parsed.events) {
        SCOPED_TRACE(e.summary.toStdString());
        EXPECT_EQ(e.start, start);
        EXPECT_GE(e.end, e.start);
        if (e.summary.startsWith("Interval")) {
            EXPECT_TRUE(e.rrule.isEmpty()) << "an interval below 1 does not repeat";
        }
    }
    EXPECT_EQ(expandWithLibical(text, "Until far away", 3).wallClocks.size(), 3);
    for (const LibicalEvent& e : parsed.events) {
        if (e.summary == QLatin1String("Until far away")) {
            EXPECT_FALSE(e.rrule.contains("UNTIL")) << e.rrule.toStdString();
        }
    }

    // The job counts them in its end message.
    const QString folder = TestEnvironment::home() + QStringLiteral("/hostile");
    ASSERT_TRUE(QDir().mkpath(folder));
    QELCopyCalendars job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(folder);
    job.setItemQueue({QVariant::fromValue(calendar)});
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(1));
    EXPECT_EQ(job.eventsLeftOut(), 3u);
    EXPECT_EQ(job.failedItemCount(), 3u);

    // The transfer leaves the same events out.
    auto host =
        std::make_shared<FolderCalendarStoreHost>(TestEnvironment::home() + "/hostile-cals");
    QELTransferCalendars transfer;
    transfer.setCalendarStoreHost(host);
    RecordingCopyDelegate transferDelegate;
    transfer.setDelegate(&transferDelegate);
    transfer.setItemQueue({QVariant::fromValue(calendar)});
    transfer.startCopy();
    ASSERT_TRUE(transferDelegate.waitForAllItemsCopied(1));
    EXPECT_EQ(transfer.eventsLeftOut(), 3u);
    EXPECT_EQ(transfer.eventsAdded(), 5u);
    const QString calendarFolder = host->folderOf(host->calendars().value(0).id);
    for (const QFileInfo& file : QDir(calendarFolder).entryInfoList({"*.ics"}, QDir::Files)) {
        QFile f(file.filePath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const LibicalResult one = parseWithLibical(f.readAll());
        EXPECT_EQ(one.errors, 0) << one.errorTexts.join("\n").toStdString();
        ASSERT_EQ(one.events.size(), 1);
        EXPECT_GE(one.events[0].end, one.events[0].start);
        if (one.events[0].summary.startsWith("Interval")) {
            EXPECT_TRUE(one.events[0].rrule.isEmpty());
        }
    }
}

} // namespace
