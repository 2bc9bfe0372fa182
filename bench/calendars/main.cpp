// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a generated Calendar.sqlitedb of 10,000 events in 20 calendars (30 %
// of them repeating; the counts and the share are the arguments) into the calendar store, exports every calendar as an
// iCalendar file, expands every event with its repeats into the calendar
// grid's day map, and prints the seconds of each step and the peak memory.
#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "CalendarDayMap.h"
#include "CalendarFixture.h"
#include "QELCalendarHTMLCodeToIconTransformer.h"
#include "QELCalendarsDbReader.h"
#include "QELCopyCalendars.h"
#include "QELCopyDelegate.h"
#include "RecurrenceExpansion.h"

namespace {

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

class Waiter : public QELCopyDelegate {
public:
    explicit Waiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }

private:
    QEventLoop& m_loop;
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane=false"));
    const int eventCount = argc > 1 ? atoi(argv[1]) : 10000;
    const int calendarCount = argc > 2 ? atoi(argv[2]) : 20;
    const int repeatingPercent = argc > 3 ? atoi(argv[3]) : 30;

    const QString database = home.filePath(QStringLiteral("Calendar.sqlitedb"));
    QString error;
    if (!CalendarFixture::write(database, CalendarFixture::generated(eventCount, calendarCount, repeatingPercent),
                                &error)) {
        std::fprintf(stderr, "cannot write the database: %s\n", qPrintable(error));
        return 1;
    }

    resetPeakMemory();
    const auto readStart = std::chrono::steady_clock::now();
    std::unique_ptr<QELCalendarsDbReader> reader =
        QELCalendarsDbReader::initWithCalendarsDbPath(database);
    if (!reader) {
        std::fprintf(stderr, "no calendar store\n");
        return 1;
    }
    reader->loadCalendars();
    const QList<QELCalendarDetailPtr> calendars = reader->getCalendars();
    const double readSeconds = secondsSince(readStart);
    size_t events = 0;
    QVariantList items;
    for (const QELCalendarDetailPtr& calendar : calendars) {
        events += calendar->relationshipComponents.size();
        items.append(QVariant::fromValue(calendar));
    }

    const QString out = home.filePath(QStringLiteral("export"));
    QDir().mkpath(out);
    const auto exportStart = std::chrono::steady_clock::now();
    QEventLoop loop;
    Waiter waiter(loop);
    QELCopyCalendars job;
    job.setDelegate(&waiter);
    job.setBaseCopyPath(out);
    job.setItemQueue(items);
    job.startCopy();
    loop.exec();
    const double exportSeconds = secondsSince(exportStart);

    // The view's load: the occurrences of every event, filed by day, seen from
    // the generated events' first year.
    const QDateTime now(QDate(2023, 6, 1), QTime(12, 0), Qt::LocalTime);
    const auto expandStart = std::chrono::steady_clock::now();
    CalendarDayMap grid;
    qsizetype occurrences = 0;
    for (const QELCalendarDetailPtr& calendar : calendars) {
        const QColor colour =
            QELCalendarHTMLCodeToIconTransformer::colorFromHTMLCode(calendar->colorHTMLCode);
        QList<CalendarEntry> entries;
        for (const QELCalendarComponentPtr& event : calendar->relationshipComponents)
            entries.append(RecurrenceExpansion::entriesForEvent(event, colour, now));
        occurrences += entries.size();
        grid.addEntries(entries);
    }
    const double expandSeconds = secondsSince(expandStart);
    std::printf("calendar grid: %lld occurrences on %lld days expanded and filed in %.3f s\n",
                static_cast<long long>(occurrences), static_cast<long long>(grid.dayCount()),
                expandSeconds);

    std::printf("calendars: %lld calendars, %zu events read in %.3f s (store saved), exported "
                "in %.3f s (%u failed); together %.3f s; peak memory %.1f MiB\n",
                static_cast<long long>(calendars.size()), events, readSeconds, exportSeconds,
                job.failedItemCount(), readSeconds + exportSeconds, peakMemoryMiB());
    return 0;
}
