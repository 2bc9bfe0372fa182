// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect calendars FOLDER [--export DIR]` run as a program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "CalendarTestSupport.h"
#include "QELCopyCalendars.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "SQLiteDamage.h"
#include "TestEnvironment.h"
#include "ToolRun.h"

namespace {

using CalendarFixture::Layout;

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), QStringList{"calendars"} + arguments);
}

QString folderWith(const CalendarFixture::Database& database, const QString& name)
{
    const QString folder = TestEnvironment::home() + "/" + name;
    EXPECT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(CalendarFixture::write(folder + "/Calendar.sqlitedb", database));
    return folder;
}

QJsonObject eventWithID(const QJsonObject& json, const QString& id)
{
    for (const QJsonValue& e : json.value("events").toArray())
        if (e.toObject().value("id").toString() == id)
            return e.toObject();
    return {};
}

TEST(InspectCalendars, PrintsEveryFixtureAsTheStoreHoldsIt)
{
    struct Case {
        const char* name;
        CalendarFixture::Database database;
    };
    const std::vector<Case> cases = {
        {"event", CalendarFixture::edgeCases(Layout::Event)},
        {"item", CalendarFixture::edgeCases(Layout::CalendarItem)},
        {"owner", CalendarFixture::edgeCases(Layout::CalendarItemLocationByOwner)},
        {"rowid", CalendarFixture::edgeCases(Layout::CalendarItemLocationByRowid)},
        {"both", CalendarFixture::edgeCases(Layout::EventAndCalendarItem)},
        {"components", CalendarFixture::colourComponents()},
        {"nocalendars", CalendarFixture::withoutCalendarTable()},
        {"demo", CalendarFixture::demo(QDateTime::currentDateTimeUtc())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = inspect({folderWith(c.database, c.name)});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        const auto reader = loadedReader(c.database, QStringLiteral("%1.sqlitedb").arg(c.name));
        const QList<QELCalendarDetailPtr> calendars = reader->getCalendars();
        const QJsonArray printed = run.json().value("calendars").toArray();
        ASSERT_EQ(printed.size(), calendars.size());
        qsizetype events = 0;
        for (qsizetype i = 0; i < calendars.size(); ++i) {
            const QJsonObject p = printed[i].toObject();
            EXPECT_EQ(p.value("id").toString(), QString::number(*calendars[i]->calendarID));
            EXPECT_EQ(p.value("title").isNull(), calendars[i]->title.isNull());
            EXPECT_EQ(p.value("title").toString(), calendars[i]->title);
            events += qsizetype(calendars[i]->relationshipComponents.size());
        }
        EXPECT_EQ(run.json().value("events").toArray().size(), events);
    }
}

TEST(InspectCalendars, PrintsTheValuesOfEvents)
{
    ToolRun run = inspect({folderWith(CalendarFixture::edgeCases(Layout::CalendarItem), "item")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonArray calendars = run.json().value("calendars").toArray();
    ASSERT_FALSE(calendars.isEmpty());
    QJsonObject work;
    for (const QJsonValue& c : calendars)
        if (c.toObject().value("id").toString() == "1")
            work = c.toObject();
    EXPECT_EQ(work.value("title").toString(), "Work");
    EXPECT_EQ(work.value("color").toString(), "#FF8000");
    for (const QJsonValue& c : calendars) {
        if (c.toObject().value("id").toString() == "4") {
            EXPECT_TRUE(c.toObject().value("color").isNull());
        }
    }

    const QJsonObject meeting = eventWithID(run.json(), "101");
    EXPECT_EQ(meeting.value("calendarID").toString(), "1");
    EXPECT_EQ(meeting.value("summary").toString(), "Meeting");
    EXPECT_EQ(meeting.value("location").toString(), "Room 1");
    EXPECT_EQ(meeting.value("description").toString(), "line one\nline two, with; commas\\");
    EXPECT_EQ(meeting.value("start").toString(), "2024-03-15T14:30:00Z");
    EXPECT_EQ(meeting.value("end").toString(), "2024-03-15T15:30:00Z");
    EXPECT_EQ(meeting.value("allDay"), QJsonValue(false));
    EXPECT_EQ(meeting.value("timeZone").toString(), "Europe/Berlin");
    EXPECT_TRUE(meeting.value("recurrence").isNull());

    const QJsonObject holiday = eventWithID(run.json(), "102");
    EXPECT_EQ(holiday.value("allDay"), QJsonValue(true));
    EXPECT_EQ(holiday.value("start").toString(), "2024-03-15T00:00:00Z");
    EXPECT_EQ(holiday.value("end").toString(), "2024-03-15T00:00:00Z");
    EXPECT_EQ(eventWithID(run.json(), "103").value("recurrence").toString(),
              "FREQ=WEEKLY;INTERVAL=2;COUNT=10");
    EXPECT_TRUE(eventWithID(run.json(), "108").value("recurrence").isNull());
    EXPECT_TRUE(eventWithID(run.json(), "109").value("end").isNull());
    EXPECT_EQ(eventWithID(run.json(), "117").value("calendarID").toString(), "42");

    run = inspect({folderWith(CalendarFixture::withoutCalendarTable(), "nocalendars")});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonArray orphans = run.json().value("calendars").toArray();
    ASSERT_EQ(orphans.size(), 2);
    EXPECT_TRUE(orphans[0].toObject().value("title").isNull());
    EXPECT_TRUE(orphans[0].toObject().value("color").isNull());
    EXPECT_EQ(eventWithID(run.json(), "1").value("location").toString(), "Hall");
}

TEST(InspectCalendars, RefusesAFolderWithoutAReadableDatabase)
{
    const QString empty = TestEnvironment::home() + "/empty";
    ASSERT_TRUE(QDir().mkpath(empty));
    ToolRun run = inspect({empty});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("Calendar.sqlitedb")) << run.err.constData();

    const QString truncated = folderWith(CalendarFixture::edgeCases(Layout::Event), "truncated");
    QFile(truncated + "/Calendar.sqlitedb").resize(50);
    run = inspect({truncated});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.json().isEmpty());

    // Damaged among its events: the messages' shape of damage, nothing printed.
    CalendarFixture::Database many;
    many.layout = Layout::CalendarItem;
    for (int i = 1; i <= 1500; ++i) {
        CalendarFixture::Event e;
        e.id = i;
        e.calendarID = 1;
        e.summary = QStringLiteral("Event %1 ").arg(i) + QString(80, QLatin1Char('e'));
        e.start = CalendarFixture::at(2024, 1, 1) + 3600.0 * i;
        many.events.append(e);
    }
    const QString damaged = folderWith(many, "damaged");
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(damaged + "/Calendar.sqlitedb", "CalendarItem"));
    run = inspect({damaged});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith("orvane-inspect: Calendar.sqlitedb: this database is damaged: "))
        << run.err.constData();
}

QMap<QString, QByteArray> filesOf(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.startsWith("DTSTAMP:"))
                text += line + '\n';
        files.insert(info.fileName(), text);
    }
    return files;
}

TEST(InspectCalendars, ExportWritesExactlyTheFilesOfTheJob)
{
    const CalendarFixture::Database database = CalendarFixture::edgeCases(Layout::CalendarItem);
    const QString toolOut = TestEnvironment::home() + "/tool-out";
    const ToolRun run = inspect({folderWith(database, "in"), "--export", toolOut});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();

    const auto reader = loadedReader(database);
    QVariantList items;
    for (const QELCalendarDetailPtr& c : reader->getCalendars())
        items << QVariant::fromValue(c);
    const QString jobOut = TestEnvironment::home() + "/job-out";
    ASSERT_TRUE(QDir().mkpath(jobOut));
    QELCopyCalendars job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(jobOut);
    job.setItemQueue(items);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());

    const QMap<QString, QByteArray> fromTool = filesOf(toolOut);
    EXPECT_EQ(fromTool.keys(), filesOf(jobOut).keys());
    EXPECT_EQ(fromTool, filesOf(jobOut));
    EXPECT_EQ(fromTool.size(), 8);
}

} // namespace
