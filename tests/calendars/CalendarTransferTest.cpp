// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer into the computer's calendars, through the folder host in the
// test's home and through a recording host.
#include <gtest/gtest.h>

#include <QDir>

#include "CalendarTestSupport.h"
#include "FolderCalendarStoreHost.h"
#include "LibicalCheck.h"
#include "QELTransferCalendars.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

using CalendarFixture::Layout;

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

QVariantList queueOf(const QList<QELCalendarDetailPtr>& calendars)
{
    QVariantList items;
    for (const QELCalendarDetailPtr& c : calendars)
        items << QVariant::fromValue(c);
    return items;
}

// Keeps calendars and events in memory and records what was saved.
class RecordingHost : public CalendarStoreHost {
public:
    struct Held {
        QString title;
        QColor colour;
        bool saved = false;
        QList<CalendarEventRecord> events;
    };
    QList<Calendar> calendars() override
    {
        QList<Calendar> list;
        for (qsizetype i = 0; i < held.size(); ++i)
            list.append({QString::number(i), held[i].title});
        return list;
    }
    QString createCalendar(const QString& title, const QColor& colour) override
    {
        held.append({title, colour, false, {}});
        return QString::number(held.size() - 1);
    }
    bool saveCalendar(const QString& id) override
    {
        held[id.toInt()].saved = true;
        return !failCalendarSaves;
    }
    QList<CalendarEventSummary> eventsBetween(const QString& id, const QDateTime&,
                                              const std::optional<QDateTime>&) override
    {
        QList<CalendarEventSummary> list;
        for (const CalendarEventRecord& e : held[id.toInt()].events)
            list.append({e.title, e.start, e.end});
        return list;
    }
    bool saveEvent(const QString& id, const CalendarEventRecord& event) override
    {
        if (failEventSaves)
            return false;
        held[id.toInt()].events.append(event);
        return true;
    }
    const CalendarEventRecord* event(const QString& title) const
    {
        for (const Held& h : held)
            for (const CalendarEventRecord& e : h.events)
                if (e.title == title)
                    return &e;
        return nullptr;
    }

    QList<Held> held;
    bool failCalendarSaves = false;
    bool failEventSaves = false;
};

void runTransfer(QELTransferCalendars& job, RecordingCopyDelegate& delegate,
                 const QList<QELCalendarDetailPtr>& calendars, size_t run)
{
    job.setItemQueue(queueOf(calendars));
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(run));
}

TEST(CalendarTransfer, TwoRunsIntoTheTestHomeAddEachEventOnce)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::CalendarItem));
    ASSERT_TRUE(reader);
    qsizetype events = 0;
    for (const QELCalendarDetailPtr& c : reader->getCalendars())
        events += qsizetype(c->relationshipComponents.size());

    QELTransferCalendars job; // the folder host in the data home
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    runTransfer(job, delegate, reader->getCalendars(), 1);
    EXPECT_EQ(job.eventsAdded(), quint32(events));
    EXPECT_EQ(job.duplicatesSkipped(), 0u);
    EXPECT_EQ(job.failedItemCount(), 0u);

    runTransfer(job, delegate, reader->getCalendars(), 2);
    EXPECT_EQ(job.eventsAdded(), 0u);
    EXPECT_EQ(job.duplicatesSkipped(), quint32(events));
    EXPECT_EQ(job.failedItemCount(), quint32(events)) << "skipped duplicates are reported";

    FolderCalendarStoreHost host;
    qsizetype files = 0;
    for (const CalendarStoreHost::Calendar& c : host.calendars()) {
        const QFileInfoList ics = QDir(host.folderOf(c.id)).entryInfoList({"*.ics"}, QDir::Files);
        files += ics.size();
        for (const QFileInfo& file : ics) {
            QFile f(file.filePath());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const LibicalResult parsed = parseWithLibical(f.readAll());
            EXPECT_EQ(parsed.errors, 0) << parsed.errorTexts.join("\n").toStdString();
            EXPECT_TRUE(parsed.everyRuleParses);
        }
    }
    EXPECT_EQ(files, events);
    // Both device calendars titled "Work" went into one calendar, and "work" has its own.
    QStringList titles;
    for (const CalendarStoreHost::Calendar& c : host.calendars())
        titles << c.title;
    titles.sort();
    EXPECT_EQ(titles.count("Work"), 1);
    EXPECT_EQ(titles.count("work"), 1);
}

TEST(CalendarTransfer, MapsFieldsDatesAndRules)
{
    const auto reader = loadedReader(CalendarFixture::edgeCases(Layout::Event));
    ASSERT_TRUE(reader);
    auto host = std::make_shared<RecordingHost>();
    // An existing calendar keeps its colour; the title match is exact.
    host->createCalendar(QStringLiteral("Work"), QColor(1, 1, 1));
    host->saveCalendar(QStringLiteral("0"));
    QELTransferCalendars job;
    job.setCalendarStoreHost(host);
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    runTransfer(job, delegate, reader->getCalendars(), 1);

    ASSERT_GE(host->held.size(), 2);
    EXPECT_EQ(host->held[0].colour, QColor(1, 1, 1));
    for (const RecordingHost::Held& h : host->held) {
        if (h.title == QLatin1String("work")) {
            EXPECT_EQ(h.colour, QColor(0x12, 0x34, 0x56));
        }
    }

    const CalendarEventRecord* meeting = host->event("Meeting");
    ASSERT_TRUE(meeting);
    EXPECT_EQ(meeting->start, utc(2024, 3, 15, 14, 30));
    EXPECT_EQ(meeting->location, QStringLiteral("Room 1"));
    EXPECT_EQ(meeting->notes, QStringLiteral("line one\nline two, with; commas\\"))
        << "the device's notes are the event's description";
    EXPECT_EQ(meeting->timeZone, QStringLiteral("Europe/Berlin"));
    EXPECT_FALSE(meeting->rule);

    const CalendarEventRecord* holiday = host->event("Holiday");
    ASSERT_TRUE(holiday);
    EXPECT_TRUE(holiday->allDay);
    EXPECT_EQ(holiday->start, QDateTime(QDate(2024, 3, 15), QTime(0, 0), Qt::LocalTime));
    EXPECT_EQ(holiday->end, QDateTime(QDate(2024, 3, 16), QTime(0, 0), Qt::LocalTime));
    EXPECT_FALSE(host->event("All day two")->allDay);

    using End = CalendarRecurrenceRule::End;
    using Frequency = CalendarRecurrenceRule::Frequency;
    struct Case {
        const char* title;
        bool hasRule;
        Frequency frequency = Frequency::Daily;
        int interval = 0;
        End end = End::None;
        int count = 0;
        QDateTime endDate;
    };
    for (const Case& c : std::vector<Case>{
             {"Weekly", true, Frequency::Weekly, 2, End::Count, 10, {}},
             {"Daily until", true, Frequency::Daily, 1, End::Count, 5, {}}, // the count wins
             {"Monthly open", true, Frequency::Monthly, 1, End::None, 0, {}},
             {"Frequency seven", false, Frequency::Daily, 0, End::None, 0, {}},
             {"Two rules", true, Frequency::Yearly, 1, End::Count, 3, {}},
             {"Jahrestag, groß", true, Frequency::Yearly, 1, End::Date, 0,
              QDateTime(QDate(2030, 12, 30), QTime(0, 0), Qt::LocalTime)},
         }) {
        SCOPED_TRACE(c.title);
        const CalendarEventRecord* e = host->event(QString::fromUtf8(c.title));
        ASSERT_TRUE(e);
        ASSERT_EQ(e->rule.has_value(), c.hasRule);
        if (!c.hasRule)
            continue;
        EXPECT_EQ(e->rule->frequency, c.frequency);
        EXPECT_EQ(e->rule->interval, c.interval);
        EXPECT_EQ(e->rule->end, c.end);
        EXPECT_EQ(e->rule->count, c.count);
        EXPECT_EQ(e->rule->endDate, c.endDate);
    }
}

TEST(CalendarTransfer, IntervalZeroEventsWithoutStartAndFailedSaves)
{
    auto calendar = std::make_shared<QELCalendarDetail>();
    calendar->title = QStringLiteral("Mixed");
    auto add = [&](const QString& summary, const QDateTime& start) {
        auto e = std::make_shared<QELCalendarComponent>();
        e->summary = summary;
        if (start.isValid()) {
            e->relationshipDateTimeProperty = std::make_shared<QELCalendarDateTimeProperties>();
            e->relationshipDateTimeProperty->dtstart = start;
            e->relationshipDateTimeProperty->dtend = start.addSecs(3600);
        }
        calendar->relationshipComponents.push_back(e);
        return e;
    };
    auto zero = add("Interval zero", utc(2024, 1, 1, 9));
    zero->relationshipRecurranceProperty = std::make_shared<QELCalendarRecurranceProperties>();
    zero->relationshipRecurranceProperty->frequency = 1;
    add("No start", QDateTime());
    // Two distinct events of one title on one day both arrive.
    add("Meeting", utc(2024, 1, 2, 9));
    add("Meeting", utc(2024, 1, 2, 9, 30));

    auto host = std::make_shared<RecordingHost>();
    QELTransferCalendars job;
    job.setCalendarStoreHost(host);
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    runTransfer(job, delegate, {calendar}, 1);
    EXPECT_EQ(job.eventsAdded(), 3u);
    EXPECT_EQ(job.eventsWithoutStart(), 1u);
    EXPECT_EQ(job.failedItemCount(), 1u);
    ASSERT_TRUE(host->event("Interval zero"));
    EXPECT_FALSE(host->event("Interval zero")->rule);

    host->failEventSaves = true;
    host->held.clear();
    runTransfer(job, delegate, {calendar}, 2);
    EXPECT_EQ(job.failedSaves(), 3u);
    EXPECT_EQ(job.failedItemCount(), 4u);
}

TEST(CalendarTransfer, GetDateOnlyIsLocalMidnightOfTheUtcDay)
{
    for (const char* zone : {"America/New_York", "Asia/Tokyo"}) {
        SCOPED_TRACE(zone);
        ScopedTimeZone tz(zone);
        EXPECT_EQ(QELTransferCalendars::_getDateOnly(utc(2024, 3, 15)),
                  QDateTime(QDate(2024, 3, 15), QTime(0, 0), Qt::LocalTime));
        EXPECT_EQ(QELTransferCalendars::_getDateOnly(utc(2024, 3, 15, 23, 59)),
                  QDateTime(QDate(2024, 3, 15), QTime(0, 0), Qt::LocalTime));
    }
}

} // namespace
